# The version resource and the release packages, all from the project VERSION.
#   kivo_version_resources(<target> <dir> <version>)  the version header and manifest that
#       res/kivoklok.rc includes, generated into <dir> for <target>
#   kivo_add_msi(<target> <msi> <exe-target> <version>)  a per-user installer of <exe-target>
#   target `release`  build/windows/release/kivoklok-<version>-x64.msi and .zip

# Never change it: a newer package finds and replaces an older one by this code.
set(KIVO_UPGRADE_CODE 6F0C8A52-3D1B-4E47-9B8E-2A5C7D9E1F30)

find_program(KIVO_WIXL wixl)
find_program(KIVO_ZIP zip)

function(kivo_version_resources target dir version)
    string(REPLACE "." ";" parts ${version})
    list(GET parts 0 KIVO_VERSION_MAJOR)
    list(GET parts 1 KIVO_VERSION_MINOR)
    list(GET parts 2 KIVO_VERSION_PATCH)
    set(KIVO_VERSION_QUAD ${version}.0)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/kivoklok_version.h.in ${dir}/kivoklok_version.h @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/res/kivoklok.manifest.in ${dir}/kivoklok.manifest @ONLY)
    # windres looks in the include path for the header and for files the script names.
    target_include_directories(${target} PRIVATE ${dir})
    # windres gives no dependency file: a new version must still rebuild the resources.
    get_target_property(target_dir ${target} SOURCE_DIR)
    set_property(SOURCE ${PROJECT_SOURCE_DIR}/res/kivoklok.rc DIRECTORY ${target_dir}
        APPEND PROPERTY OBJECT_DEPENDS ${dir}/kivoklok_version.h ${dir}/kivoklok.manifest)
endfunction()

kivo_version_resources(kivoklok ${PROJECT_BINARY_DIR}/generated ${PROJECT_VERSION})

if(NOT KIVO_WIXL OR NOT KIVO_ZIP)
    message(WARNING "wixl or zip not found (scripts/install-deps.sh windows): no release target")
    return()
endif()

function(kivo_add_msi target msi exe version)
    set(stage ${CMAKE_CURRENT_BINARY_DIR}/stage-${target})
    # One product code per version, so the same version built twice is the same product.
    string(UUID product NAMESPACE ${KIVO_UPGRADE_CODE} NAME "kivoklok ${version}" TYPE SHA1 UPPER)
    # wixl takes source files by relative path only: it runs in a folder with exe and icon.
    add_custom_command(OUTPUT ${msi}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
        COMMAND ${CMAKE_STRIP} -o ${stage}/kivoklok.exe $<TARGET_FILE:${exe}>
        COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/res/kivoklok.ico ${stage}/
        COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${KIVO_WIXL} -a x64 -D Version=${version} -D ProductCode=${product}
                -D UpgradeCode=${KIVO_UPGRADE_CODE} -D ExePath=kivoklok.exe
                -D IconPath=kivoklok.ico -o ${msi} ${PROJECT_SOURCE_DIR}/installer/kivoklok.wxs
        DEPENDS ${exe} ${PROJECT_SOURCE_DIR}/installer/kivoklok.wxs
                ${PROJECT_SOURCE_DIR}/res/kivoklok.ico
        COMMENT "Building ${msi}"
        VERBATIM)
    add_custom_target(${target} DEPENDS ${msi})
endfunction()

set(KIVO_RELEASE_DIR ${PROJECT_BINARY_DIR}/release)
set(KIVO_RELEASE_NAME kivoklok-${PROJECT_VERSION}-x64)
kivo_add_msi(release_msi ${KIVO_RELEASE_DIR}/${KIVO_RELEASE_NAME}.msi kivoklok ${PROJECT_VERSION})

# The zip: the same stripped exe and a short read-me, in a folder of their own name.
configure_file(${PROJECT_SOURCE_DIR}/installer/LEESMIJ.txt.in
    ${PROJECT_BINARY_DIR}/generated/LEESMIJ.txt @ONLY NEWLINE_STYLE CRLF)
set(zip ${KIVO_RELEASE_DIR}/${KIVO_RELEASE_NAME}.zip)
set(zipstage ${PROJECT_BINARY_DIR}/stage-release_zip)
add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zipstage} ${zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zipstage}/kivoklok
    COMMAND ${CMAKE_STRIP} -o ${zipstage}/kivoklok/kivoklok.exe $<TARGET_FILE:kivoklok>
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_BINARY_DIR}/generated/LEESMIJ.txt
            ${zipstage}/kivoklok/
    COMMAND ${CMAKE_COMMAND} -E chdir ${zipstage} ${KIVO_ZIP} -q -X -r ${zip} kivoklok
    DEPENDS kivoklok ${PROJECT_BINARY_DIR}/generated/LEESMIJ.txt
    COMMENT "Building ${zip}"
    VERBATIM)
add_custom_target(release_zip DEPENDS ${zip})

add_custom_target(release DEPENDS release_msi release_zip)
