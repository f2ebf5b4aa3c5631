# Native build: the portable logic under AddressSanitizer and UBSan.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(sarvik_core PRIVATE ${SANITIZE} -g)
target_compile_options(sgrep_core PRIVATE ${SANITIZE} -g)

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(native_tests
  tests/native/config_test.cpp
  tests/native/entry_test.cpp
  tests/native/file_line_test.cpp
  tests/native/host_text_test.cpp
  tests/native/launch_test.cpp
  tests/native/open_test.cpp
  tests/native/program_test.cpp
  tests/native/reader_test.cpp
  tests/native/real_path_test.cpp
  tests/native/sgrep_test.cpp)
target_compile_options(native_tests PRIVATE ${WARNINGS} ${SANITIZE} -g)
target_link_options(native_tests PRIVATE ${SANITIZE})
target_link_libraries(native_tests PRIVATE sarvik_core sgrep_core GTest::gtest_main)
add_test(NAME native COMMAND native_tests)

# The line cutting's own cost (tools/bench.sh), built optimised and without sanitizers.
add_library(sarvik_core_fast STATIC common/real_path.cpp search/reader.cpp)
target_include_directories(sarvik_core_fast PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(sarvik_core_fast PRIVATE ${WARNINGS} -O2 -g)
add_executable(bench_reader bench/bench_reader.cpp)
target_compile_options(bench_reader PRIVATE ${WARNINGS} -O2 -g)
target_link_libraries(bench_reader PRIVATE sarvik_core_fast)
