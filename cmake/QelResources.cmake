# qel_embed_resources(<target> <table-symbol> <TYPE>:<NAME>=<file> ...)
# Embeds files into <target> as its resource table, a `const qel::ResourceTable`
# named <table-symbol>, which the program hands to QelMain as its instance.
# Names and types are matched without regard to case, as the engine looks them up.
set(QEL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/QelEmbed.cmake)
function(qel_embed_resources target symbol)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${symbol}.cpp)
  set(files)
  set(spec)
  foreach(entry ${ARGN})
    if(NOT entry MATCHES "^([^:]+):([^=]+)=(.+)$")
      message(FATAL_ERROR "qel_embed_resources: '${entry}' is not TYPE:NAME=file")
    endif()
    get_filename_component(path "${CMAKE_MATCH_3}" ABSOLUTE)
    list(APPEND files ${path})
    list(APPEND spec "${CMAKE_MATCH_1}:${CMAKE_MATCH_2}=${path}")
  endforeach()
  string(REPLACE ";" "|" spec_arg "${spec}")
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} -DSYMBOL=${symbol} "-DENTRIES=${spec_arg}" -P ${QEL_EMBED_SCRIPT}
    DEPENDS ${files} ${QEL_EMBED_SCRIPT}
    COMMENT "Embedding resources of ${target}"
    VERBATIM)
  # The generating rule lives in this folder; a custom target lets a target
  # defined in another folder build the file first.
  add_custom_target(${target}_${symbol}_embed DEPENDS ${out})
  add_dependencies(${target} ${target}_${symbol}_embed)
  target_sources(${target} PRIVATE ${out})
endfunction()
