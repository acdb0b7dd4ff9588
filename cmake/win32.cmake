# Windows target: static runtime, so the executables load on a machine
# that has no MinGW DLLs.
enable_language(RC)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-static -static-libgcc -static-libstdc++)

# Windows headers only exist here; the host preset builds the portable core.
set(MERLOWSP_WIN32 ON)
