# Cross build for 32-bit Windows, the release target. Nothing built here runs
# on the build machines; its programs are only inspected.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QV_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${QV_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${QV_TRIPLE}-windres)
set(CMAKE_OBJDUMP      ${QV_TRIPLE}-objdump)
set(QV_MANIFEST_ARCH x86)
set(CMAKE_FIND_ROOT_PATH /usr/${QV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
