add_library(dimwell_warnings INTERFACE)
target_compile_options(dimwell_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wformat=2 -Wformat-security
  $<$<BOOL:${DIMWELL_WERROR}>:-Werror>)

# Address and undefined-behaviour checks for test and fuzz builds.
add_library(dimwell_sanitizers INTERFACE)
target_compile_options(dimwell_sanitizers INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
target_link_options(dimwell_sanitizers INTERFACE -fsanitize=address,undefined)

# Hardening as Debian builds its packages: checked buffer functions where the
# optimiser can see sizes, and a read-only relocation table resolved at start.
target_compile_definitions(dimwell_warnings INTERFACE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
target_compile_options(dimwell_warnings INTERFACE -fstack-protector-strong)
target_link_options(dimwell_warnings INTERFACE LINKER:-z,relro LINKER:-z,now)
