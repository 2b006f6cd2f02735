# Warnings for the project's own targets; third-party headers (Qt, cpp-httplib,
# toml++, GoogleTest...) come in as system includes and are not checked.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast)

# The test command builds with warnings as errors; a plain build only shows them.
option(QUILLET_WERROR "Treat compiler warnings as errors" OFF)
if(QUILLET_WERROR)
  add_compile_options(-Werror)
endif()
