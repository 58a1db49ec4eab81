# Run by `cmake --install`: makes <bindir>/pellicor-quastrin a relative symbolic link to
# the program in its own folder. Expects pq_bindir and pq_programdir, each absolute or
# relative to the install prefix.
foreach(dir pq_bindir pq_programdir)
    if(NOT IS_ABSOLUTE "${${dir}}")
        set(${dir} "${CMAKE_INSTALL_PREFIX}/${${dir}}")
    endif()
endforeach()
file(RELATIVE_PATH target "${pq_bindir}" "${pq_programdir}/pellicor-quastrin")
set(link "$ENV{DESTDIR}${pq_bindir}/pellicor-quastrin")
message(STATUS "Installing: ${link} -> ${target}")
file(MAKE_DIRECTORY "$ENV{DESTDIR}${pq_bindir}")
file(REMOVE "${link}")
file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
