# `cpack -G DEB` in a build directory: a Debian package whose dependencies dpkg-shlibdeps
# computes from the installed programs.
set(CPACK_PACKAGE_NAME vorkan)
set(CPACK_PACKAGE_VENDOR "PELUN Software")
set(CPACK_PACKAGE_CONTACT "PELUN Software <info@pelun.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test whether data on a drive, directory or file can be read")
# Debian's checker takes lines of up to 80 characters; the lines here are kept under 72.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Vorkan reads every byte of every file of a drive, a directory tree or\n"
       "one file straight from the medium (or, in the quick test, the first 2\n"
       "bytes of each file) and lists the files that could not be read.\n"
       "Czech user interface. vorkan-cli runs the same test in a terminal.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://software.pelun.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Czech texts and its Wayland plugin are loaded at run time, so no library
# dependency names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
include(CPack)
