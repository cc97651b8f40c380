# Instrumented builds, each in a build directory of its own:
#   FILTERS_SANITIZE  everything built with AddressSanitizer (with LeakSanitizer)
#                     and UndefinedBehaviorSanitizer; any report ends the test.
#   FILTERS_FUZZ      the same, plus libFuzzer coverage for the fuzz targets (clang).
option(FILTERS_SANITIZE "Build with ASan, LSan and UBSan" OFF)
if(FILTERS_SANITIZE OR FILTERS_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(FILTERS_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
