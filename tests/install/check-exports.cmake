# Every function and variable that the installed headers let a game name must
# be one the library exports: declared QEL_API, a member of a QEL_API class, or
# defined in the header itself (inline, constexpr, templates). Anything else
# compiles in a game and then fails to link, since the library is built with
# hidden visibility.
#
# check_exported_declarations(<include folder>) reads the headers as the
# engine writes them (clang-formatted) and stops with the list of offending
# declarations: functions and extern variables at namespace scope, and the
# functions and static data of classes that are not exported, where a game can
# reach them (public or protected). Bodies, enums, templates and anonymous
# namespaces are not looked into; macro invocations are left out.

# The header's text with comments, literals, preprocessor lines and macro
# invocations removed, ';' written as '`' and square brackets as angle
# brackets (array sizes and attributes then go with template arguments), so
# that the text splits into a CMake list.
function(exports_clean_text path out)
  file(READ ${path} text)
  string(REPLACE "\\\n" " " text "${text}")
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX REPLACE "\"([^\"\\\\\n]|\\\\.)*\"" "\"\"" text "${text}")
  string(REGEX REPLACE "'([^'\\\\\n]|\\\\.)*'" "''" text "${text}")
  string(REGEX REPLACE "(^|\n)[ \t]*#[^\n]*" "\\1" text "${text}")
  string(REGEX REPLACE "(^|\n)[ \t]*[A-Z_][A-Z0-9_]*\\([^()\n]*\\)[ \t]*(\n|$)" "\\1\\2" text "${text}")
  string(REPLACE ";" "`" text "${text}")
  string(REPLACE "[" "<" text "${text}")
  string(REPLACE "]" ">" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Removes template argument lists, and the symbols of operator names, which
# would look like them or like an initializer.
function(exports_without_template_arguments text out)
  string(REGEX REPLACE "operator[ \t\n]*(\\(\\)|[^ \t\n(A-Za-z_0-9]+)" "operator_" text "${text}")
  string(REPLACE "->" " " text "${text}")
  set(before "")
  while(NOT before STREQUAL text)
    set(before "${text}")
    string(REGEX REPLACE "<[^<>]*>" "" text "${text}")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Why a declaration statement at namespace (scope "namespace") or class scope
# ("class") cannot be linked by a game, or "" when it can or declares nothing
# to link.
function(exports_fault statement scope out)
  set(${out} "" PARENT_SCOPE)
  string(STRIP "${statement}" s)
  string(REGEX REPLACE "[ \t\n]+" " " s "${s}")
  if(s STREQUAL "" OR s MATCHES "QEL_API")
    return()
  endif()
  if(s MATCHES "^(typedef|using|friend|static_assert|template|namespace|enum|extern template)[ (]" OR
     s MATCHES "(^| )(inline|constexpr|consteval)( |$)" OR s MATCHES "= *(delete|default|0)$" OR
     s MATCHES "^(class|struct|union) [A-Za-z_0-9:]+$")
    return()
  endif()
  exports_without_template_arguments("${s}" bare)
  string(FIND "${bare}" "(" paren)
  if(paren EQUAL -1)
    set(head "${bare}")
  else()
    string(SUBSTRING "${bare}" 0 ${paren} head)
  endif()
  # A variable with its initializer, or a pointer to a function.
  set(initialised OFF)
  if(head MATCHES "=" OR bare MATCHES "^[^(]*\\( *\\*")
    set(initialised ON)
  endif()
  if(scope STREQUAL "namespace")
    if(s MATCHES "^extern ")
      set(${out} "variable not exported" PARENT_SCOPE)
    elseif(NOT paren EQUAL -1 AND NOT initialised AND NOT s MATCHES "^static ")
      set(${out} "function not exported" PARENT_SCOPE)
    endif()
  elseif(s MATCHES "^static ")
    if(paren EQUAL -1 OR initialised)
      if(NOT head MATCHES "=")
        set(${out} "static data of a class that is not exported" PARENT_SCOPE)
      endif()
    else()
      set(${out} "function of a class that is not exported" PARENT_SCOPE)
    endif()
  elseif(NOT paren EQUAL -1 AND NOT initialised)
    set(${out} "function of a class that is not exported" PARENT_SCOPE)
  endif()
endfunction()

# The offending declarations of one header, as "header: reason: declaration".
function(exports_header_faults include_dir header out)
  exports_clean_text(${include_dir}/${header} text)
  string(REGEX MATCHALL "[^{}`]*[{}`]" pieces "${text}")
  # One entry per open scope: namespace, class (exported or not, and the
  # current access), or skip.
  set(kinds namespace)
  set(accesses public)
  set(faults "")
  foreach(piece ${pieces})
    string(REGEX MATCH "[{}`]$" end "${piece}")
    string(REGEX REPLACE "[{}`]$" "" body "${piece}")
    list(GET kinds -1 kind)
    list(GET accesses -1 access)
    if(kind STREQUAL "class")
      while(body MATCHES "^[ \t\n]*(public|protected|private)[ \t\n]*:([^:].*|)$")
        set(access ${CMAKE_MATCH_1})
        set(body "${CMAKE_MATCH_2}")
      endwhile()
      list(POP_BACK accesses)
      list(APPEND accesses ${access})
    endif()
    string(STRIP "${body}" head)
    string(REGEX REPLACE "[ \t\n]+" " " head "${head}")
    if(end STREQUAL "{")
      if(kind STREQUAL "skip" OR (kind STREQUAL "class" AND access STREQUAL "private") OR
         head MATCHES "(^| )(template|enum)( |<|$)" OR head MATCHES "^namespace$" OR
         head MATCHES "^(inline )?namespace [A-Za-z_0-9:]* ?=")
        set(inner skip)
        set(inner_access public)
      elseif(head MATCHES "^(inline )?namespace( |$)" OR head MATCHES "^extern \"\"$")
        set(inner namespace)
        set(inner_access public)
      elseif(head MATCHES "^(class|struct|union) " AND NOT head MATCHES "[=(]")
        if(kind STREQUAL "exported" OR head MATCHES "QEL_API")
          set(inner exported)
        else()
          set(inner class)
        endif()
        if(head MATCHES "^class ")
          set(inner_access private)
        else()
          set(inner_access public)
        endif()
      else()
        set(inner skip)  # a body or an initializer
        set(inner_access public)
      endif()
      list(APPEND kinds ${inner})
      list(APPEND accesses ${inner_access})
    elseif(end STREQUAL "}")
      list(POP_BACK kinds)
      list(POP_BACK accesses)
      if(NOT kinds)
        message(FATAL_ERROR "${header}: more braces closed than opened")
      endif()
    elseif(kind STREQUAL "namespace" OR (kind STREQUAL "class" AND NOT access STREQUAL "private"))
      exports_fault("${head}" ${kind} reason)
      if(reason)
        list(APPEND faults "${header}: ${reason}: ${head}")
      endif()
    endif()
  endforeach()
  set(${out} "${faults}" PARENT_SCOPE)
endfunction()

function(check_exported_declarations include_dir)
  file(GLOB_RECURSE headers RELATIVE ${include_dir} ${include_dir}/*.h)
  set(all "")
  foreach(header ${headers})
    exports_header_faults(${include_dir} ${header} faults)
    list(APPEND all ${faults})
  endforeach()
  if(all)
    list(LENGTH all count)
    list(JOIN all "\n  " lines)
    message(FATAL_ERROR "${count} declarations of the installed headers name what the library does not "
                        "export (a game compiles against them and fails to link):\n  ${lines}")
  endif()
endfunction()

# The check on its own cases: each header of the folder lists, in comments
# "fault: <reason>: <declaration>", exactly what the check must report for it.
function(check_the_check fixture_dir)
  file(GLOB headers RELATIVE ${fixture_dir} ${fixture_dir}/*.h)
  if(NOT headers)
    message(FATAL_ERROR "no cases in ${fixture_dir}")
  endif()
  foreach(header ${headers})
    file(STRINGS ${fixture_dir}/${header} lines REGEX "^ *// fault: ")
    set(expected "")
    foreach(line ${lines})
      string(REGEX REPLACE "^ *// fault: " "${header}: " line "${line}")
      list(APPEND expected "${line}")
    endforeach()
    exports_header_faults(${fixture_dir} ${header} found)
    list(SORT expected)
    list(SORT found)
    if(NOT expected STREQUAL found)
      list(JOIN expected "\n  " expected)
      list(JOIN found "\n  " found)
      message(FATAL_ERROR "the check reports for ${header}:\n  ${found}\nand should report:\n  ${expected}")
    endif()
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  check_the_check(${CMAKE_CURRENT_LIST_DIR}/exports-cases)
  file(REMOVE_RECURSE ${WORK_DIR})
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  check_exported_declarations(${WORK_DIR}/${INCLUDEDIR}/QelEngine)
endif()
