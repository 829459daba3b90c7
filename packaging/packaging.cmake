# Install rules and the Debian package (cpack -G DEB from the build folder).
include(GNUInstallDirs)
# Packaging builds only what it installs, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The icon is drawn at build time from one set of shapes, as SVG and PNGs.
add_executable(molarix-makeicon ${CMAKE_SOURCE_DIR}/assets/makeicon.cpp)
target_link_libraries(molarix-makeicon PRIVATE Qt6::Gui)
set(MOLARIX_ICONS ${CMAKE_BINARY_DIR}/icons)
add_custom_command(
  OUTPUT ${MOLARIX_ICONS}/molarix.svg ${MOLARIX_ICONS}/molarix-48.png ${MOLARIX_ICONS}/molarix-128.png
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MOLARIX_ICONS}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:molarix-makeicon> ${MOLARIX_ICONS} 48 128
  DEPENDS molarix-makeicon
  COMMENT "Drawing the icon")

# Manual pages and the Debian changelog, compressed as Debian wants them.
set(MOLARIX_PACKED ${CMAKE_BINARY_DIR}/packed)
set(_packed)
foreach(src docs/man/molarix.1 docs/man/molarix-db.1 packaging/changelog)
  get_filename_component(_name ${src} NAME)
  add_custom_command(
    OUTPUT ${MOLARIX_PACKED}/${_name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${MOLARIX_PACKED}
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/${src} > ${MOLARIX_PACKED}/${_name}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/${src})
  list(APPEND _packed ${MOLARIX_PACKED}/${_name}.gz)
endforeach()

configure_file(${CMAKE_SOURCE_DIR}/assets/gr.ortelis.Molarix.metainfo.xml
               ${CMAKE_BINARY_DIR}/gr.ortelis.Molarix.metainfo.xml @ONLY)

add_custom_target(molarix_install_files ALL
  DEPENDS ${MOLARIX_ICONS}/molarix.svg ${MOLARIX_ICONS}/molarix-48.png ${MOLARIX_ICONS}/molarix-128.png ${_packed})

install(TARGETS molarix molarix-db RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/reports/files/ DESTINATION ${CMAKE_INSTALL_DATADIR}/molarix/reports
        FILES_MATCHING PATTERN "*.RAV")
install(FILES ${CMAKE_SOURCE_DIR}/assets/gr.ortelis.Molarix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/gr.ortelis.Molarix.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${MOLARIX_ICONS}/molarix.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128)
  install(FILES ${MOLARIX_ICONS}/molarix-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME molarix.png)
endforeach()
install(FILES ${MOLARIX_PACKED}/molarix.1.gz ${MOLARIX_PACKED}/molarix-db.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${MOLARIX_PACKED}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/molarix)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME molarix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Ortelis)
set(CPACK_PACKAGE_CONTACT "Ortelis <info@ortelis.gr>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ortelis <info@ortelis.gr>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see them: the windowing
# plugins, a font with Greek letters, libpq (opened for a server practice),
# and the file engine, the Jet reader, printing and the JPEG reader that
# molarix opens on first use (cmake/LazyLibraries.cmake; the other programs
# link them, but need not always).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core, libpq5, libsqlcipher0, libssl3, libmdb3, libqt6printsupport6, libjpeg62-turbo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "office program for a small dental practice")
# CPack puts the summary first and indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Molarix keeps the office of a small dental practice in one encrypted file:
patients with their history and visits, numbered receipts and takings,
operating expenses with VAT, an appointment book, reminders, a notebook and
useful phone numbers. Its windows are in Greek.

The package holds the program, the molarix-db tool that makes and inspects
practice folders, and the report files of the printouts.")
include(CPack)
