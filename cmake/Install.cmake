# Installing the programs and their data, and the Debian package (cpack -G DEB).
# The screen saver's own rules live in saver/CMakeLists.txt; the package takes
# everything installed.
include(GNUInstallDirs)

set(QUILLON_DATA_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/quillon)
set(QUILLON_DATA ${PROJECT_SOURCE_DIR}/data)

install(TARGETS quillon-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quillon)
  install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The editor's data folder: what DataDirectory() finds beside bin/.
install(FILES ${QUILLON_DATA}/tips.txt DESTINATION ${QUILLON_DATA_INSTALL_DIR})
install(DIRECTORY ${QUILLON_DATA}/SlideShow ${QUILLON_DATA}/help
        DESTINATION ${QUILLON_DATA_INSTALL_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${QUILLON_DATA_INSTALL_DIR}/examples)

# Desktop integration: the menu entry, the document types and their icons.
install(FILES ${QUILLON_DATA}/desktop/quillon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILLON_DATA}/desktop/quillon-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME quillon.xml)
set(QUILLON_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable)
install(FILES ${QUILLON_DATA}/icons/quillon.svg ${QUILLON_DATA}/icons/lumadrift.svg
        DESTINATION ${QUILLON_ICON_DIR}/apps)
install(FILES ${QUILLON_DATA}/icons/qln_document.svg
        DESTINATION ${QUILLON_ICON_DIR}/mimetypes RENAME application-x-quillon-texture.svg)

# Manual pages, compressed as Debian wants them.
find_program(QUILLON_GZIP gzip)
set(man_pages quillon.1 quillon-render.1 lumadrift.6)
set(man_outputs)
foreach(page ${man_pages})
  set(source ${QUILLON_DATA}/man/${page})
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
  if(QUILLON_GZIP)
    set(output ${PROJECT_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND ${QUILLON_GZIP} -9 -n -c ${source} > ${output}
      DEPENDS ${source} VERBATIM)
    list(APPEND man_outputs ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  else()
    install(FILES ${source} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endif()
endforeach()
if(man_outputs)
  add_custom_target(quillon_man_pages ALL DEPENDS ${man_outputs})
endif()

install(FILES ${QUILLON_DATA}/desktop/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR Veltrana)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "procedural texture editor and screen saver")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon builds textures as stacks of layers: lattice noises with turbulence,\n"
    "reaction-diffusion, bump maps under lights, brick and rock tilings, masks and\n"
    "imported pictures, each coloured through a colour map. Most settings may be\n"
    "random ranges, so every synthesis gives a new picture. The package holds the\n"
    "editor (quillon), the command-line renderer (quillon-render) and the screen\n"
    "saver of random textures and photos (lumadrift).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Veltrana <packages@veltrana.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.veltrana.example/quillon")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "feh | xwallpaper, xscreensaver")
set(CPACK_STRIP_FILES ON)
include(CPack)
