# add_setup_executable(NAME [STUB_RESOURCES stub.rc] [RESOURCES file.rc ...])
# Links a setup program from the shared code and the stub's own resources,
# plus any resource scripts that carry a package (tests build many variants
# this way; setup-pack fills an already linked stub instead). STUB_RESOURCES
# replaces res/setup.rc, for tests of a stub whose own resources are broken.
function(add_setup_executable name)
    cmake_parse_arguments(ARG "" "STUB_RESOURCES" "RESOURCES" ${ARGN})
    if(NOT ARG_STUB_RESOURCES)
        set(ARG_STUB_RESOURCES ${PROJECT_SOURCE_DIR}/res/setup.rc)
    endif()
    add_executable(${name} WIN32
        ${PROJECT_SOURCE_DIR}/src/entry/main.cpp
        ${ARG_STUB_RESOURCES}
        ${ARG_RESOURCES})
    target_compile_options(${name} PRIVATE ${SETUP_PRODUCT_FLAGS})
    target_link_libraries(${name} PRIVATE setup_win)
    if(NOT MSVC)
        # Statically linked so it runs alone; stripped, with unused sections
        # dropped. Sections start on page boundaries in the file as in
        # memory, so that a loader can map the package resource straight
        # from the file (Wine otherwise copies the whole image into private
        # memory); this costs some KiB of padding.
        target_link_options(${name} PRIVATE -static -s -Wl,--gc-sections
            -Wl,--file-alignment,4096)
    endif()
    set_property(SOURCE ${PROJECT_SOURCE_DIR}/res/setup.rc APPEND PROPERTY
        OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/res/setup.manifest
        ${PROJECT_SOURCE_DIR}/res/setup-x64.manifest ${PROJECT_SOURCE_DIR}/res/setup.ico)
endfunction()
