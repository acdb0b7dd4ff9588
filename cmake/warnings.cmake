# Flags shared by every target of both presets.
add_compile_options(-Wall -Wextra -Werror)

# Sources are UTF-8; the programs speak code page 932, so every narrow
# literal reaches the binaries as Shift_JIS bytes.
add_compile_options(
    $<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8>
    $<$<COMPILE_LANGUAGE:C,CXX>:-fexec-charset=CP932>)
