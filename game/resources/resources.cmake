# The program's embedded resources; the engine finds them through the table
# that main hands to QelMain.
set(nolt_res ${CMAKE_CURRENT_SOURCE_DIR}/resources)
qel_embed_resources(nolt noltResources
  "ICON:ICON=${nolt_res}/nolt.ico"
  "CURSOR:CURSOR=${nolt_res}/nolt.cur"
  "BITMAP:TEXTSCURSOR=${nolt_res}/textscursor.bmp"
  "DIALOG:105=${nolt_res}/dialogs/105.txt"
  "DIALOG:106=${nolt_res}/dialogs/106.txt"
  "DIALOG:107=${nolt_res}/dialogs/107.txt"
  "DIALOG:109=${nolt_res}/dialogs/109.txt"
  "DIALOG:110=${nolt_res}/dialogs/110.txt")
