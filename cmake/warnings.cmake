# Flags shared by every target of all presets.
add_compile_options(-Wall -Wextra -Werror)

# Sources are UTF-8; the programs speak code page 932, so every narrow
# literal reaches the binaries as Shift_JIS bytes. Clang knows no execution
# character set but UTF-8: it builds only the fuzz targets, whose sources
# are checked to hold no non-ASCII literal (tests/fuzz/CMakeLists.txt).
add_compile_options(
    $<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8>
    $<$<COMPILE_LANG_AND_ID:C,GNU>:-fexec-charset=CP932>
    $<$<COMPILE_LANG_AND_ID:CXX,GNU>:-fexec-charset=CP932>)
