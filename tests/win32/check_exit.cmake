# cmake -DEMULATOR=wine -DPROGRAM=aoc-exit-probe.exe -DTHREADS=n -DRUNS=n -P check_exit.cmake
# Runs the probe RUNS times; each run starts THREADS threads and leaves at
# once. Every run must end with status 0: a crash after the program's exit
# shows only here, in the emulator's own status, since Windows already holds
# the exit code the program gave.
cmake_minimum_required(VERSION 3.25)
foreach(run RANGE 1 ${RUNS})
  execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${THREADS} RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "run ${run} of ${RUNS} with ${THREADS} threads ended with \"${status}\"\n${output}")
  endif()
endforeach()
message(STATUS "${RUNS} runs with ${THREADS} threads each ended cleanly")
