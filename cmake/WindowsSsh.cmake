# libssh2 with the mbedTLS crypto backend for the Windows build, both as static libraries built from
# Debian's source packages (cmake/debian-source.sh) with this build's toolchain. They are built once and
# kept in the build tree (_deps/ssh): later builds find them done. Defines the interface library
# zep_libssh2, which the SSH companion links.
include(ExternalProject)

set(zep_ssh_deps ${CMAKE_BINARY_DIR}/_deps/ssh)
set(zep_ssh_prefix ${zep_ssh_deps}/prefix)
set(zep_ssh_libs
    ${zep_ssh_prefix}/lib/libssh2.a
    ${zep_ssh_prefix}/lib/libmbedtls.a
    ${zep_ssh_prefix}/lib/libmbedx509.a
    ${zep_ssh_prefix}/lib/libmbedcrypto.a)
set(zep_ssh_common_args
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=${zep_ssh_prefix}
    -DCMAKE_INSTALL_LIBDIR=lib)

# The two fetches share one apt state, so they run one after the other.
ExternalProject_Add(zep_mbedtls_build
    PREFIX ${zep_ssh_deps}/mbedtls
    DOWNLOAD_COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/debian-source.sh ${zep_ssh_deps}/apt mbedtls <SOURCE_DIR>
    UPDATE_COMMAND ""
    CMAKE_ARGS ${zep_ssh_common_args} -DENABLE_TESTING=OFF -DENABLE_PROGRAMS=OFF -DMBEDTLS_FATAL_WARNINGS=OFF
    BUILD_BYPRODUCTS ${zep_ssh_prefix}/lib/libmbedtls.a ${zep_ssh_prefix}/lib/libmbedx509.a
                     ${zep_ssh_prefix}/lib/libmbedcrypto.a
    LOG_DOWNLOAD ON LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)

ExternalProject_Add(zep_libssh2_build
    DEPENDS zep_mbedtls_build
    PREFIX ${zep_ssh_deps}/libssh2
    DOWNLOAD_COMMAND bash ${PROJECT_SOURCE_DIR}/cmake/debian-source.sh ${zep_ssh_deps}/apt libssh2 <SOURCE_DIR>
    UPDATE_COMMAND ""
    CMAKE_ARGS ${zep_ssh_common_args}
        -DCRYPTO_BACKEND=mbedTLS -DBUILD_SHARED_LIBS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF
        -DENABLE_ZLIB_COMPRESSION=OFF
        -DMBEDTLS_INCLUDE_DIR=${zep_ssh_prefix}/include
        -DMBEDCRYPTO_LIBRARY=${zep_ssh_prefix}/lib/libmbedcrypto.a
        -DMBEDTLS_LIBRARY=${zep_ssh_prefix}/lib/libmbedtls.a
        -DMBEDX509_LIBRARY=${zep_ssh_prefix}/lib/libmbedx509.a
    BUILD_BYPRODUCTS ${zep_ssh_prefix}/lib/libssh2.a
    LOG_DOWNLOAD ON LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)

file(MAKE_DIRECTORY ${zep_ssh_prefix}/include)
add_library(zep_libssh2 INTERFACE)
add_dependencies(zep_libssh2 zep_libssh2_build)
target_include_directories(zep_libssh2 INTERFACE ${zep_ssh_prefix}/include)
target_link_libraries(zep_libssh2 INTERFACE ${zep_ssh_libs} ws2_32 bcrypt)
