# mingw.cmake - cross build of the Windows program with MinGW-w64.
# MINGW_ARCH chooses the target: i686 (the 32-bit program) or x86_64 (the
# same program for 64-bit Wine, which runs it natively).
if(NOT MINGW_ARCH)
  set(MINGW_ARCH i686)
endif()
# try_compile projects see the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_ARCH})
set(CMAKE_C_COMPILER ${MINGW_ARCH}-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${MINGW_ARCH}-w64-mingw32-g++)
set(CMAKE_RC_COMPILER ${MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
