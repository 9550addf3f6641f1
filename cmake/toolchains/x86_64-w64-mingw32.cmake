# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which GoogleTest's std::mutex needs); the tests run under wine, in
# a prefix of the build tree's own.  Everything is linked statically, so no
# DLL has to be found at run time.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

find_program(ostrem_mingw_cxx x86_64-w64-mingw32-g++-posix)
find_program(ostrem_wine NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ostrem_wine)
  find_program(ostrem_wine wine64)
endif()
if(NOT ostrem_mingw_cxx OR NOT ostrem_wine)
  message(FATAL_ERROR "the Windows build needs x86_64-w64-mingw32-g++-posix and wine64 "
                      "(Debian: apt-get install g++-mingw-w64-x86-64 wine64)")
endif()
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${ostrem_mingw_cxx})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# GeographicLib and expat for this target, where cmake/build-geographiclib windows
# and cmake/build-expat windows built them.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CMAKE_CURRENT_LIST_DIR}/../../build/geographiclib/windows
    ${CMAKE_CURRENT_LIST_DIR}/../../build/expat/windows)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all WINEPREFIX=${CMAKE_BINARY_DIR}/wine
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${ostrem_wine})
