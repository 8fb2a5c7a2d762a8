# cmake -DEMULATOR=wine -DWINDOWS=aoc-sim.exe -DNATIVE=aoc-sim -DWORK=dir
#       "-DRUNS=ARGS|ARGS..." -P check_same_output.cmake
# Runs the Windows program under the emulator and the native program with the
# same arguments, each run of RUNS in turn and each side in a folder of its
# own, so that a registry file one run saves is the next one's. Fails unless
# both print the same bytes with the same exit status at every run and leave
# the same files.
cmake_minimum_required(VERSION 3.25)
if(NOT NATIVE OR NOT EXISTS "${NATIVE}")
  message(FATAL_ERROR "the native program '${NATIVE}' is not built: the Windows tier compares with it "
                      "(scripts/test-windows.sh builds it into build/)")
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/windows ${WORK}/native)
string(REPLACE "|" ";" runs "${RUNS}")
set(failures "")
set(number 0)
foreach(run IN LISTS runs)
  math(EXPR number "${number} + 1")
  separate_arguments(arguments UNIX_COMMAND "${run}")
  execute_process(COMMAND ${EMULATOR} ${WINDOWS} ${arguments} WORKING_DIRECTORY ${WORK}/windows
                  OUTPUT_VARIABLE windows_out ERROR_VARIABLE windows_err RESULT_VARIABLE windows_status)
  execute_process(COMMAND ${NATIVE} ${arguments} WORKING_DIRECTORY ${WORK}/native
                  OUTPUT_VARIABLE native_out ERROR_VARIABLE native_err RESULT_VARIABLE native_status)
  file(WRITE ${WORK}/windows/run${number}.out "${windows_out}")
  file(WRITE ${WORK}/native/run${number}.out "${native_out}")
  if(NOT windows_status STREQUAL native_status)
    list(APPEND failures "run ${number}: exit status ${windows_status} on Windows, ${native_status} natively\n${windows_err}")
  endif()
  if(NOT windows_out STREQUAL native_out)
    list(APPEND failures "run ${number}: the outputs differ: ${WORK}/windows/run${number}.out ${WORK}/native/run${number}.out")
  endif()
  if(NOT windows_err STREQUAL native_err)
    list(APPEND failures "run ${number}: the error outputs differ:\n${windows_err}\n--- natively:\n${native_err}")
  endif()
endforeach()
file(GLOB_RECURSE left RELATIVE ${WORK}/native ${WORK}/native/*)
file(GLOB_RECURSE left_windows RELATIVE ${WORK}/windows ${WORK}/windows/*)
if(NOT left STREQUAL left_windows)
  list(APPEND failures "the runs leave ${left_windows} on Windows, ${left} natively")
endif()
foreach(file IN LISTS left)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/windows/${file} ${WORK}/native/${file}
                  RESULT_VARIABLE differs)
  if(differs)
    list(APPEND failures "${file} differs")
  endif()
endforeach()
if(failures)
  list(JOIN failures "\n  " shown)
  message(FATAL_ERROR "${WINDOWS} and ${NATIVE}:\n  ${shown}")
endif()
message(STATUS "${number} runs, the same bytes on Windows and natively: ${left}")
