# cmake -DOUT=file -DPYTHON=python3 -P build-info.cmake
# Writes OUT: the versions of the tools that make the release's bytes. The
# same commit packs the same zips only with the same cross compilers,
# binutils and mingw-w64 run-time, and the same Python and zlib (which
# compress the zips): whoever rebuilds a release compares these first.
set(found "")
find_program(DPKG_QUERY dpkg-query)
if(DPKG_QUERY)
  execute_process(COMMAND ${DPKG_QUERY} -W -f "\${db:Status-Abbrev}\${Package} \${Version}\n"
                          "*mingw-w64*" python3 zlib1g cmake
                  OUTPUT_VARIABLE listed ERROR_QUIET)
  string(REPLACE "\n" ";" listed "${listed}")
  foreach(line ${listed})
    if(line MATCHES "^ii +(.*)$")
      list(APPEND found "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  # A library of both architectures (zlib1g) once.
  list(REMOVE_DUPLICATES found)
else()
  # Not a Debian system: the tools' own words.
  foreach(tool x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix x86_64-w64-mingw32-ld i686-w64-mingw32-ld)
    execute_process(COMMAND ${tool} --version OUTPUT_VARIABLE said ERROR_QUIET)
    string(REGEX MATCH "^[^\n]*" first "${said}")
    if(first)
      list(APPEND found "${first}")
    endif()
  endforeach()
endif()
execute_process(COMMAND ${PYTHON} -c "import sys, zlib; print('Python', sys.version.split()[0], 'zlib', zlib.ZLIB_RUNTIME_VERSION)"
                OUTPUT_VARIABLE python ERROR_QUIET)
string(REPLACE ";" "\n" lines "${found}")
file(WRITE "${OUT}" "The release was built with:\n${lines}\n${python}")
