# One switch for the sanitizer presets; the flags reach every target, tests included.
if(ZENLET_SANITIZE)
  list(JOIN ZENLET_SANITIZE "," _zenlet_sanitizers)
  add_compile_options(-fsanitize=${_zenlet_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_zenlet_sanitizers})
  # GCC's flow analysis reports false "maybe uninitialized" warnings inside the standard
  # library (std::regex, std::function) once sanitizer instrumentation is in the code.
  add_compile_options(-Wno-maybe-uninitialized)
endif()
