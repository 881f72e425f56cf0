# parlowen_add_library(FOLDER SOURCES... [PUBLIC deps...] [PRIVATE deps...])
#
# One static library per folder, named parlowen_FOLDER. Its headers are
# reached as "FOLDER/name.h" through an include root that holds that folder
# alone, and only targets that link the library get that root. So a folder
# sees exactly the folders it links, and an include that runs the wrong way
# fails to compile. Two spellings would still get through, a path with "../"
# and Qt Widgets by its folder; cmake/CheckIncludes.cmake fails the build on
# those.
function(parlowen_add_library folder)
    cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
    set(root "${PROJECT_BINARY_DIR}/include/${folder}")
    file(MAKE_DIRECTORY "${root}")
    file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}" "${root}/${folder}" SYMBOLIC)
    add_library(parlowen_${folder} STATIC ${ARG_UNPARSED_ARGUMENTS})
    target_include_directories(parlowen_${folder} PUBLIC "${root}")
    target_link_libraries(parlowen_${folder} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})

    # Every file of the folder, its programs' included, is checked before
    # the library builds, and again whenever one of them changes.
    file(GLOB checked CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
    string(REPLACE ";" "|" checked_list "${checked}")
    set(stamp "${CMAKE_CURRENT_BINARY_DIR}/includes.checked")
    add_custom_command(OUTPUT "${stamp}"
        COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} "-DSOURCES=${checked_list}" "-DSTAMP=${stamp}"
                -P "${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake"
        DEPENDS ${checked} "${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake"
        COMMENT "Checking the includes of ${folder}/"
        VERBATIM)
    add_custom_target(parlowen_${folder}_includes DEPENDS "${stamp}")
    add_dependencies(parlowen_${folder} parlowen_${folder}_includes)
endfunction()
