# Installation: `make install` (PREFIX, DESTDIR) or `cmake --install build`.
# Programs go into bin/ with their manual pages; nivelo_gui finds the nivelo
# installed beside it.  The GUI's desktop entry and icon let file managers
# offer it for scans.
#
# A further program is one line: nivelo_install_program(<target or script>
# <manual page>).
include(GNUInstallDirs)

function(nivelo_install_program program man_page)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  else()
    install(PROGRAMS ${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

nivelo_install_program(nivelo man/nivelo.1)
nivelo_install_program(nivelo-assemble man/nivelo-assemble.1)
if(TARGET nivelo_gui)
  nivelo_install_program(nivelo_gui man/nivelo_gui.1)
  install(FILES data/nivelo_gui.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/nivelo_gui.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
