# Compile rules shared by every target of the project.

# All warnings are errors, for product and test code alike.
function(zirpel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endfunction()

# Product code: neither exceptions nor RTTI. (Test programs keep both, since
# GoogleTest is built with them and its headers must agree across the program.)
function(zirpel_strict target)
  zirpel_warnings(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()

# Link the language runtime in, so the binary imports system DLLs only.
function(zirpel_static_runtime target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()
