# Cross build for 32-bit Windows with mingw-w64: both places the deliverables
# run, the image-build host tool and the CE target, are 32-bit x86. POSIX
# thread model, so std::thread and std::mutex exist. The runtime is linked
# statically: the DLLs and the test programs need nothing a Windows desktop
# lacks. CTest runs the programs through a 32-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${triple}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres REQUIRED)
# Import libraries of the CE DLLs, made from platform/ce/target_imports.txt.
find_program(CMAKE_DLLTOOL NAMES ${triple}-dlltool REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Debian's 32-bit loader; the wine launcher would pick it too.
find_program(WINE_PROGRAM NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(WINE_PROGRAM NAMES wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
