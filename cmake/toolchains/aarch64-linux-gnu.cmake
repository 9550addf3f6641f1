# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; the
# tests run through qemu-user, which needs no binfmt_misc when it is named
# as the emulator.  -L points it at the target's loader and libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
foreach(tool aarch64-linux-gnu-g++ qemu-aarch64)
  find_program(ostrem_found_${tool} ${tool})
  if(NOT ostrem_found_${tool})
    message(FATAL_ERROR "${tool} is missing: the aarch64 build needs it "
                        "(Debian: apt-get install g++-aarch64-linux-gnu qemu-user)")
  endif()
endforeach()

# GeographicLib and expat for this target, where cmake/build-geographiclib aarch64
# and cmake/build-expat aarch64 built them.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu ${CMAKE_CURRENT_LIST_DIR}/../../build/geographiclib/aarch64
    ${CMAKE_CURRENT_LIST_DIR}/../../build/expat/aarch64)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${ostrem_found_qemu-aarch64} -L /usr/aarch64-linux-gnu)
