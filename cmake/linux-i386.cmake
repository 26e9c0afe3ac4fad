# The platform-free code as 32-bit x86 Linux programs, run under qemu-i386:
# this is where 32-bit size arithmetic gets exercised.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
find_program(QV_QEMU_I386 qemu-i386)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_QEMU_I386})
