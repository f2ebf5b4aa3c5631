# libFuzzer targets (clang) under AddressSanitizer and UBSan. Each runs as a test for a bounded
# time (FUZZ_SECONDS), starting from its seed corpus in tests/fuzz/corpus; new inputs go to the
# build tree, findings fail the test.
set(FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs as a test")
set(FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
target_compile_options(sarvik_core PRIVATE ${FUZZ_FLAGS} -fsanitize=fuzzer-no-link)
foreach(target open reader template)
  add_executable(fuzz_${target} tests/fuzz/fuzz_${target}.cpp)
  target_compile_options(fuzz_${target} PRIVATE ${WARNINGS} ${FUZZ_FLAGS} -fsanitize=fuzzer)
  target_link_options(fuzz_${target} PRIVATE ${FUZZ_FLAGS} -fsanitize=fuzzer)
  target_link_libraries(fuzz_${target} PRIVATE sarvik_core)
  set(corpus ${CMAKE_BINARY_DIR}/corpus/${target})
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME fuzz_${target} COMMAND fuzz_${target} ${corpus}
    ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${target} -max_total_time=${FUZZ_SECONDS}
    -artifact_prefix=${CMAKE_BINARY_DIR}/finding-${target}- -print_final_stats=1)
  set_tests_properties(fuzz_${target} PROPERTIES TIMEOUT 600)
endforeach()
