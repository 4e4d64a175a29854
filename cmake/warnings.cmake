# Warnings are errors in our own code; third-party code is built without them.
function(quillmarch_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wswitch-enum -Wundef
    -Wnon-virtual-dtor -Wold-style-cast -Werror)
endfunction()

# The engine's pixels must not depend on the compiler's mood: no fused
# multiply-add, no fast-math, and on 32-bit x86 SSE2 instead of x87.
function(quillmarch_exact_maths target)
  target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
  endif()
endfunction()
