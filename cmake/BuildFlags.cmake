# The compiler and linker options of every target: warnings as errors, the hardening of the optimised
# builds, and the sanitizer and fuzzer builds.
add_compile_options(-Wall -Wextra -Werror)
if(WIN32)
    add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)
    # Programs and DLLs side by side, as in the installation, so that the build's programs find the DLLs.
    set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()

# Hardening of the optimised builds: checked buffer functions, stack canaries, position-independent
# programs and a read-only relocation table (ELF); address randomisation and no-execute data (PE). The
# package test and the Windows build check that the binaries carry them.
if(NOT ZEP3D_SANITIZE AND NOT ZEP3D_FUZZ AND NOT ZEP3D_TSAN)
    set(zep3d_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
    add_compile_options("$<${zep3d_optimised}:-fstack-protector-strong>")
    if(WIN32)
        # The canaries' runtime (libssp) comes with the flag on the link line.
        add_link_options("$<${zep3d_optimised}:-fstack-protector-strong>"
                         "$<${zep3d_optimised}:LINKER:--dynamicbase,--nxcompat,--high-entropy-va>")
    else()
        add_compile_definitions("$<${zep3d_optimised}:_FORTIFY_SOURCE=2>")
        add_link_options("$<${zep3d_optimised}:LINKER:-z,relro,-z,now>")
        include(CheckPIESupported)
        check_pie_supported()
    endif()
endif()

if(ZEP3D_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(ZEP3D_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
if(ZEP3D_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# A Windows DLL is named without the "lib" prefix and carries its own C++ runtime, so that it needs only
# the system's DLLs, as the test programs do.
function(zep_windows_dll target)
    if(WIN32)
        set_target_properties(${target} PROPERTIES PREFIX "")
        target_link_options(${target} PRIVATE -static)
    endif()
endfunction()
