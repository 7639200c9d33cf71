# Warnings apply to the project's own targets only, through this function.
function(quillmere_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()
