# Cross build for 64-bit Windows with the posix thread model.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QV_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${QV_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${QV_TRIPLE}-windres)
set(CMAKE_OBJDUMP      ${QV_TRIPLE}-objdump)
set(QV_MANIFEST_ARCH amd64)
# Tests run under Wine through a wrapper that keeps Wine's background
# services away from CTest's output pipe.
get_filename_component(QV_TOP ${CMAKE_CURRENT_LIST_DIR} DIRECTORY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_TOP}/scripts/wine-run.sh)
set(CMAKE_FIND_ROOT_PATH /usr/${QV_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
