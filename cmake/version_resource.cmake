# Gives a Windows executable the VERSIONINFO resource (integer name 1):
#     add_version_resource(target version description [NAME name])
# The version has four numbers; the suite's programs give the project's.
# NAME is the program's name when it differs from the target's: it makes
# InternalName and, with ".exe", OriginalFilename.
function(add_version_resource target version description)
    cmake_parse_arguments(ARG "" "NAME" "" ${ARGN})
    if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
        message(FATAL_ERROR "add_version_resource(${target}): \"${version}\" is not four numbers")
    endif()
    set(VERSION_NUMBER "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},${CMAKE_MATCH_4}")
    set(VERSION_TEXT "${version}")
    set(VERSION_DESCRIPTION "${description}")
    set(VERSION_INTERNAL "${target}")
    if(ARG_NAME)
        set(VERSION_INTERNAL "${ARG_NAME}")
    endif()
    set(VERSION_FILENAME "${VERSION_INTERNAL}.exe")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
