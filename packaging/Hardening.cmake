# Debian's hardening flags (dpkg-buildflags with hardening=+all): fortified
# string and memory functions, stack protector, control-flow protection and a
# read-only, eagerly bound relocation table. None changes a floating-point
# result. Left out of the sanitized and fuzzing builds, whose instrumentation
# replaces the same functions.
include(CheckCXXCompilerFlag)

if(NOT NIVO_SANITIZE AND NOT NIVO_FUZZ)
  # Fortified functions need the optimiser: not in a Debug build.
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
  check_cxx_compiler_flag(-fcf-protection nivo_has_cf_protection)
  if(nivo_has_cf_protection)
    add_compile_options(-fcf-protection)
  endif()
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
