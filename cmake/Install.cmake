# Where `cmake --install` puts the tool, and the right to open raw sockets
# that ordinary users need to run it.

include(GNUInstallDirs)

install(TARGETS qping RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(NOT WIN32)
  # Debian wants manual pages compressed; man finds qping.1.gz just as well
  # in any other prefix. -n keeps the archive free of names and times, so the
  # same source gives the same bytes.
  find_program(GZIP_PROGRAM gzip REQUIRED)
  set(QPING_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/man/qping.1.gz)
  add_custom_command(
    OUTPUT ${QPING_MAN_PAGE}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/man/qping.1
            ${CMAKE_CURRENT_BINARY_DIR}/man/qping.1
    COMMAND ${GZIP_PROGRAM} -9 -n -f ${CMAKE_CURRENT_BINARY_DIR}/man/qping.1
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/man/qping.1
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(man_page ALL DEPENDS ${QPING_MAN_PAGE})
  install(FILES ${QPING_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # Runs at install time, after the binary is in place; the prefix is read
  # then, so that `cmake --install build --prefix DIR` is honoured.
  install(CODE "
    set(QPING_INSTALLED_BINARY \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:qping>\")
    include(\"${CMAKE_CURRENT_SOURCE_DIR}/cmake/GrantRawSocket.cmake\")
  ")
endif()
