# Third-party code, all from Debian packages (scripts/install-deps).
#
# The header-only libraries live under the build host's /usr/include. The Windows build must
# not search that folder as a whole, so each library's folder is exposed on its own.

set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(dir nlohmann)
    if(NOT EXISTS ${host_headers}/${dir})
        file(CREATE_LINK /usr/include/${dir} ${host_headers}/${dir} SYMBOLIC)
    endif()
endforeach()

add_library(dep_utfcpp INTERFACE)
target_include_directories(dep_utfcpp SYSTEM INTERFACE /usr/include/utf8cpp)

add_library(dep_cryptoki INTERFACE)
target_include_directories(dep_cryptoki SYSTEM INTERFACE /usr/include/p11-kit-1)

add_library(dep_json INTERFACE)
target_include_directories(dep_json SYSTEM INTERFACE ${host_headers})

# libgcrypt: the Linux build links the shared system library; the Windows build links the
# static archives of the MinGW package into the module, so the DLL needs no other DLL.
add_library(dep_gcrypt INTERFACE)
if(WIN32)
    find_library(GCRYPT_STATIC NAMES libgcrypt.a REQUIRED)
    find_library(GPG_ERROR_STATIC NAMES libgpg-error.a REQUIRED)
    target_link_libraries(dep_gcrypt INTERFACE ${GCRYPT_STATIC} ${GPG_ERROR_STATIC} ws2_32)
else()
    find_library(GCRYPT_SHARED NAMES gcrypt REQUIRED)
    find_library(GPG_ERROR_SHARED NAMES gpg-error REQUIRED)
    target_link_libraries(dep_gcrypt INTERFACE ${GCRYPT_SHARED} ${GPG_ERROR_SHARED})
endif()

if(WORKSTATION_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
