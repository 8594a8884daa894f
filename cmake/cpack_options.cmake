# Read by cpack once per generator (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
else()
    set(CPACK_PACKAGING_INSTALL_PREFIX "")
endif()
