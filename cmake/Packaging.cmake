# The Debian package "pagewick": everything `cmake --install` puts under the prefix, installed
# under /usr. Its dependencies come from the programs' shared libraries (dpkg-shlibdeps). The
# MIME, desktop-entry and icon databases are refreshed by the triggers that shared-mime-info,
# desktop-file-utils and the icon theme tools hold on the folders the package fills, so the
# package needs no maintainer scripts of its own.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "pagewick")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Ambervale")
set(CPACK_PACKAGE_CONTACT "Ambervale <pagewick@ambervale.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "eBook reader and builder for the desktop and handhelds")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Pagewick reads eBooks a page at a time: PAWK books, its own format, LIT
books, HTML and plain text files (8-bit or UTF-16), and the text members of
ZIP archives. Every book reopens where it was left, with four bookmarks.
.
Wickstand, the desktop reader, also prints pages and chapters, builds PAWK
books from web pages, text files and pictures or from a LIT book, and
installs the handheld reader on a handheld mounted as a folder. Wickpad is
the handheld reader, for a small window or a Linux phone. The pagewick
command builds, converts, inspects, paginates, renders and prints books
from a shell.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "text")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.ambervale.com/pagewick/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# librapi.so is loaded by the programs at run time, not linked: dpkg-shlibdeps is told where it is
# so that it can read it like the rest.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PAGEWICK_LIBRARY_OUTPUT}")
# libzip is loaded by its soname when a program first opens an archive, so dpkg-shlibdeps does not
# see it: its package is named here, at the version built against, beside what shlibdeps finds.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${PAGEWICK_LIBZIP_PACKAGE} (>= ${LIBZIP_VERSION})")
# The fonts the books' faces map to, the theme the icons go into, and the databases the book
# types and desktop entries are added to.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-liberation2, fonts-dejavu-core, hicolor-icon-theme, shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
# Owner root and ordinary permissions whatever the build folder had.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "pagewick")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
# The library folder gets librapi.so: the "ldconfig" trigger refreshes its cache. Giving postinst
# and postrm keeps CPack from writing ones that run ldconfig themselves.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_LIST_DIR}/debian/triggers"
    "${CMAKE_CURRENT_LIST_DIR}/debian/postinst" "${CMAKE_CURRENT_LIST_DIR}/debian/postrm")

# What Debian asks of every package's documentation folder.
set(PAGEWICK_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/pagewick")
configure_file("${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in"
               "${CMAKE_BINARY_DIR}/debian/changelog" @ONLY)
add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/debian/changelog.gz"
    COMMAND "${PAGEWICK_GZIP}" -9 -n -c "${CMAKE_BINARY_DIR}/debian/changelog"
            > "${CMAKE_BINARY_DIR}/debian/changelog.gz"
    DEPENDS "${CMAKE_BINARY_DIR}/debian/changelog")
add_custom_target(pagewick_changelog ALL DEPENDS "${CMAKE_BINARY_DIR}/debian/changelog.gz")
install(FILES "${CMAKE_CURRENT_LIST_DIR}/debian/copyright" "${CMAKE_BINARY_DIR}/debian/changelog.gz"
        DESTINATION "${PAGEWICK_DOCDIR}")
include(CPack)
