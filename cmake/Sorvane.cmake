# System libraries (fontconfig, GLib) keep caches for the life of the process; leak checks skip them.
set(SORVANE_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/../tests/lsan.supp:print_suppressions=0")

# One static library per folder: sources under src/, public headers under include/<name>/.
# Sources are globbed so that adding a file needs no edit here. The test builds compile a library's
# files several to a unit; APART names those (under src/) whose file-local names repeat another file's.
# OPTIMISED names pixel loops that the sanitised test build compiles optimised, each on its own: unoptimised,
# they would spend most of the tests' time (still checked by the sanitisers, and integer work, so the same pixels).
function(sorvane_library name dir)
  cmake_parse_arguments(ARG "" "" "PUBLIC_DEPS;PRIVATE_DEPS;APART;OPTIMISED" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/src/*.cpp" "${dir}/src/*.c")
  if(NOT sources)
    # Headers only, or not written yet.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "$<BUILD_INTERFACE:${dir}/include>" "$<INSTALL_INTERFACE:include>")
    set_target_properties(${name} PROPERTIES SORVANE_INCLUDE_DIR "${dir}/include")
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  if(ARG_APART)
    list(TRANSFORM ARG_APART PREPEND "${dir}/src/")
    set_source_files_properties(${ARG_APART} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
  if(ARG_OPTIMISED AND SORVANE_SANITIZE AND NOT SORVANE_FUZZ)
    list(TRANSFORM ARG_OPTIMISED PREPEND "${dir}/src/")
    set_source_files_properties(${ARG_OPTIMISED} PROPERTIES COMPILE_OPTIONS -O2 SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
  target_include_directories(${name}
    PUBLIC "$<BUILD_INTERFACE:${dir}/include>" "$<INSTALL_INTERFACE:include>"
    PRIVATE "${dir}/src")
  set_target_properties(${name} PROPERTIES SORVANE_INCLUDE_DIR "${dir}/include")
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# Installs libraries made by sorvane_library as the CMake package <name>: their archives, their public
# headers and <name>Config.cmake, so that another project can
#   find_package(<name> CONFIG REQUIRED)   and link   sorvane::<target>.
#   PACKAGES     our own packages the targets link (found first by the config)
#   DEPENDENCIES find_package arguments of the outside packages they link, one entry each ("Threads")
#   PKG_CONFIG   "<PREFIX> <module>..." per pkg-config target they link (PkgConfig::<PREFIX>)
# Static archives carry their private links along, so those are found again by the config too.
function(sorvane_install_package name)
  cmake_parse_arguments(ARG "" "" "TARGETS;PACKAGES;DEPENDENCIES;PKG_CONFIG" ${ARGN})
  include(GNUInstallDirs)
  include(CMakePackageConfigHelpers)
  install(TARGETS ${ARG_TARGETS} EXPORT ${name}Targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  foreach(target ${ARG_TARGETS})
    get_target_property(include_dir ${target} SORVANE_INCLUDE_DIR)
    install(DIRECTORY "${include_dir}/" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  endforeach()
  set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${name})
  install(EXPORT ${name}Targets NAMESPACE sorvane:: DESTINATION ${package_dir})

  set(config "include(CMakeFindDependencyMacro)\n")
  foreach(package ${ARG_PACKAGES})
    string(APPEND config "find_dependency(${package} CONFIG PATHS \"\${CMAKE_CURRENT_LIST_DIR}/..\" NO_DEFAULT_PATH)\n")
  endforeach()
  foreach(dependency ${ARG_DEPENDENCIES})
    string(APPEND config "find_dependency(${dependency})\n")
  endforeach()
  if(ARG_PKG_CONFIG)
    string(APPEND config "find_dependency(PkgConfig)\n")
    foreach(entry ${ARG_PKG_CONFIG})
      separate_arguments(words UNIX_COMMAND "${entry}")
      list(POP_FRONT words prefix)
      list(JOIN words " " modules)
      string(APPEND config "if(NOT TARGET PkgConfig::${prefix})\n"
                           "  pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET ${modules})\n"
                           "endif()\n")
    endforeach()
  endif()
  string(APPEND config "include(\"\${CMAKE_CURRENT_LIST_DIR}/${name}Targets.cmake\")\n")
  file(GENERATE OUTPUT "${CMAKE_CURRENT_BINARY_DIR}/${name}Config.cmake" CONTENT "${config}")
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/${name}Config.cmake" DESTINATION ${package_dir})
endfunction()

# A test that installs the build into a scratch prefix and builds and runs the separate project in
# consumer_dir (whose executable is `program`) against the installed package with find_package.
function(sorvane_install_test name consumer_dir program)
  set(flags "")
  if(SORVANE_SANITIZE)
    set(flags "-fsanitize=address,undefined -fno-omit-frame-pointer")
  elseif(SORVANE_THREAD_SANITIZE)
    set(flags "-fsanitize=thread -fno-omit-frame-pointer")
  endif()
  add_test(NAME install.${name} COMMAND "${CMAKE_COMMAND}"
    "-DBUILD_DIR=${CMAKE_BINARY_DIR}" "-DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/install-${name}"
    "-DCONSUMER_DIR=${consumer_dir}" "-DPROGRAM=${program}" "-DGENERATOR=${CMAKE_GENERATOR}"
    "-DCXX_COMPILER=${CMAKE_CXX_COMPILER}" "-DLAUNCHER=${CCACHE_PROGRAM}" "-DCXX_FLAGS=${flags}"
    -P "${PROJECT_SOURCE_DIR}/cmake/InstallAndConsume.cmake")
  # One at a time: each copies every library of the build into its own prefix.
  set_tests_properties(install.${name} PROPERTIES TIMEOUT 120 ENVIRONMENT "${SORVANE_TEST_ENVIRONMENT}"
    RESOURCE_LOCK install-prefix LABELS install)
endfunction()

# One test executable per tested library, from every *.cpp in the folder. TIMEOUT is ctest's time-out of
# each of its tests in seconds (120 by default); the program knows it as SORVANE_TEST_TIMEOUT_SECONDS.
function(sorvane_tests name dir)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
  target_compile_definitions(${name} PRIVATE
    SORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SORVANE_TEST_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures"
    SORVANE_TEST_TIMEOUT_SECONDS=${ARG_TIMEOUT})
  set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  # Labelled by executable, so that a build can run the tests of some executables only (the tsan preset).
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS ${name} ENVIRONMENT "${SORVANE_TEST_ENVIRONMENT}")
endfunction()

# One benchmark executable per file; each also runs once, briefly, as a smoke test so it cannot rot.
# The smoke run sets SORVANE_BENCH_SMOKE (bench/BenchSmoke.h), for benchmarks whose fixed workload is too
# long for it.
function(sorvane_benchmark name source)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${source})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/bench")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE
    SORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SORVANE_TEST_FIXTURES="${PROJECT_SOURCE_DIR}/tests/fixtures")
  if(SORVANE_BUILD_TESTS)
    add_test(NAME bench_smoke.${name} COMMAND ${name} --benchmark_min_time=0.001)
    # The hostile documents' bench draws each row once: up to a minute under the sanitisers on a loaded machine.
    set_tests_properties(bench_smoke.${name} PROPERTIES LABELS bench TIMEOUT 300
      ENVIRONMENT "${SORVANE_TEST_ENVIRONMENT};SORVANE_BENCH_SMOKE=1")
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
  # Every embedded file names its bytes alike.
  set_source_files_properties("${output}" PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()

# An executable whose SORVANE_STATIC_THIRD_PARTY property is on links the outside libraries of the drawing
# and parsing path (the pkg-config targets given; graphics leaves out the gif library itself) from their archives, into its own
# file, where every other executable loads them: the flag worker, whose start was mostly the loader mapping
# and relocating thirty of them. The archives come once, after every library of ours that needs them. Those
# the text library (loaded when text is first laid out) calls are linked whole, and the worker exports them,
# so that it binds to these copies rather than to the ones it loads beside it.
function(sorvane_static_where_asked)
  if(NOT TARGET sorvane_static_third_party)
    add_library(sorvane_static_third_party INTERFACE)
    set(whole cairo pixman-1 fontconfig freetype)
    set(rest expat brotlidec brotlicommon png16 jpeg gif xml2 icui18n icuuc icudata lzma z
             xcb-shm xcb-render Xrender Xext X11 xcb Xau Xdmcp)
    foreach(name IN LISTS whole rest)
      find_library(SORVANE_ARCHIVE_${name} NAMES lib${name}.a REQUIRED)
      if(name IN_LIST whole)
        target_link_libraries(sorvane_static_third_party INTERFACE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${SORVANE_ARCHIVE_${name}}>")
      else()
        target_link_libraries(sorvane_static_third_party INTERFACE "${SORVANE_ARCHIVE_${name}}")
      endif()
    endforeach()
    target_link_libraries(sorvane_static_third_party INTERFACE ${CMAKE_DL_LIBS} Threads::Threads m)
  endif()
  set(static "$<BOOL:$<TARGET_PROPERTY:SORVANE_STATIC_THIRD_PARTY>>")
  foreach(target ${ARGN})
    get_target_property(shared ${target} INTERFACE_LINK_LIBRARIES)
    set_property(TARGET ${target} PROPERTY INTERFACE_LINK_LIBRARIES "$<IF:${static},sorvane_static_third_party,${shared}>")
  endforeach()
endfunction()
