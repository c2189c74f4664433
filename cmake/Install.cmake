# Where `cmake --install` puts the tool, and the right to open raw sockets
# that ordinary users need to run it.

include(GNUInstallDirs)

install(TARGETS qping RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Installs SOURCE (relative to the source tree) gzipped into DESTINATION.
# Debian wants manual pages and changelogs compressed, and man and zless read
# them just as well in any other prefix. -n leaves names and times out of the
# archive, so the same source gives the same bytes.
function(qping_install_compressed source destination)
  find_program(GZIP_PROGRAM gzip REQUIRED)
  get_filename_component(name ${source} NAME)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/compressed/${name})
  add_custom_command(
    OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${copy}
    COMMAND ${GZIP_PROGRAM} -9 -n -f ${copy}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  add_custom_target(compress_${name} ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

if(NOT WIN32)
  qping_install_compressed(man/qping.1 ${CMAKE_INSTALL_MANDIR}/man1)
  qping_install_compressed(packaging/debian/changelog ${CMAKE_INSTALL_DOCDIR})
  install(FILES packaging/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # Runs at install time, after the binary is in place; the prefix is read
  # then, so that `cmake --install build --prefix DIR` is honoured.
  install(CODE "
    set(QPING_INSTALLED_BINARY \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:qping>\")
    include(\"${CMAKE_CURRENT_SOURCE_DIR}/cmake/GrantRawSocket.cmake\")
  ")
endif()
