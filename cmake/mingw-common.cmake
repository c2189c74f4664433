# What both MinGW-w64 toolchain files share; QPING_MINGW_TRIPLET names the
# target (i686-w64-mingw32 or x86_64-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR ${QPING_MINGW_TRIPLET})

# The win32 thread model is enough: the program has one thread, and it keeps
# winpthread out of the static link.
set(CMAKE_CXX_COMPILER ${QPING_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${QPING_MINGW_TRIPLET}-windres)

# Headers and libraries come from the target's sysroot only; programs run
# during the build are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${QPING_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
