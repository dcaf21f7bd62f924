# CPack: a Debian package of what cmake/Install.cmake installs, under /usr.
#
#   cmake --build build && (cd build && cpack)     # build/packages/brindle_<version>_<arch>.deb
#
# Its Depends line is worked out by dpkg-shlibdeps (package dpkg-dev) from the
# libraries the program links, so it names the runtime packages of this
# Debian release and no development packages. libgl1 is added by hand: the
# program links only the vendor-neutral libOpenGL, and SDL opens libGL.so.1 at
# run time, so without it a clean machine has no GLX driver (Mesa's, software
# rendering included, comes with libgl1). ffmpeg is only recommended: the show
# runs without it, only video capture needs it. So is libdecor's cairo plugin,
# as libdecor itself recommends it: without it a window on Wayland has no title
# bar and every start prints two lines of libdecor's own on stderr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Brindle developers")
set(CPACK_PACKAGE_CONTACT "Brindle developers <brindle@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual show")
# Debian's control file wants the long description in lines of under 80.
set(CPACK_PACKAGE_DESCRIPTION
  "A scripted 134-second show of lit, shadowed 3D scenes with post-processing,
played in real time in step with its music after a small launch dialog.
It can also render itself frame by frame into PNG files or a video with the
music.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

find_program(BRINDLE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT BRINDLE_DPKG_SHLIBDEPS)
  message(STATUS "dpkg-shlibdeps not found (package dpkg-dev): cpack cannot work out the .deb's dependencies")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg, libdecor-0-plugin-1-cairo")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
