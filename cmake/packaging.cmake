# How setup-pack is installed (cmake --install) and packed by CPack into a
# Debian package and a tarball (scripts/package runs both). For the host
# build only: the installed program is the native setup-pack, and the stub
# it fills, built by the windows preset, is taken from SETUP_PACK_STUB.
include(GNUInstallDirs)

set(SETUP_PACK_STUB "${PROJECT_SOURCE_DIR}/dist/setup.exe" CACHE FILEPATH
    "The empty setup.exe installed beside setup-pack (cmake --preset windows builds it)")
set(SETUP_PACK_STUB_X64 "${PROJECT_SOURCE_DIR}/dist/setup-x64.exe" CACHE FILEPATH
    "The empty setup-x64.exe installed beside it (cmake --preset windows-x64 builds it)")
set(SETUP_PACK_MAINTAINER "setup-pack maintainers <setup-pack@example.org>" CACHE STRING
    "The Maintainer of the Debian package")

# The Debian package of each version is its first revision; the newest
# entry of packaging/changelog (its changelog.Debian) must be for it.
set(SETUP_PACK_DEBIAN_REVISION 1)
set(SETUP_PACK_DEBIAN_VERSION ${PROJECT_VERSION}-${SETUP_PACK_DEBIAN_REVISION})

find_program(SETUP_GZIP gzip REQUIRED)

# The manual page carries the version; both it and the changelog are
# compressed without name or time stamp, as Debian wants them, and the same
# on every build.
set(SETUP_PACK_DOCS "${CMAKE_BINARY_DIR}/packaging")
configure_file(${PROJECT_SOURCE_DIR}/docs/setup-pack.1 ${SETUP_PACK_DOCS}/setup-pack.1 @ONLY)
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog SETUP_PACK_CHANGELOG_TOP LIMIT_COUNT 1)
string(REPLACE "." "\\." SETUP_PACK_VERSION_PATTERN "${SETUP_PACK_DEBIAN_VERSION}")
if(NOT SETUP_PACK_CHANGELOG_TOP MATCHES "^setup-pack \\(${SETUP_PACK_VERSION_PATTERN}\\) ")
    message(FATAL_ERROR "packaging/changelog: the newest entry is not for "
        "${SETUP_PACK_DEBIAN_VERSION} (the project's version): ${SETUP_PACK_CHANGELOG_TOP}")
endif()
add_custom_command(
    OUTPUT ${SETUP_PACK_DOCS}/setup-pack.1.gz ${SETUP_PACK_DOCS}/changelog.Debian.gz
    COMMAND ${SETUP_GZIP} -9 -n -c ${SETUP_PACK_DOCS}/setup-pack.1 > ${SETUP_PACK_DOCS}/setup-pack.1.gz
    COMMAND ${SETUP_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog
        > ${SETUP_PACK_DOCS}/changelog.Debian.gz
    DEPENDS ${SETUP_PACK_DOCS}/setup-pack.1 ${PROJECT_SOURCE_DIR}/packaging/changelog
    VERBATIM)
add_custom_target(setup_pack_docs ALL
    DEPENDS ${SETUP_PACK_DOCS}/setup-pack.1.gz ${SETUP_PACK_DOCS}/changelog.Debian.gz)

# The same modes whatever the umask of the machine that packs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS setup-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# setup-pack looks for them at ../share/setup-pack/ from its folder.
# Windows programs for the target, not this machine: not executable here.
install(FILES ${SETUP_PACK_STUB} ${SETUP_PACK_STUB_X64} DESTINATION ${CMAKE_INSTALL_DATADIR}/setup-pack
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES ${SETUP_PACK_DOCS}/setup-pack.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${SETUP_PACK_DOCS}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/setup-pack)
# For the Debian package; scripts/package leaves it out of the tarball.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME setup-pack)

set(CPACK_PACKAGE_NAME setup-pack)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SETUP_PACK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes a Windows setup.exe from an installer package")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "setup-pack turns a product's Windows Installer package (.msi) and its\n"
    "language transforms (.mst) into one setup.exe that lets the user pick the\n"
    "language, writes the package to a private temporary folder and starts\n"
    "msiexec. Transforms can be made from localized packages of the product.\n"
    "The output is reproducible, and setup-pack signs it with osslsigncode.\n"
    "It runs natively, without Wine: the setup runs on Windows.")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/cpack")
set(CPACK_PACKAGE_FILE_NAME "setup-pack-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/dist/;/\\.git/")
# The Debian package installs into /usr, the tarball unpacks into one folder
# holding bin/ and share/ (cpack_options.cmake is read per generator).
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_SOURCE_DIR}/cmake/cpack_options.cmake")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE ${SETUP_PACK_DEBIAN_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # Depends: the C and C++ libraries it links
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "osslsigncode, openssl")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
