# What cpack makes of the installation: on Windows a ZIP (the DLLs with zep3dtool.exe in bin, the
# headers, the import libraries, the CMake and pkg-config files, the README); on Linux a Debian package
# "zep3dtool" installed under /usr, with the manual page zep3dtool(1).
set(CPACK_PACKAGE_NAME ZEP3DTool)
set(CPACK_PACKAGE_VENDOR "ZEP3DTool developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Run set-up and launch library of the flow-analysis solvers")
set(CPACK_PACKAGE_DESCRIPTION
    "The library that the solvers of a flow-analysis suite load to read a run's task-manager file, write\n"
    "its partition and launcher files and start it (MPI processes on this machine, a Slurm job, or a run\n"
    "on Linux machines over SSH), with its six companion libraries, the headers, the CMake and pkg-config\n"
    "files for building against it, and the command-line program zep3dtool.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_SYSTEM_NAME win64)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_PACKAGE_NAME zep3dtool)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION libs)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZEP3DTool developers")
    # The dependencies on the system's libraries (C and C++ runtime, libssh2) as dpkg-shlibdeps finds
    # them; the companions in the package are found beside the library.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
endif()

include(CPack)
