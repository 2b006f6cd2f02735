if(QUILLET_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QUILLET_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QUILLET_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUILLET_SANITIZE must be empty, 'address' or 'thread'")
endif()

if(QUILLET_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QUILLET_FUZZ needs clang (libFuzzer)")
  endif()
  # Instrument everything for coverage; the fuzz targets add -fsanitize=fuzzer at link time.
  # Undefined behaviour ends the run (a crash the fuzzer reports), never just a line on stderr.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
