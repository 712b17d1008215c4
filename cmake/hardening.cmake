# The hardening Debian builds its own packages with (dpkg-buildflags with
# hardening=+all): a position-independent executable, read-only relocations
# bound at start-up, fortified libc calls, a stack protector and, where the
# compiler has them, stack-clash and control-flow protection. A sanitizer or
# fuzzing build goes without: their runtimes replace the very calls that
# fortification wraps, and their reports are what such a build is for.
if(QUARNET_SANITIZE OR QUARNET_FUZZ)
    return()
endif()

include(CheckCXXCompilerFlag)
include(CheckPIESupported)

# Qt's headers insist on -fPIC, which its targets already add; what makes the
# executable position-independent is linking it with -pie.
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
foreach(flag -fstack-clash-protection -fcf-protection -mbranch-protection=standard)
    string(MAKE_C_IDENTIFIER "quarnet_has${flag}" known)
    check_cxx_compiler_flag(${flag} ${known})
    if(${known})
        add_compile_options(${flag})
    endif()
endforeach()

# Fortification needs the optimiser (glibc warns and does nothing at -O0),
# and a level already chosen in the flags given to CMake is kept.
if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
    add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()

add_link_options(LINKER:-z,relro LINKER:-z,now)
