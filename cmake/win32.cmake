# Windows target: static runtime, so the executables load on a machine
# that has no MinGW DLLs.
enable_language(RC)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-static -static-libgcc -static-libstdc++)

# Reproducible executables: no link time in the PE header, and no folder
# of this machine in what the compiler writes down (__FILE__, debug info).
add_link_options(-Wl,--no-insert-timestamp)
cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${CMAKE_BINARY_DIR}" NORMALIZE binary_in_source)
if(NOT binary_in_source)
    add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
endif()
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>)
