# What `cmake --install` puts under the prefix: the public headers, the shared library ZEP3DTool and
# the six companion libraries it loads, the zep3dtool program, a CMake package (find_package(ZEP3DTool)
# gives the imported target ZEP3DTool::ZEP3DTool) and a pkg-config file (zep3dtool.pc).
include(CMakePackageConfigHelpers)

set(ZEP3D_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZEP3DTool)

# Users of the installed library find its headers under the prefix; the build tree keeps the sources'.
set_property(TARGET ZEP3DTool PROPERTY INTERFACE_INCLUDE_DIRECTORIES
             "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>")
# The companions' headers are not installed: the library's users call only the library.
foreach(companion ${ZEP3D_COMPANIONS})
    set_property(TARGET ${companion} PROPERTY INTERFACE_INCLUDE_DIRECTORIES
                 "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/companions/include>")
endforeach()
set_target_properties(ZEP3DTool PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
if(NOT WIN32)
    # The library finds its companions beside itself.
    set_target_properties(ZEP3DTool ${ZEP3D_COMPANIONS} PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()

# The README: at the top of the Windows ZIP, with the documentation on Linux.
if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
else()
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/zep3dtool)
endif()

# The manual page zep3dtool(1), made from the program's help texts (Debian: help2man).
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
    find_program(ZEP3D_HELP2MAN help2man)
    if(ZEP3D_HELP2MAN)
        set(man_page ${CMAKE_CURRENT_BINARY_DIR}/zep3dtool.1.gz)
        add_custom_command(OUTPUT ${man_page}
                           COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/zep3dtool-man.sh $<TARGET_FILE:zep3dtool>
                                   ${PROJECT_VERSION} ${man_page}
                           DEPENDS zep3dtool ${PROJECT_SOURCE_DIR}/cmake/zep3dtool-man.sh
                           COMMENT "Making the manual page zep3dtool(1)")
        add_custom_target(zep3dtool_man ALL DEPENDS ${man_page})
        install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    else()
        message(WARNING "help2man was not found (Debian: help2man): no manual page is installed")
    endif()
endif()

# The companions are in the export too: the library's users link them only through it.
install(TARGETS ZEP3DTool ${ZEP3D_COMPANIONS} EXPORT ZEP3DToolTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS zep3dtool
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES
        ${PROJECT_SOURCE_DIR}/include/zep3d/Export.h
        ${PROJECT_SOURCE_DIR}/include/zep3d/ZEPTools.h
        ${PROJECT_SOURCE_DIR}/include/zep3d/ZEPFileIO.h
        ${PROJECT_SOURCE_DIR}/include/zep3d/ZEPDrawSTLTool.h
        ${PROJECT_SOURCE_DIR}/include/zep3d/ZEPDrawVectorTool.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zep3d)

install(EXPORT ZEP3DToolTargets NAMESPACE ZEP3DTool:: DESTINATION ${ZEP3D_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZEP3DToolConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/ZEP3DToolConfig.cmake
                              INSTALL_DESTINATION ${ZEP3D_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZEP3DToolConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ZEP3DToolConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ZEP3DToolConfigVersion.cmake
        DESTINATION ${ZEP3D_CMAKE_PACKAGE_DIR})

# The pkg-config file names its prefix relative to where it lies, so the package may be moved.
file(RELATIVE_PATH ZEP3D_PC_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(${PROJECT_SOURCE_DIR}/cmake/zep3dtool.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zep3dtool.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zep3dtool.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

include(${PROJECT_SOURCE_DIR}/cmake/Package.cmake)

# The package test: installs this build into a temporary prefix, builds a small program against it
# with find_package and with pkg-config, and runs both.
if(ZEP3D_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
    set(zep3d_hardened OFF)
    if(NOT ZEP3D_SANITIZE AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
        set(zep3d_hardened ON)
    endif()
    add_test(NAME Package.ConsumerBuildsAndRunsAgainstTheInstalledPackage
             COMMAND bash ${PROJECT_SOURCE_DIR}/examples/consumer/check-package.sh
                     ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}/examples/consumer
                     ${CMAKE_CXX_COMPILER} "${ZEP3D_SANITIZE}" "${zep3d_hardened}")
    set_tests_properties(Package.ConsumerBuildsAndRunsAgainstTheInstalledPackage PROPERTIES
                         TIMEOUT 600 LABELS package)
endif()

# The Debian package, installed on this machine with dpkg and removed again: machine-wide, so labelled
# like the tests on real servers. Not for the sanitizer build, whose library no machine should install.
if(ZEP3D_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING AND NOT WIN32 AND NOT ZEP3D_SANITIZE)
    add_test(NAME Package.DebianPackageInstallsAndTheConsumerBuildsAgainstIt
             COMMAND bash ${PROJECT_SOURCE_DIR}/examples/consumer/check-deb.sh ${CMAKE_BINARY_DIR}
                     ${PROJECT_SOURCE_DIR}/examples/consumer ${CMAKE_CXX_COMPILER})
    set_tests_properties(Package.DebianPackageInstallsAndTheConsumerBuildsAgainstIt PROPERTIES
                         TIMEOUT 600 SKIP_RETURN_CODE 77 LABELS "package;integration")
endif()

# The Windows ZIP: its zep3dtool.exe and a consumer built against it run under Wine.
if(ZEP3D_BUILD_TESTS AND WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR)
    add_test(NAME Package.WindowsZipRunsAndTheConsumerBuildsAgainstIt
             COMMAND bash ${PROJECT_SOURCE_DIR}/examples/consumer/check-zip.sh ${CMAKE_BINARY_DIR}
                     ${PROJECT_SOURCE_DIR}/examples/consumer ${CMAKE_TOOLCHAIN_FILE}
                     ${CMAKE_CROSSCOMPILING_EMULATOR})
    set_tests_properties(Package.WindowsZipRunsAndTheConsumerBuildsAgainstIt PROPERTIES
                         TIMEOUT 600 LABELS package)
endif()
