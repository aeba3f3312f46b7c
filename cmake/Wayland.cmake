# The Wayland masks talk to the compositor through libwayland-client directly;
# protocol files are turned into C with wayland-scanner at build time.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(WAYLAND_CLIENT QUIET IMPORTED_TARGET wayland-client)
endif()
set(_dimwell_wayland_default OFF)
if(WAYLAND_CLIENT_FOUND)
  set(_dimwell_wayland_default ON)
endif()
option(DIMWELL_WAYLAND "Build the Wayland masks (needs libwayland-client)" ${_dimwell_wayland_default})

if(DIMWELL_WAYLAND)
  if(NOT WAYLAND_CLIENT_FOUND)
    message(FATAL_ERROR "libwayland-client not found: apt-get install libwayland-dev (or run scripts/install-deps.sh build), or configure with -DDIMWELL_WAYLAND=OFF")
  endif()
  find_program(WAYLAND_SCANNER wayland-scanner)
  if(NOT WAYLAND_SCANNER)
    message(FATAL_ERROR "wayland-scanner not found: apt-get install libwayland-bin (or run scripts/install-deps.sh build)")
  endif()
  # The generated protocol code is C.
  enable_language(C)
endif()

# A static library `target` with the client header and glue code of each XML
# protocol file; its users include "<name>-client-protocol.h".
function(dimwell_wayland_protocols target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/protocols)
  file(MAKE_DIRECTORY ${out})
  set(sources)
  foreach(xml ${ARGN})
    get_filename_component(name ${xml} NAME_WE)
    set(header ${out}/${name}-client-protocol.h)
    set(code ${out}/${name}-protocol.c)
    add_custom_command(OUTPUT ${header}
      COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${header}
      # An argument named `namespace` (layer shell) is a keyword in C++.
      COMMAND sed -i -e "s/\\bnamespace\\b/name_space/g" ${header}
      DEPENDS ${xml} VERBATIM)
    add_custom_command(OUTPUT ${code}
      COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${code}
      DEPENDS ${xml} VERBATIM)
    list(APPEND sources ${header} ${code})
  endforeach()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${out})
  target_link_libraries(${target} PUBLIC PkgConfig::WAYLAND_CLIENT)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
