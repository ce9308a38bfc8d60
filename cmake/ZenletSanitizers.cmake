# One switch for the sanitizer presets; the flags reach every target, tests included.
if(ZENLET_SANITIZE)
  list(JOIN ZENLET_SANITIZE "," _zenlet_sanitizers)
  add_compile_options(-fsanitize=${_zenlet_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_zenlet_sanitizers})
  # GCC's flow analysis reports false "maybe uninitialized" warnings inside the standard
  # library (std::regex, std::function) once sanitizer instrumentation is in the code.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()

# The fuzz build: every library carries libFuzzer's coverage instrumentation, and only the
# fuzz targets link libFuzzer itself (fuzz/CMakeLists.txt).
if(ZENLET_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang with libFuzzer (the fuzz preset)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
