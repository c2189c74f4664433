# Install-time step: gives the installed qping the file capability
# cap_net_raw, so that users other than root can open its raw socket.
# Expects QPING_INSTALLED_BINARY, the binary's path without DESTDIR.
#
# Only root may set file capabilities, and only on the file that will really
# run: a staged install (DESTDIR, or CPack building a package) is copied
# elsewhere later, and the copy loses the capability; the Debian package sets
# it in its postinst instead.

# The command goes on a line of its own, indented, which CMake does not wrap,
# so that it can be copied as it stands.
set(_qping_how_to "set it as root with:\n  setcap cap_net_raw+ep ${QPING_INSTALLED_BINARY}\n")

if(NOT "$ENV{DESTDIR}" STREQUAL "")
  message(STATUS "qping: staged install under DESTDIR, so cap_net_raw was not set; "
                 "once ${QPING_INSTALLED_BINARY} is in place, ${_qping_how_to}")
  return()
endif()

execute_process(COMMAND id -u OUTPUT_VARIABLE _qping_uid OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT _qping_uid STREQUAL "0")
  message(WARNING "qping: not installing as root, so cap_net_raw was not set on "
                  "${QPING_INSTALLED_BINARY} and only root can run it; ${_qping_how_to}")
  return()
endif()

find_program(_qping_setcap setcap PATHS /usr/sbin /sbin NO_CACHE)
if(NOT _qping_setcap)
  message(WARNING "qping: setcap was not found (Debian package libcap2-bin), so cap_net_raw "
                  "was not set on ${QPING_INSTALLED_BINARY} and only root can run it; "
                  "install libcap2-bin, then ${_qping_how_to}")
  return()
endif()

execute_process(COMMAND ${_qping_setcap} cap_net_raw+ep ${QPING_INSTALLED_BINARY}
                RESULT_VARIABLE _qping_status ERROR_VARIABLE _qping_error
                ERROR_STRIP_TRAILING_WHITESPACE)
if(_qping_status EQUAL 0)
  message(STATUS "qping: set cap_net_raw on ${QPING_INSTALLED_BINARY}; ordinary users can run it")
else()
  message(WARNING "qping: setcap failed (${_qping_error}), so cap_net_raw was not set on "
                  "${QPING_INSTALLED_BINARY} and only root can run it; "
                  "on a file system with extended attributes, ${_qping_how_to}")
endif()
