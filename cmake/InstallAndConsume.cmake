# Run by ctest (cmake -P): installs the build into a scratch prefix, then configures, builds and runs
# a separate consumer project against it with find_package.
#   BUILD_DIR, WORK_DIR, CONSUMER_DIR, PROGRAM, GENERATOR, CXX_COMPILER, LAUNCHER, CXX_FLAGS
set(prefix "${WORK_DIR}/prefix")
set(consumer_build "${WORK_DIR}/build")
file(REMOVE_RECURSE "${prefix}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${output}")
  endif()
endfunction()

run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${consumer_build}" -G "${GENERATOR}"
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}")
run("${CMAKE_COMMAND}" --build "${consumer_build}")
run("${consumer_build}/${PROGRAM}")
message(STATUS "${PROGRAM} built against the package installed in ${prefix} and ran")
# Every install test copies the whole build's libraries; on success they are only taking disk space.
file(REMOVE_RECURSE "${prefix}" "${consumer_build}")
