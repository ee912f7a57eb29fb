# The Debian package: `cmake --build build --target package` writes build/orvane_<version>_amd64.deb.
# Each program, image and page is installed beside the target it belongs to; this file holds what
# the package as a whole needs. Whatever else installs itself (orvane-ctl, for one) is packaged too.
include(GNUInstallDirs)

# Man pages go in compressed, as Debian wants them. A program's CMakeLists calls this beside its
# install(TARGETS ...), with its page from docs/man/ (orvane-ctl: docs/man/orvane-ctl.1).
function(orvane_install_man_page source)
    get_filename_component(page ${source} NAME)
    string(REGEX MATCH "[1-9]$" section ${page})
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CMAKE_BINARY_DIR}/man/${page}
        COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${page}
        DEPENDS ${source}
        VERBATIM)
    add_custom_target(man_${page} ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()

set(ORVANE_PACKAGE_MAINTAINER "Orvane developers <orvane@example.org>" CACHE STRING
    "Maintainer field of the Debian package: Name <address>")

# No licence has been chosen for Orvane; the package says so instead of guessing one.
set(orvane_doc_dir ${CMAKE_BINARY_DIR}/package-doc)
string(TIMESTAMP orvane_package_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(CONFIGURE OUTPUT ${orvane_doc_dir}/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Orvane

Files: *
Copyright: the Orvane developers
License: LicenseRef-proprietary
 The authors have not stated a licence for Orvane.
")
file(CONFIGURE OUTPUT ${orvane_doc_dir}/changelog CONTENT
"orvane (${PROJECT_VERSION}) unstable; urgency=medium

  * Built from the Orvane sources, version ${PROJECT_VERSION}.

 -- ${ORVANE_PACKAGE_MAINTAINER}  ${orvane_package_date}
")
add_custom_command(OUTPUT ${orvane_doc_dir}/changelog.gz
    COMMAND gzip -9nkf ${orvane_doc_dir}/changelog
    DEPENDS ${orvane_doc_dir}/changelog
    VERBATIM)
add_custom_target(orvane_package_doc ALL DEPENDS ${orvane_doc_dir}/changelog.gz)
install(FILES ${orvane_doc_dir}/copyright ${orvane_doc_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Orvane developers")
set(CPACK_PACKAGE_CONTACT ${ORVANE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control for studio flash units")
# Lines of the long description stay within Debian's 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Orvane remote-controls studio flash units from the desktop through a ZigBee
coordinator dongle on a serial port. It scans a studio's radio channel for
units, shows every unit of a studio in a grid, changes one unit or all ticked
units at once, fires test flashes, and keeps named setups as XML files.
The package also holds orvane-dongle-sim, a simulated dongle with flash units
on a pseudo-terminal, for trying the program without hardware, and orvane-ctl,
which controls a program started with --remote from a terminal or a script.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVANE_PACKAGE_MAINTAINER})
# Depends is read off the programs' shared libraries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
