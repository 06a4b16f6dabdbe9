# cmake -DSOURCE_DIR=... -DPEER_DIR=... -DGENERATOR=... -DTOOLCHAIN=... -DBUILD_TYPE=...
#       -DNATIVE_DIR=... -DBACK=... -DSIGNING_PKCS12=... -DSIGNING_TIMESTAMP_URL=...
#       -DSIGNING_NO_TIMESTAMP=...
#       -P peer-release.cmake
# Has the tree of the other Windows architecture pack its release zip:
# configures that tree when it does not exist yet (same build type, pointing
# back at the calling tree as its peer), or when it would sign otherwise
# than the calling tree (certificate, time-stamp server or none), then builds its
# release-zip target.
set(signing "-DWIZARD_SIGNING_PKCS12=${SIGNING_PKCS12}" "-DWIZARD_SIGNING_TIMESTAMP_URL=${SIGNING_TIMESTAMP_URL}"
            "-DWIZARD_SIGNING_NO_TIMESTAMP=${SIGNING_NO_TIMESTAMP}")
if(NOT EXISTS "${PEER_DIR}/CMakeCache.txt")
  message(STATUS "Configuring ${PEER_DIR}")
  set(arguments -G "${GENERATOR}" "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
                "-DWIZARD_NATIVE_BUILD_DIR=${NATIVE_DIR}" "-DWIZARD_PEER_BUILD_DIR=${BACK}" ${signing})
else()
  set(arguments)
  foreach(setting SIGNING_PKCS12 SIGNING_TIMESTAMP_URL SIGNING_NO_TIMESTAMP)
    file(STRINGS "${PEER_DIR}/CMakeCache.txt" line REGEX "^WIZARD_${setting}:")
    string(REGEX REPLACE "^[^=]*=" "" peer_value "${line}")
    if(NOT peer_value STREQUAL "${${setting}}")
      message(STATUS "${PEER_DIR} takes this tree's signing settings")
      set(arguments ${signing})
    endif()
  endforeach()
endif()
if(arguments)
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${PEER_DIR}" ${arguments} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring ${PEER_DIR} failed")
  endif()
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${PEER_DIR}" --target release-zip RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "packing the release in ${PEER_DIR} failed")
endif()
