# Warnings are errors on the project's own code. Targets opt in with
# orvypc_warnings(target) so that third-party code is never affected.
function(orvypc_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
