# parlowen_add_library(FOLDER SOURCES... [PUBLIC deps...] [PRIVATE deps...])
#
# One static library per folder, named parlowen_FOLDER. Its headers are
# reached as "FOLDER/name.h" through an include root that holds that folder
# alone, and only targets that link the library get that root. So a folder
# sees exactly the folders it links, and an include that runs the wrong way
# fails to compile.
function(parlowen_add_library folder)
    cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
    set(root "${PROJECT_BINARY_DIR}/include/${folder}")
    file(MAKE_DIRECTORY "${root}")
    file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}" "${root}/${folder}" SYMBOLIC)
    add_library(parlowen_${folder} STATIC ${ARG_UNPARSED_ARGUMENTS})
    target_include_directories(parlowen_${folder} PUBLIC "${root}")
    target_link_libraries(parlowen_${folder} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
