# Our warning flags, linked by the suite's own targets only: sources we
# build but did not write (GoogleTest) keep their authors' warnings, so a
# newer compiler's complaint about them cannot stop our build. Warnings
# are errors through CMAKE_COMPILE_WARNING_AS_ERROR (CMakeLists.txt);
# `cmake --compile-no-warning-as-error` lifts that for a look at them all.
add_library(merlow_warnings INTERFACE)
target_compile_options(merlow_warnings INTERFACE "$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra>")

# Sources are UTF-8; the programs speak code page 932, so every narrow
# literal reaches the binaries as Shift_JIS bytes. Clang knows no execution
# character set but UTF-8: it builds only the fuzz targets, whose sources
# are checked to hold no non-ASCII literal (tests/fuzz/CMakeLists.txt).
add_compile_options(
    $<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8>
    $<$<COMPILE_LANG_AND_ID:C,GNU>:-fexec-charset=CP932>
    $<$<COMPILE_LANG_AND_ID:CXX,GNU>:-fexec-charset=CP932>)
