# Native build of the portable core, under AddressSanitizer and UBSan.
add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=all)
add_link_options(-fsanitize=address,undefined)
set(MERLOWSP_WIN32 OFF)
