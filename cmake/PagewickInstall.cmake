# Helpers for the install rules that each folder keeps beside its targets.
include(GNUInstallDirs)

# Where the shipped files go (the help book, the handheld reader's builds), and how the programs
# in the programs' folder name it: relative, so that an installation can be moved.
set(PAGEWICK_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/pagewick")
file(RELATIVE_PATH PAGEWICK_DATA_FROM_PROGRAMS "/prefix/${CMAKE_INSTALL_BINDIR}"
     "/prefix/${PAGEWICK_INSTALL_DATADIR}")

# A manual page, compressed the way Debian installs them (gzip -n: no name or time stamp, so two
# builds give the same bytes).
find_program(PAGEWICK_GZIP gzip REQUIRED)
function(pagewick_install_manual page)
    get_filename_component(name "${page}" NAME)
    string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section "${name}")
    set(packed "${CMAKE_CURRENT_BINARY_DIR}/${name}.gz")
    add_custom_command(OUTPUT "${packed}"
        COMMAND "${PAGEWICK_GZIP}" -9 -n -c "${CMAKE_CURRENT_SOURCE_DIR}/${page}" > "${packed}"
        DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${page}"
        COMMENT "Compressing the manual page ${name}")
    add_custom_target(manual_${name} ALL DEPENDS "${packed}")
    install(FILES "${packed}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man${section}")
endfunction()
