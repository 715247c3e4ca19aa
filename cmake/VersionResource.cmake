# Every shipped Windows file carries the same version resource: the product's name and the
# project version, a Russian description of the file and its original name, which Explorer's
# "Подробно" tab shows and an application-control publisher rule names. Programs other than
# the workstation (which has its own) also get a manifest: they run with the rights of the
# user who starts them and declare the Windows versions they were made for.
if(NOT WIN32)
    return()
endif()

set(WORKSTATION_PRODUCT_NAME "АРМ пользователя Veltora QRD")

#   workstation_version_resource(TARGET DESCRIPTION [MANIFEST])
function(workstation_version_resource target description)
    cmake_parse_arguments(arg "MANIFEST" "" "" ${ARGN})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(version_file_type VFT_APP)
        set(version_file_name ${target}.exe)
    elseif(type STREQUAL "SHARED_LIBRARY")
        set(version_file_type VFT_DLL)
        get_target_property(prefix ${target} PREFIX)
        if(NOT prefix AND NOT prefix STREQUAL "")
            set(prefix ${CMAKE_SHARED_LIBRARY_PREFIX})
        endif()
        set(version_file_name ${prefix}${target}.dll)
    else()
        message(FATAL_ERROR "workstation_version_resource: ${target} is no program or DLL")
    endif()
    set(version_description "${description}")
    set(version_internal_name ${target})
    set(version_product_name "${WORKSTATION_PRODUCT_NAME}")
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
    set(version_manifest "")
    if(arg_MANIFEST)
        set(manifest_name ${target})
        configure_file(${PROJECT_SOURCE_DIR}/cmake/program.manifest.in
                       ${folder}/${target}.manifest @ONLY)
        set(version_manifest
            "CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST \"${target}.manifest\"")
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in ${folder}/VersionInfo.rc @ONLY)
    # An object library of its own: the compilers' warning options are not windres options.
    add_library(${target}_version OBJECT ${folder}/VersionInfo.rc)
    set_property(TARGET ${target}_version PROPERTY COMPILE_OPTIONS "")
    # windres finds the manifest beside the script, and reports no dependencies of its own.
    target_include_directories(${target}_version PRIVATE ${folder})
    if(arg_MANIFEST)
        set_property(SOURCE ${folder}/VersionInfo.rc APPEND PROPERTY OBJECT_DEPENDS
                     ${folder}/${target}.manifest)
    endif()
    target_link_libraries(${target} PRIVATE ${target}_version)
endfunction()
