# System libraries (fontconfig, GLib) keep caches for the life of the process; leak checks skip them.
set(SORVANE_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/../tests/lsan.supp:print_suppressions=0")

# One static library per folder: sources under src/, public headers under include/<name>/.
# Sources are globbed so that adding a file needs no edit here.
function(sorvane_library name dir)
  cmake_parse_arguments(ARG "" "" "PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/src/*.cpp" "${dir}/src/*.c")
  if(NOT sources)
    # Headers only, or not written yet.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${dir}/include")
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${dir}/include" PRIVATE "${dir}/src")
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# One test executable per tested library, from every *.cpp in the folder.
function(sorvane_tests name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
  target_compile_definitions(${name} PRIVATE
    SORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SORVANE_TEST_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120 ENVIRONMENT "${SORVANE_TEST_ENVIRONMENT}")
endfunction()

# One benchmark executable per file; each also runs once, briefly, as a smoke test so it cannot rot.
function(sorvane_benchmark name source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE
    SORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SORVANE_TEST_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures")
  if(SORVANE_BUILD_TESTS)
    add_test(NAME bench_smoke.${name} COMMAND ${name} --benchmark_min_time=0.001)
    set_tests_properties(bench_smoke.${name} PROPERTIES LABELS bench TIMEOUT 120
      ENVIRONMENT "${SORVANE_TEST_ENVIRONMENT}")
  endif()
endfunction()

# Compiles a data file into the target, byte for byte, as
#   extern const std::string_view <symbol>;  (in namespace embedded)
function(sorvane_embed target file symbol)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${output} -DSYMBOL=${symbol}
            -P "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
    DEPENDS "${file}" "${PROJECT_SOURCE_DIR}/cmake/EmbedFile.cmake"
    COMMENT "Embedding ${file}")
  target_sources(${target} PRIVATE "${output}")
endfunction()
