# cmake -DFILE=lib -DNEEDLES=a;b -DCONTROLS=x;y [-DSTRIPPED=ON] -P check_deliverable.cmake
# Fails when the deliverable FILE carries any of NEEDLES (test aids' names
# and texts) among its strings, or debug information when it ships STRIPPED;
# prints its size. Each needle must be found in one of the CONTROLS, programs
# that link the test aids, so that a renamed aid cannot leave the check
# looking for nothing.
cmake_minimum_required(VERSION 3.25)

function(read_strings path out)
  file(STRINGS ${path} strings LENGTH_MINIMUM 4 NO_HEX_CONVERSION)
  set(${out} "${strings}" PARENT_SCOPE)
endfunction()

read_strings(${FILE} text)
set(failures "")
foreach(needle IN LISTS NEEDLES)
  string(FIND "${text}" "${needle}" at)
  if(NOT at EQUAL -1)
    list(APPEND failures "carries the test aid \"${needle}\"")
  endif()
endforeach()
if(STRIPPED)
  string(FIND "${text}" ".debug_" at)
  if(NOT at EQUAL -1)
    list(APPEND failures "carries debug information")
  endif()
endif()

set(controls_text "")
foreach(control IN LISTS CONTROLS)
  read_strings(${control} strings)
  string(APPEND controls_text "${strings}")
endforeach()
foreach(needle IN LISTS NEEDLES)
  string(FIND "${controls_text}" "${needle}" at)
  if(at EQUAL -1)
    list(JOIN CONTROLS ", " controls)
    list(APPEND failures "\"${needle}\" is in none of ${controls}: the check looks for nothing")
  endif()
endforeach()

file(SIZE ${FILE} size)
if(failures)
  list(JOIN failures "\n  " shown)
  message(FATAL_ERROR "${FILE} (${size} bytes):\n  ${shown}")
endif()
message(STATUS "${FILE}: ${size} bytes, the product only")
