# cmake -DCPACK=... -DCPACK_CONFIG=... -DBINARY_DIR=... -DOUT_DIR=... -P this
# Makes the Debian package into OUT_DIR (not the build tree's top, where
# `make package` puts its own) and unpacks it into OUT_DIR/root.
file(REMOVE_RECURSE ${OUT_DIR})
file(MAKE_DIRECTORY ${OUT_DIR})

execute_process(
  COMMAND ${CPACK} -G DEB --config ${CPACK_CONFIG} -B ${OUT_DIR}
  WORKING_DIRECTORY ${BINARY_DIR}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cpack failed (${status}):\n${output}")
endif()

file(GLOB packages ${OUT_DIR}/*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb in ${OUT_DIR}, found ${count}:\n${output}")
endif()

execute_process(
  COMMAND dpkg-deb -x ${packages} ${OUT_DIR}/root
  RESULT_VARIABLE status
  ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -x failed (${status}):\n${output}")
endif()
message(STATUS "unpacked ${packages} into ${OUT_DIR}/root")
