# The Debian package. Included at the end of the top-level CMakeLists.txt, after every install
# rule, because CPack packs what the whole tree installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wavelark)
set(CPACK_PACKAGE_VENDOR Skyvane)
set(CPACK_PACKAGE_HOMEPAGE_URL http://www.skyvane.example)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small skinned internet radio player")
set(CPACK_PACKAGE_DESCRIPTION
    "Wavelark plays internet radio stations from a short list of your own in
a single small skinned window, with play, stop and volume buttons and a
notification area icon. Started from the desktop menu, it keeps its station
list in ~/.config/wavelark, which the first start fills with a sample list.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Skyvane Wavelark team <wavelark@skyvane.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library dependencies come from the binary itself (dpkg-shlibdeps, from dpkg-dev), except
# libmpv, which the program loads when it first plays and so does not link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libmpv2)
# Qt's Wayland platform: with it the player is a native client of a Wayland desktop, without it
# it runs through Xwayland (or on X11), so it is recommended rather than required.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)

include(CPack)
