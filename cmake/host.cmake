# Native build of the portable core: under AddressSanitizer and UBSan in
# the host preset (Debug); plain optimised code in the bench preset
# (Release), whose figures the sanitizers would distort.
add_compile_options("$<$<CONFIG:Debug>:-fsanitize=address,undefined;-fno-omit-frame-pointer;-fno-sanitize-recover=all>")
add_link_options("$<$<CONFIG:Debug>:-fsanitize=address,undefined>")
