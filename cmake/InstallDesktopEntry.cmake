# The launcher as installed: Exec and TryExec name the installed program by its
# full path, the only form in which KWin recognises a caller as the entry's
# program when it decides whether to trust it with screenshots (pattern mode).
# Run at install time, so the prefix is the one installed to (CPack's too).
file(READ "${DIMWELL_DESKTOP_ENTRY}" entry)
if(IS_ABSOLUTE "${DIMWELL_BINDIR}")
  set(program "${DIMWELL_BINDIR}/Dimwell")
else()
  set(program "${CMAKE_INSTALL_PREFIX}/${DIMWELL_BINDIR}/Dimwell")
endif()
foreach(key Exec TryExec)
  string(REGEX REPLACE "\n${key}=Dimwell([ \n])" "\n${key}=${program}\\1" entry "${entry}")
endforeach()
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${DIMWELL_DATADIR}/applications/dimwell.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
