# Warnings are errors in our own code; third-party headers come in as system includes.
function(zenlet_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor
                                           -Wformat=2 -Wimplicit-fallthrough)
endfunction()
