# Installs the engine into a fresh prefix and builds outside projects on it:
# with CMake (find_package), a resource check and the game program that the
# README shows game programmers first, which then plays on the README's
# bitmaps; then, with the installed tree moved elsewhere, the same game program
# with pkg-config.
file(REMOVE_RECURSE ${WORK_DIR})
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

# The first C++ example of the README's section for game programmers.
file(READ ${README} readme)
string(FIND "${readme}" "## Building a game on the engine" section)
if(section EQUAL -1)
  message(FATAL_ERROR "the README has no section for game programmers")
endif()
string(SUBSTRING "${readme}" ${section} -1 readme)
string(FIND "${readme}" "```cpp\n" open)
if(open EQUAL -1)
  message(FATAL_ERROR "the README's section for game programmers shows no C++ program")
endif()
math(EXPR open "${open} + 7")
string(SUBSTRING "${readme}" ${open} -1 readme)
string(FIND "${readme}" "```" close)
string(SUBSTRING "${readme}" 0 ${close} example)
set(game_main ${WORK_DIR}/game/main.cpp)
file(WRITE ${game_main} "${example}")

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
# What a game's start does not need is not linked: the synthesizer is opened
# when MIDI music first plays, and no image library is used at all.
file(GLOB installed_library ${WORK_DIR}/prefix/${LIBDIR}/libQelEngine.so.*.*)
execute_process(COMMAND readelf -d ${installed_library} OUTPUT_VARIABLE needed COMMAND_ERROR_IS_FATAL ANY)
if(needed MATCHES "libfluidsynth|libSDL2_image")
  message(FATAL_ERROR "the engine links a library it opens only when needed, or no longer uses:\n${needed}")
endif()
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G Ninja -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
    -DCMAKE_CXX_COMPILER=${CXX} -DGAME_MAIN=${game_main})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
run(${WORK_DIR}/build/readback)

# The README's game runs on the bitmaps the README's command makes: a game has no
# end of its own, so still running after a few seconds is success, and a fatal
# exit (a missing bitmap, a failed set-up) is not. Its lock is its own.
set(play_dir ${WORK_DIR}/play)
run(${EXAMPLE_BITMAPS} ${play_dir})
file(MAKE_DIRECTORY ${play_dir}/run)
set(ENV{XDG_RUNTIME_DIR} ${play_dir}/run)
set(ENV{SDL_VIDEODRIVER} dummy)
set(ENV{SDL_AUDIODRIVER} dummy)
execute_process(COMMAND timeout 4 ${WORK_DIR}/build/mygame WORKING_DIRECTORY ${play_dir}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 124)
  message(FATAL_ERROR "the README's game ended (status ${rc}) instead of playing:\n${out}\n${err}")
endif()

# pkg-config finds the tree from where its QelEngine.pc now lies.
file(RENAME ${WORK_DIR}/prefix ${WORK_DIR}/moved)
set(ENV{PKG_CONFIG_PATH} ${WORK_DIR}/moved/${LIBDIR}/pkgconfig)
execute_process(COMMAND ${PKG_CONFIG} --variable=includedir QelEngine OUTPUT_VARIABLE includedir
  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
file(REAL_PATH "${includedir}" includedir)
file(REAL_PATH ${WORK_DIR}/moved moved)
if(NOT rc EQUAL 0 OR NOT includedir MATCHES "^${moved}/" OR NOT EXISTS ${includedir}/QelEngine.h)
  message(FATAL_ERROR "QelEngine.pc does not lead to the moved tree: includedir '${includedir}'")
endif()
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs QelEngine OUTPUT_VARIABLE flags
  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
execute_process(COMMAND ${PKG_CONFIG} --variable=libdir QelEngine OUTPUT_VARIABLE libdir
  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
run(${CXX} -std=c++20 ${game_main} ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/mygame)
# The program finds the library through its run path alone.
execute_process(COMMAND ldd ${WORK_DIR}/mygame OUTPUT_VARIABLE linked)
if(NOT linked MATCHES "libQelEngine[^\n]*=> [^\n]*/moved/")
  message(FATAL_ERROR "the program does not find the moved library:\n${linked}")
endif()
