# Install rules and the Debian packages. Two packages: morbs-client, what a
# user of the data network needs (the four programs, the dialog program
# deskbox runs, and gatekeep, which deskbox runs for the certificate), and
# morbs-node, the storage node (and the delay proxy for a network on one
# machine), for those who run one; only the node needs libssh.
#
#   cmake --install BUILD [--prefix DIR]      everything, from any build tree
#   cd BUILD && cpack -G DEB                  morbs-client_*.deb, morbs-node_*.deb
include(GNUInstallDirs)

install(TARGETS pushbox pullbox erasebox deskbox promptwin gatekeep
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT client)
# netdelay goes with the node: scripts/datanet puts it in front of the
# nodes for a network with a delay or a rate.
install(TARGETS morbnode netdelay
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT node)
# The manual pages install themselves with their program's component
# (man/CMakeLists.txt).

# Each package's own documentation folder, as Debian wants it: the copyright
# and the changelog in both, the README with the client. The changelog is a
# record kept by hand; its first entry must be this version.
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^morbs \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog: its first entry is not for version ${PROJECT_VERSION}; "
                      "add one")
endif()
find_program(MORBS_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND ${CMAKE_COMMAND} -DGZIP=${MORBS_GZIP} -DINPUT=${PROJECT_SOURCE_DIR}/cmake/debian/changelog
          -DOUTPUT=${CMAKE_BINARY_DIR}/debian/changelog.gz -P ${PROJECT_SOURCE_DIR}/cmake/gzip_file.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog ${PROJECT_SOURCE_DIR}/cmake/gzip_file.cmake
  COMMENT "Debian changelog.gz"
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
foreach(component client node)
  set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/morbs-${component})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
          DESTINATION ${docdir} COMPONENT ${component})
  if(component STREQUAL client)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${docdir} COMPONENT client)
  endif()
  # A lintian finding that is not one is overridden, with the reason, in
  # the package's own override file.
  if(EXISTS ${PROJECT_SOURCE_DIR}/cmake/debian/lintian/morbs-${component})
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian/morbs-${component}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT ${component})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morbs)
set(CPACK_PACKAGE_VENDOR "MORBS")
# The Maintainer field: a name and an address.
set(CPACK_PACKAGE_CONTACT "MORBS developers <morbs@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL client node)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The C and C++ libraries (and libssh for the node) as dpkg-shlibdeps finds
# them; libcurl, which moves every transfer in process, among them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME morbs-client)
set(CPACK_DEBIAN_NODE_PACKAGE_NAME morbs-node)
# Per package: the first line is the summary.
set(CPACK_COMPONENT_CLIENT_DESCRIPTION "MORBS client: pushbox, pullbox, erasebox and deskbox
Store, list, fetch, delete and lock files in a MORBS data network, with the
task frame deskbox, its dialog program promptwin and the stand-in access
tester gatekeep.")
set(CPACK_COMPONENT_NODE_DESCRIPTION "MORBS storage node: morbnode
One storage node of a local MORBS data network: a query port and an SFTP
service over a directory of its own.")
# No package without its manual pages.
set(CPACK_MORBS_MANPAGES_BUILT ${MORBS_MANPAGES_BUILT})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/require_manpages.cmake)
include(CPack)
