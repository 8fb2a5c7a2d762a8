# cmake -DOBJDUMP=... -DLIBRARY=x.dll -DSUBSYSTEM_VERSION=5.0 -DOBJECTS=a.obj;b.a
#       [-DPORT_INSTRUCTIONS=ALL|NONE] -P check_ce_image.cmake
# Fails unless the library (or program) is an image a Windows CE x86 loader
# takes: i386, subsystem Windows CE GUI (9) at SUBSYSTEM_VERSION at most, base
# relocations kept, nothing of a compiler runtime's start-up (thread-local
# storage, constructor and destructor lists, unwind tables), and the
# processor's own port instructions: all six, with the port in DX (the
# default, a driver's), or none (an application's, which may not reach the
# ports and trusts a driver to). The OBJECTS it is linked
# from hold no static constructor or destructor either: no start-up code
# would run them, and the linker folds their lists into .text unseen.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p -h ${LIBRARY} OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
execute_process(COMMAND ${OBJDUMP} -d ${LIBRARY} OUTPUT_VARIABLE code RESULT_VARIABLE rc_code)
if(NOT rc EQUAL 0 OR NOT rc_code EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${LIBRARY}")
endif()

set(failures "")
macro(field name out)
  if(headers MATCHES "\n${name}[ \t]+([0-9a-fA-F]+)")
    set(${out} ${CMAKE_MATCH_1})
  else()
    set(${out} "")
    list(APPEND failures "no ${name} in the PE header")
  endif()
endmacro()

if(NOT headers MATCHES "file format pei-i386")
  list(APPEND failures "not an i386 image")
endif()
field(Subsystem subsystem)
if(NOT subsystem STREQUAL "00000009")
  list(APPEND failures "subsystem ${subsystem}, where a CE image needs 9 (Windows CE GUI)")
endif()
field(MajorSubsystemVersion major)
field(MinorSubsystemVersion minor)
if("${major}.${minor}" VERSION_GREATER SUBSYSTEM_VERSION)
  list(APPEND failures "subsystem version ${major}.${minor}, newer than ${SUBSYSTEM_VERSION}")
endif()
if(NOT headers MATCHES "Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory")
  list(APPEND failures "no base relocations: a CE loader could not move the image")
endif()
foreach(section .tls .CRT .ctors .dtors .eh_frame .pdata)
  string(REPLACE "." "\\." pattern "${section}")
  if(headers MATCHES "\n +[0-9]+ ${pattern}[ \t]")
    list(APPEND failures "carries a ${section} section, which only a compiler runtime needs")
  endif()
endforeach()
if(NOT DEFINED PORT_INSTRUCTIONS)
  set(PORT_INSTRUCTIONS ALL)
endif()
set(port_instructions 0)
foreach(instruction "ec[ \t]+in[ \t]+\\(%dx\\),%al" "66 ed[ \t]+in[ \t]+\\(%dx\\),%ax" "ed[ \t]+in[ \t]+\\(%dx\\),%eax"
                    "ee[ \t]+out[ \t]+%al,\\(%dx\\)" "66 ef[ \t]+out[ \t]+%ax,\\(%dx\\)" "ef[ \t]+out[ \t]+%eax,\\(%dx\\)")
  if(code MATCHES "\t${instruction}")
    math(EXPR port_instructions "${port_instructions} + 1")
  elseif(PORT_INSTRUCTIONS STREQUAL "ALL")
    list(APPEND failures "no instruction matching ${instruction}")
  endif()
endforeach()
if(PORT_INSTRUCTIONS STREQUAL "NONE" AND port_instructions GREATER 0)
  list(APPEND failures "${port_instructions} kinds of port instruction, where it may reach no port")
endif()

foreach(object IN LISTS OBJECTS)
  execute_process(COMMAND ${OBJDUMP} -h ${object} OUTPUT_VARIABLE sections RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(APPEND failures "${OBJDUMP} cannot read ${object}")
  endif()
  if(sections MATCHES "\n +[0-9]+ (\\.ctors|\\.dtors|\\.init_array|\\.fini_array|\\.tls|\\.eh_frame|\\.gcc_except_table)[^ \t]*[ \t]")
    list(APPEND failures "${object} carries ${CMAKE_MATCH_1}: static construction, thread-local data or exceptions")
  endif()
endforeach()
if(NOT OBJECTS)
  list(APPEND failures "no object files given: the check of static constructors reads nothing")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "${LIBRARY}:\n  ${text}")
endif()
message(STATUS "${LIBRARY}: a CE x86 image, subsystem 9 version ${major}.${minor}, ${port_instructions} of the six port instructions")
