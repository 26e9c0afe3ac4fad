# Flags for the project's own targets: strict warnings treated as errors, and
# narrow string literals in Shift_JIS (code page 932), the program's only
# encoding, so the sources can spell their Japanese texts readably in UTF-8.
function(qv_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor
    -Wcast-align -Wformat=2 -Wundef -Werror -finput-charset=UTF-8 -fexec-charset=CP932)
endfunction()
