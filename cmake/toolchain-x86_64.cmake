# Cross build for x86_64 Windows with the mingw-w64 posix-thread compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZIRPEL_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${ZIRPEL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZIRPEL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${ZIRPEL_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZIRPEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The x86_64 build is the one that runs here, under 64-bit Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
