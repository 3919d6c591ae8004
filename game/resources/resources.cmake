# The program's embedded resources; the engine finds them through the table
# that main hands to QelMain. The whole-game tests embed the same table.
set(nolt_res ${CMAKE_CURRENT_SOURCE_DIR}/resources)
set(nolt_resource_entries
  "ICON:ICON=${nolt_res}/nolt.ico"
  "CURSOR:CURSOR=${nolt_res}/nolt.cur"
  "BITMAP:TEXTSCURSOR=${nolt_res}/textscursor.bmp"
  "DIALOG:105=${nolt_res}/dialogs/105.txt"
  "DIALOG:106=${nolt_res}/dialogs/106.txt"
  "DIALOG:107=${nolt_res}/dialogs/107.txt"
  "DIALOG:109=${nolt_res}/dialogs/109.txt"
  "DIALOG:110=${nolt_res}/dialogs/110.txt")
set_property(GLOBAL PROPERTY NOLT_RESOURCE_ENTRIES "${nolt_resource_entries}")
qel_embed_resources(nolt noltResources ${nolt_resource_entries})
