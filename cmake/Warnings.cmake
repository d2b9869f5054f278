# Shared compile options for every target of the project.
add_library(quillon_options INTERFACE)
target_compile_options(quillon_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  # Same picture on every machine: never fuse multiply-adds behind our back.
  -ffp-contract=off)
# The presets turn this on: a warning fails the build there.
option(QUILLON_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
if(QUILLON_WARNINGS_AS_ERRORS)
  target_compile_options(quillon_options INTERFACE -Werror)
endif()
