# Install rules and the Debian package, included by the top CMakeLists.txt.
#
#   cmake --install BUILD [--prefix DIR]   bin/cvmap, bin/CorvaneMapCreator, the
#                                          desktop entry, the hicolor icons, the
#                                          AppStream metainfo, the man page
#   (cd BUILD && cpack -G DEB)             the same as a .deb whose dependencies
#                                          dpkg-shlibdeps reads from the linked
#                                          shared libraries
include(GNUInstallDirs)

set(CORVANE_APP_ID "cz.corvane.CorvaneMapCreator")  # desktop entry, metainfo and icon name
set(_install_dir "${PROJECT_SOURCE_DIR}/res/install")

install(TARGETS cvmap RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES "${_install_dir}/cvmap.1" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(CORVANE_WITH_WINDOW)
  install(TARGETS CorvaneMapCreator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES "${_install_dir}/${CORVANE_APP_ID}.desktop"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES "${_install_dir}/${CORVANE_APP_ID}.metainfo.xml"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The theme's icons are the window's own drawings (res/tools/draw_icons.cpp).
  foreach(size 16 24 32 48 64 128 256)
    install(FILES "${PROJECT_SOURCE_DIR}/res/icons/app_${size}.png"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${CORVANE_APP_ID}.png)
  endforeach()
endif()

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "corvane-map-creator")
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns a folder of cached map tiles into one offline map file")
set(CPACK_PACKAGE_DESCRIPTION
    "CorvaneMapCreator copies every tile of a tile-caching map program's folder\n"
    "(the GeoKuk cache, or the OSM Tracker Storage layout zoom/column/row.png)\n"
    "into one SQLite map file for the Corvane mobile map application. It comes\n"
    "as a window with Czech captions and as the command line tool cvmap.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
if(CORVANE_WITH_WINDOW)
  # Plugins that no binary links: the display platforms, and Qt's Czech texts.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
endif()
include(CPack)
