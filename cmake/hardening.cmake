# The hardening a Debian build gives, for every target: position-independent code (address
# randomisation of the main image too), a stack protector, checked copies of the C library's
# string and memory functions, a read-only relocation table bound at start, and control-flow
# protection where the compiler has it.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(-fstack-protector-strong)
check_cxx_compiler_flag(-fcf-protection NK_HAS_CF_PROTECTION)
if(NK_HAS_CF_PROTECTION)
  add_compile_options(-fcf-protection)
endif()
# glibc warns about _FORTIFY_SOURCE without optimisation, and warnings are errors:
# a Debug build goes without. AddressSanitizer does not see the calls that go to the
# checked variants (__memcpy_chk and kin), so the sanitizer and fuzz builds go without too.
if(NOT NK_SANITIZE AND NOT NK_FUZZ)
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()
add_link_options(LINKER:-z,relro LINKER:-z,now)
