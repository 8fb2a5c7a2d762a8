# cmake -DSHIPPED=release/target/VQX6406S.dll -DTESTED=build-win/target/VQX6406S.dll -P check_shipped.cmake
# Fails unless the driver the release folder ships is, byte for byte, the
# one the Windows tier loads into the simulated target.
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS "${SHIPPED}")
  message(FATAL_ERROR "no release driver at '${SHIPPED}': lay out the release with scripts/release.sh DIR and "
                      "configure this tree with -DAOC_RELEASE_DIR=DIR (scripts/test-windows.sh does both)")
endif()
file(SHA256 ${SHIPPED} shipped)
file(SHA256 ${TESTED} tested)
if(NOT shipped STREQUAL tested)
  message(FATAL_ERROR "the release ships ${SHIPPED} (SHA-256 ${shipped}), the tests run ${TESTED} (SHA-256 ${tested})")
endif()
message(STATUS "the shipped driver is the tested one: SHA-256 ${shipped}")
