# Each library sees only its own folders and those of the libraries it links. Its folders
# are linked into an include root of its own in the build tree, so an include of a folder
# of a higher layer finds nothing and fails to build.
function(pq_layer_folders target)
    set(root "${CMAKE_BINARY_DIR}/layers/${target}")
    file(MAKE_DIRECTORY "${root}")
    foreach(folder ${ARGN})
        if(NOT EXISTS "${root}/${folder}")
            file(CREATE_LINK "${CMAKE_SOURCE_DIR}/src/${folder}" "${root}/${folder}"
                 SYMBOLIC COPY_ON_ERROR)
        endif()
    endforeach()
    target_include_directories(${target} PUBLIC "${root}")
endfunction()
