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
install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT client)
# netdelay goes with the node: scripts/datanet puts it in front of the
# nodes for a network with a delay or a rate.
install(TARGETS morbnode netdelay
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT node)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morbs)
set(CPACK_PACKAGE_VENDOR "MORBS")
set(CPACK_PACKAGE_CONTACT "MORBS developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL client node)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The C and C++ libraries (and libssh for the node) as dpkg-shlibdeps finds
# them; curl is started as a program, so no library names it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME morbs-client)
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS curl)
set(CPACK_DEBIAN_NODE_PACKAGE_NAME morbs-node)
# Per package: the first line is the summary.
set(CPACK_COMPONENT_CLIENT_DESCRIPTION "MORBS client: pushbox, pullbox, erasebox and deskbox
Store, list, fetch, delete and lock files in a MORBS data network, with the
task frame deskbox, its dialog program promptwin and the stand-in access
tester gatekeep.")
set(CPACK_COMPONENT_NODE_DESCRIPTION "MORBS storage node: morbnode
One storage node of a local MORBS data network: a query port and an SFTP
service over a directory of its own.")
include(CPack)
