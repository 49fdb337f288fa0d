# `cpack -G DEB` in a build folder makes tarmel_<version>_<arch>.deb: both programs, the
# help text, the examples, the desktop entry and the icons. The shared libraries' packages
# are found by dpkg-shlibdeps; what the window loads at run time as plug-ins (the X11 and
# Wayland platforms, the SVG icon engine) is declared by hand. scripts/make-deb.sh builds
# only the two programs first; scripts/check-deb.sh installs the package in a clean root.
set(CPACK_PACKAGE_NAME tarmel)
set(CPACK_PACKAGE_VENDOR "Tarmel-TRELM")
set(CPACK_PACKAGE_CONTACT "Tarmel-TRELM developers <tarmel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Grows decision trees over a data file and predicts new objects with them")
set(CPACK_PACKAGE_DESCRIPTION
    "A window (Tarmel) and a batch runner (tarmel-run) that grow classification and regression trees over a plain-text data table and write a plain-text report.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
# Smaller programs; the debug information stays in the build.
set(CPACK_STRIP_FILES ON)
include(CPack)
