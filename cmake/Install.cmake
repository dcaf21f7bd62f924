# Install rules: `cmake --install <build> --prefix <prefix>` lays out
#
#   <prefix>/bin/brindle
#   <prefix>/lib/brindle/brindle-dialog.so            the launch dialog's module
#   <prefix>/share/brindle/Data/                      music.mp3 and the .p images
#   <prefix>/share/applications/brindle.desktop       the menu entry
#   <prefix>/share/icons/hicolor/<N>x<N>/apps/brindle.png
#   <prefix>/share/man/man1/brindle.1.gz
#
# The program finds the Data folder and the dialog's module relative to its own
# folder (app/data_dir.h, app/dialog_module.h), so these destinations are fixed
# rather than taken from GNUInstallDirs: a bindir, libdir or datadir moved
# elsewhere would leave the show without its data or its dialog.
# Included from the top CMakeLists.txt after the subdirectories, which define
# the targets and the data files installed here.

# Installing and packaging take what the build made and build nothing
# themselves: otherwise cpack would first build every test, which is slow on a
# small machine and not needed to package the show.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(BRINDLE_DIST_DIR ${CMAKE_SOURCE_DIR}/dist)
set(BRINDLE_DIST_BUILD_DIR ${CMAKE_BINARY_DIR}/dist)
set(BRINDLE_ICON_SIZES 48 128 256)

# Icons, painted by our own generator at each size the menu asks for.
set(BRINDLE_ICON_FILES)
foreach(size IN LISTS BRINDLE_ICON_SIZES)
  set(icon ${BRINDLE_DIST_BUILD_DIR}/icons/${size}x${size}/brindle.png)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${BRINDLE_DIST_BUILD_DIR}/icons/${size}x${size}
    COMMAND make_icon ${icon} ${size}
    DEPENDS make_icon
    COMMENT "Painting the ${size}x${size} icon"
    VERBATIM)
  list(APPEND BRINDLE_ICON_FILES ${icon})
endforeach()

# Debian wants manual pages compressed; -n keeps the archive free of a time stamp.
set(BRINDLE_MAN_PAGE ${BRINDLE_DIST_BUILD_DIR}/brindle.1.gz)
add_custom_command(
  OUTPUT ${BRINDLE_MAN_PAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${BRINDLE_DIST_BUILD_DIR}
  COMMAND sh -c "gzip -9 -n -c \"$0\" > \"$1\"" ${BRINDLE_DIST_DIR}/brindle.1 ${BRINDLE_MAN_PAGE}
  DEPENDS ${BRINDLE_DIST_DIR}/brindle.1
  COMMENT "Compressing the manual page"
  VERBATIM)

add_custom_target(brindle_desktop_files ALL DEPENDS ${BRINDLE_ICON_FILES} ${BRINDLE_MAN_PAGE})

install(TARGETS brindle RUNTIME DESTINATION bin)
install(TARGETS brindle_dialog_window LIBRARY DESTINATION lib/brindle)
install(FILES ${BRINDLE_IMAGE_OUTPUTS} ${BRINDLE_MUSIC_FILE} DESTINATION share/brindle/Data)
install(FILES ${BRINDLE_DIST_DIR}/brindle.desktop DESTINATION share/applications)
foreach(size IN LISTS BRINDLE_ICON_SIZES)
  install(FILES ${BRINDLE_DIST_BUILD_DIR}/icons/${size}x${size}/brindle.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${BRINDLE_MAN_PAGE} DESTINATION share/man/man1)

include(${CMAKE_CURRENT_LIST_DIR}/Packaging.cmake)
