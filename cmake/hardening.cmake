# Built as a distribution builds what it packages: a stack protector, checked
# libc calls, stack clash probes and control-flow marks where the compiler has
# them, relocations read-only and bound at load; on Windows a relocatable image
# with a non-executable stack and heap and 64-bit address randomisation. A
# library loaded into a player's process must not let one overflow take the
# process over. Every target gets them, so the benchmarks measure the code as
# it ships.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)

add_compile_options(-fstack-protector-strong)

if(MINGW)
  # The protector's runtime comes with the flag at link time (libssp, linked
  # in statically like the rest of GCC's runtime).
  add_link_options(-fstack-protector-strong LINKER:--dynamicbase LINKER:--nxcompat LINKER:--high-entropy-va)
  return()
endif()

foreach(_qvx_flag -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "QVX_HAS${_qvx_flag}" _qvx_has)
  check_cxx_compiler_flag(${_qvx_flag} ${_qvx_has})
  if(${_qvx_has})
    add_compile_options(${_qvx_flag})
  endif()
endforeach()
add_link_options(LINKER:-z,relro LINKER:-z,now)

# The sanitizers check those calls their own way, and the checked versions
# would hide them from it; an unoptimised build has no object sizes to check.
if(QVX_SANITIZE OR QVX_FUZZ)
  return()
endif()
# Level 3 sizes objects at run time too, where glibc and the compiler can.
set(CMAKE_REQUIRED_FLAGS "-O2 -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=3")
check_cxx_source_compiles([[
#include <cstdio>
#if !defined(__USE_FORTIFY_LEVEL) || __USE_FORTIFY_LEVEL < 3
#error no level 3
#endif
int main() { return 0; }
]] QVX_FORTIFY_3)
unset(CMAKE_REQUIRED_FLAGS)
if(QVX_FORTIFY_3)
  set(QVX_FORTIFY_LEVEL 3)
else()
  set(QVX_FORTIFY_LEVEL 2)
endif()
set(_qvx_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
add_compile_options($<${_qvx_optimised}:-U_FORTIFY_SOURCE> $<${_qvx_optimised}:-D_FORTIFY_SOURCE=${QVX_FORTIFY_LEVEL}>)
