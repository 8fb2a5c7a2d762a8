# The dependencies between the folders point one way. Each rule reads the
# sources of one folder and fails on any include of a header that another
# folder holds (by file name, whatever the include path says), or of a header
# the rule names.
#   cmake -DROOT=<source tree> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT ROOT)
  message(FATAL_ERROR "check_layers: give -DROOT=<source tree>")
endif()

# The headers of the folders, as paths from the root.
function(headers_of out)
  set(paths "")
  foreach(dir ${ARGN})
    file(GLOB_RECURSE headers LIST_DIRECTORIES false RELATIVE "${ROOT}" "${ROOT}/${dir}/*.h")
    list(APPEND paths ${headers})
  endforeach()
  set(${out} "${paths}" PARENT_SCOPE)
endfunction()

# Whether an include, as written, names one of the headers: by file name
# alone ("x.h", found on an include path), or by its path's last parts
# ("../headless/x.h").
function(names_one_of out included)
  string(REGEX REPLACE "^(\\.\\./)+" "" tail "${included}")
  set(${out} FALSE PARENT_SCOPE)
  foreach(header ${ARGN})
    get_filename_component(name "${header}" NAME)
    if(tail STREQUAL name OR header MATCHES "(^|/)${tail}$")
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

# rule(<folder> NOT <folders>... [ALSO <headers>...])
function(rule dir)
  cmake_parse_arguments(R "" "" "NOT;ALSO" ${ARGN})
  headers_of(forbidden ${R_NOT})
  list(APPEND forbidden ${R_ALSO})
  file(GLOB_RECURSE sources LIST_DIRECTORIES false "${ROOT}/${dir}/*.cpp" "${ROOT}/${dir}/*.h")
  if(NOT sources)
    message(FATAL_ERROR "check_layers: ${dir} holds no sources")
  endif()
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^<\"]*[<\"]([^>\"]+)[>\"].*$" "\\1" included "${line}")
      names_one_of(bad "${included}" ${forbidden})
      if(bad)
        file(RELATIVE_PATH shown "${ROOT}" "${source}")
        set_property(GLOBAL APPEND PROPERTY layer_problems "${shown} includes ${included}")
      endif()
    endforeach()
  endforeach()
endfunction()

# The registry-script engine knows no control and nothing of the dialogs.
rule(config/engine NOT config/ui ALSO afxwin.h afxcmn.h afxdlgs.h afx_winuser.h)
# The configuration library never sees the driver, the target or its platform.
rule(config NOT driver sim ALSO ce_sim.h ceddk.h)
# The driver sees only its platform, never the simulator or the library.
rule(driver NOT sim config platform/afx)
# The shared layout depends on neither deliverable.
rule(common NOT driver config sim platform/afx)
# The stand-ins serve the system and know nothing of it.
rule(platform NOT common driver config sim)

get_property(problems GLOBAL PROPERTY layer_problems)
if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "check_layers: dependencies against the layering:\n  ${text}")
endif()
message(STATUS "check_layers: every dependency points one way")
