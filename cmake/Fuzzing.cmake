# Every library is built with libFuzzer's coverage instrumentation; the harnesses in fuzz/ link the
# driver. Only clang has it (docs/fuzzing.md).
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "SORVANE_FUZZ needs clang (the fuzz preset uses clang-16): see docs/fuzzing.md")
endif()
add_compile_options(-fsanitize=fuzzer-no-link)
# libstdc++ 12 offers <expected> only when __cpp_concepts is at least 202002L. Clang 16 implements
# what that level adds (conditionally trivial special members) but still announces 201907L.
if(CMAKE_CXX_COMPILER_VERSION VERSION_LESS 19)
  add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:-U__cpp_concepts;-D__cpp_concepts=202002L>")
endif()
