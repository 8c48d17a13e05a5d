# GoogleTest, the Windows test programs under Wine, and zep3d_add_test(), with which every area registers
# its test program.

# The Windows build's test programs run under Wine, in the Wine prefix of the build tree; run ctest
# through testing/wine-run.sh, which makes the prefix and starts and ends Wine around it. Every program
# registered with zep3d_add_test or zep_add_companion_test (and every add_test of an executable target)
# runs this way.
if(ZEP3D_BUILD_TESTS AND CMAKE_CROSSCOMPILING AND WIN32 AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(ZEP3D_WINE NAMES wine64 wine HINTS /usr/lib/wine DOC "Wine's loader for the Windows tests")
    if(ZEP3D_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
                                          ${ZEP3D_WINE})
    else()
        message(WARNING "Wine was not found (Debian: wine64): the Windows test programs are built, not run")
    endif()
endif()
# True where the built test programs can run: natively, or under Wine.
if(NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR)
    set(ZEP3D_RUN_TESTS ON)
else()
    set(ZEP3D_RUN_TESTS OFF)
endif()

if(ZEP3D_BUILD_TESTS)
    enable_testing()
    if(CMAKE_CROSSCOMPILING)
        set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
endif()

# zep3d_register_tests(<program>): the program's GoogleTest cases, found when CTest runs, each a test.
function(zep3d_register_tests name)
    if(ZEP3D_RUN_TESTS)
        gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
    endif()
endfunction()

# zep3d_add_test(<name> <sources>...): a GoogleTest program over the library's objects and the
# recording companion doubles, registered with CTest. Nothing when the tests are not built.
function(zep3d_add_test name)
    if(NOT ZEP3D_BUILD_TESTS)
        return()
    endif()
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE zep3d_core zep3d_testing zep3d_companion_fakes
                          GTest::gtest_main GTest::gmock)
    zep3d_register_tests(${name})
endfunction()
