# The hardening Debian builds its packages with, for every build: fortified libc calls,
# stack protector, position-independent executables, and read-only relocations bound at
# start-up. Each flag only where the compiler and linker take it; flags already passed in
# (dpkg-buildflags through CXXFLAGS and LDFLAGS) are not added twice.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)

check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

check_cxx_compiler_flag(-fstack-protector-strong KEYFALL_HAS_STACK_PROTECTOR)
if(KEYFALL_HAS_STACK_PROTECTOR AND NOT CMAKE_CXX_FLAGS MATCHES "-fstack-protector")
  add_compile_options(-fstack-protector-strong)
endif()

# Fortification needs the optimiser, and the glibc headers warn without it.
if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()

check_linker_flag(CXX "LINKER:-z,relro,-z,now" KEYFALL_HAS_BIND_NOW)
if(KEYFALL_HAS_BIND_NOW AND NOT CMAKE_EXE_LINKER_FLAGS MATCHES "-z,now")
  add_link_options("LINKER:-z,relro,-z,now")
endif()
