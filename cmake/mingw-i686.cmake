# Cross build for 32-bit Windows, the release target. The host's Wine cannot
# run 32-bit programs here, so the tests run under Wine 10 in a Debian sid
# chroot, through a wrapper that enters its session (scripts/wine10.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QV_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${QV_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${QV_TRIPLE}-windres)
set(CMAKE_OBJDUMP      ${QV_TRIPLE}-objdump)
set(QV_MANIFEST_ARCH x86)
get_filename_component(QV_TOP ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_TOP}/scripts/wine10-run.sh)
set(CMAKE_FIND_ROOT_PATH /usr/${QV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
