# cmake -DEMULATOR=wine -DPROGRAM=pci6406cfg-screenshots.exe -DLIBRARY=PCI6406Cfg.dll
#       -DOUT=dir -DCONVERT=convert -P screenshots.cmake
# Photographs the real dialog and turns the pictures into PNG files in OUT.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${LIBRARY} ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the screenshots were not taken")
endif()
foreach(name main-device main-ao about)
  execute_process(COMMAND ${CONVERT} ${OUT}/${name}.bmp ${OUT}/${name}.png RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${OUT}/${name}.png)
    message(FATAL_ERROR "${name}.png could not be made")
  endif()
  file(REMOVE ${OUT}/${name}.bmp)
  message(STATUS "${OUT}/${name}.png")
endforeach()
