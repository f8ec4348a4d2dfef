# Run by `cmake --install` (and by CPack) with the prefix of that install,
# which may differ from the one the build was configured with:
#   PROGRAM       the built program
#   DESKTOP_FILE  the desktop entry, with Exec=colonnade4
#   STRIP         the strip tool, used when the install strips (CPack's does)
#
# Under /usr, the distribution's own prefix, the program goes where Debian
# puts games, /usr/games, and the desktop entry finds it on PATH. Under any
# other prefix (~/.local, /opt/...) it goes to that prefix's bin, and the
# desktop entry names it by its full path, since that bin may well not be on
# the PATH the desktop starts programs with.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(program_dir "${CMAKE_INSTALL_PREFIX}/games")
  set(exec colonnade4)
  set(try_exec colonnade4)
else()
  set(program_dir "${CMAKE_INSTALL_PREFIX}/bin")
  set(try_exec "${program_dir}/colonnade4")
  # A path holding anything beyond the plain characters is quoted, with
  # the four characters reserved inside quotes escaped; the file's own
  # string escaping then doubles every backslash. A per cent sign is
  # doubled, since Exec gives it to field codes.
  set(exec "${try_exec}")
  string(REPLACE "%" "%%" exec "${exec}")
  if(NOT exec MATCHES "^[A-Za-z0-9/._+%-]+$")
    string(REPLACE "\\" "\\\\" exec "${exec}")
    foreach(reserved "\"" "`" "$")
      string(REPLACE "${reserved}" "\\${reserved}" exec "${exec}")
    endforeach()
    string(REPLACE "\\" "\\\\" exec "${exec}")
    set(exec "\"${exec}\"")
  endif()
endif()

file(INSTALL "${PROGRAM}" DESTINATION "${program_dir}" USE_SOURCE_PERMISSIONS)
# Stripped as Debian strips its programs: the compiler's notes go with the
# symbols.
if(CMAKE_INSTALL_DO_STRIP AND STRIP)
  execute_process(COMMAND "${STRIP}" --remove-section=.comment --remove-section=.note
                          "$ENV{DESTDIR}${program_dir}/colonnade4"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not strip ${program_dir}/colonnade4")
  endif()
endif()

file(READ "${DESKTOP_FILE}" entry)
string(REPLACE "\nExec=colonnade4\n" "\nExec=${exec}\n" entry "${entry}")
string(REPLACE "\nTryExec=colonnade4\n" "\nTryExec=${try_exec}\n" entry "${entry}")
get_filename_component(name "${DESKTOP_FILE}" NAME)
set(staged "${DESKTOP_FILE}.installed/${name}")
file(WRITE "${staged}" "${entry}")
file(INSTALL "${staged}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
