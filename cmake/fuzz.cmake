# Native build of the portable core for libFuzzer, with AddressSanitizer and
# UBSan. Apart from the host preset because the host's unit tests compare
# code page 932 bytes that only GCC's -fexec-charset puts in the binaries,
# and libFuzzer needs Clang. Every object carries the coverage
# instrumentation; only the fuzz executables link the fuzzer's own main.
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=all -O1)
add_link_options(-fsanitize=fuzzer,address,undefined)
