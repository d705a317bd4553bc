# Every target of the project gets the same warnings; CI turns them into errors.
add_library(tarrowind_warnings INTERFACE)
target_compile_options(tarrowind_warnings INTERFACE -Wall -Wextra -Wpedantic
  $<$<BOOL:${TARROWIND_WERROR}>:-Werror>)
