# cmake -DSOURCE_DIR=... -DPEER_DIR=... -DGENERATOR=... -DTOOLCHAIN=... -DBUILD_TYPE=...
#       -DNATIVE_DIR=... -DBACK=... -P peer-release.cmake
# Has the tree of the other Windows architecture pack its release zip:
# configures that tree when it does not exist yet (same build type, pointing
# back at the calling tree as its peer), then builds its release-zip target.
if(NOT EXISTS "${PEER_DIR}/CMakeCache.txt")
  message(STATUS "Configuring ${PEER_DIR}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${PEER_DIR}" -G "${GENERATOR}"
            "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
            "-DWIZARD_NATIVE_BUILD_DIR=${NATIVE_DIR}" "-DWIZARD_PEER_BUILD_DIR=${BACK}"
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configuring ${PEER_DIR} failed")
  endif()
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" --build "${PEER_DIR}" --target release-zip RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "packing the release in ${PEER_DIR} failed")
endif()
