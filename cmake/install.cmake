# Installation and packages: the library with its soname links (component `runtime`), the header,
# pkg-config file and CMake package (`dev`), the command-line tool with its manual pages and the
# front end when built (`tools`). CPack makes one .deb per component: libpella0, libpella-dev,
# pella-tools.
include(CMakePackageConfigHelpers)

install(TARGETS pella EXPORT PellaTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
# The HTJ2K encoder module, which libpella loads from its own folder.
install(TARGETS pella_htj2k LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
install(FILES ${CMAKE_SOURCE_DIR}/pella.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(TARGETS pella_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
if(PELLA_BUILD_APP)
  install(TARGETS pellatool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

# pkg-config: paths relative to the file itself, so that an installed tree can be moved.
file(RELATIVE_PATH PELLA_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_SOURCE_DIR}/cmake/pella.pc.in ${CMAKE_BINARY_DIR}/pella.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/pella.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# find_package(Pella) gives the imported target Pella::pella.
set(PELLA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Pella)
install(EXPORT PellaTargets NAMESPACE Pella:: DESTINATION ${PELLA_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/PellaConfig.cmake.in
  ${CMAKE_BINARY_DIR}/PellaConfig.cmake INSTALL_DESTINATION ${PELLA_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/PellaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/PellaConfig.cmake ${CMAKE_BINARY_DIR}/PellaConfigVersion.cmake
  DESTINATION ${PELLA_CMAKE_DIR} COMPONENT dev)

# Manual pages of the tool and each of its commands, made from their help texts.
set(PELLA_MAN_DIR ${CMAKE_BINARY_DIR}/man)
add_custom_command(OUTPUT ${PELLA_MAN_DIR}/pella.1
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/man-pages.sh $<TARGET_FILE:pella_cli> ${PELLA_MAN_DIR}
          ${PROJECT_VERSION}
  DEPENDS pella_cli ${CMAKE_SOURCE_DIR}/scripts/man-pages.sh
  COMMENT "Writing the manual pages")
add_custom_target(pella_man_pages ALL DEPENDS ${PELLA_MAN_DIR}/pella.1)
install(DIRECTORY ${PELLA_MAN_DIR}/ DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools
  FILES_MATCHING PATTERN "*.1")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pella)
set(CPACK_PACKAGE_VENDOR "Pella")
set(CPACK_PACKAGE_CONTACT "Pella developers <pella@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DICOM network and file toolkit")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libpella0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libpella-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME pella-tools)
# The library's own dependencies come from dpkg-shlibdeps; the tools' too, with libpella0 (built
# in the same run, so not yet known to dpkg) named here.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
# The libraries libpella loads on first use rather than links are not seen by dpkg-shlibdeps:
# libpq (PostgreSQL indexes), cairo (ECG pages), libjpeg and libpng (JPEG and PNG files), OpenSSL
# (TLS, credentials, UID mapping), SQLite (archive indexes), GDCM's JPEG builds (JPEG frames) and
# OpenJPEG (JPEG 2000 frames).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
    "libpq5, libcairo2, libjpeg62-turbo, libpng16-16, libssl3, libsqlite3-0, libgdcm3.0, libopenjp2-7")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libpella0 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libpella0 (= ${PROJECT_VERSION})")
include(CPack)
