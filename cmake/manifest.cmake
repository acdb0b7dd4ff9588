# Gives a Windows executable its application manifest (RT_MANIFEST,
# resource id 1, the one the loader reads for a process): the execution
# level that User Account Control grants it, and the Windows versions it
# was made for. Without a manifest, Windows guesses at installers by
# their name and virtualizes the writes of a program that is not elevated.
function(add_manifest target level)
    set(MANIFEST_LEVEL ${level})
    set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/resources/manifest.xml.in ${manifest} @ONLY)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
    file(CONFIGURE OUTPUT ${rc} CONTENT "1 24 \"${manifest}\"\n" @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${manifest})
endfunction()
