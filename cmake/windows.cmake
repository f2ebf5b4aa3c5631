# Cross build: sarvik.dll, the command-line host, the search program, and the tests under Wine.
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static")
set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)

add_library(sarvik SHARED
  config/config_win32.cpp
  host/bridge_win32.cpp
  plugin/entry_win32.cpp
  plugin/module_win32.cpp
  plugin/search_win32.cpp
  search/platform_win32.cpp
  plugin/exports.def
  plugin/version.rc)
set_target_properties(sarvik PROPERTIES PREFIX "" OUTPUT_NAME sarvik)
target_compile_options(sarvik PRIVATE ${WARNINGS} -fno-exceptions -fno-rtti)
target_link_libraries(sarvik PRIVATE sarvik_core ole32 oleaut32 user32 uuid)
set_source_files_properties(plugin/version.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/plugin/sarvik.manifest)
target_include_directories(sarvik PRIVATE ${CMAKE_SOURCE_DIR}/plugin)

# The host side: plays the file manager for the command-line host and the tests.
add_library(testhost STATIC tools/testhost.cpp)
target_include_directories(testhost PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(testhost PRIVATE ${WARNINGS})
target_link_libraries(testhost PUBLIC ole32 oleaut32 uuid version)

add_executable(sarvik-host tools/sarvik_host.cpp)
target_compile_options(sarvik-host PRIVATE ${WARNINGS} -municode)
target_link_options(sarvik-host PRIVATE -municode)
target_link_libraries(sarvik-host PRIVATE testhost)

add_executable(sgrep tools/sgrep.cpp)
target_compile_options(sgrep PRIVATE ${WARNINGS} -municode)
target_link_options(sgrep PRIVATE -municode)
target_link_libraries(sgrep PRIVATE sgrep_core)

add_executable(sarvik-child tests/wine/child.cpp)
target_compile_options(sarvik-child PRIVATE ${WARNINGS} -municode)
target_link_options(sarvik-child PRIVATE -municode)

set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

add_executable(wine_tests
  tests/wine/bridge_test.cpp
  tests/wine/entry_test.cpp
  tests/wine/fixture.cpp
  tests/wine/listing_test.cpp
  tests/wine/module_test.cpp
  tests/wine/open_test.cpp
  tests/wine/platform_test.cpp
  tests/wine/search_test.cpp
  tests/wine/stress_test.cpp)
target_compile_options(wine_tests PRIVATE ${WARNINGS})
# The bridge and config code are linked in directly where no export reaches them.
target_sources(wine_tests PRIVATE host/bridge_win32.cpp config/config_win32.cpp
  search/platform_win32.cpp)
target_link_libraries(wine_tests PRIVATE testhost sarvik_core GTest::gtest)
add_dependencies(wine_tests sarvik sarvik-child sgrep)

# Wine's own processes inherit the output of the test that starts them and ctest would wait for
# them: start and stop Wine in fixtures whose output goes nowhere.
set(WINE_ENV "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=mscoree,mshtml=")
add_test(NAME wine_up COMMAND sh -c
  "wineserver -p >/dev/null 2>&1; wine wineboot >/dev/null 2>&1 </dev/null")
add_test(NAME wine_down COMMAND sh -c "wineserver -k >/dev/null 2>&1; true")
set_tests_properties(wine_up PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${WINE_ENV}")
set_tests_properties(wine_down PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${WINE_ENV}")

# The key state and COM registrations are shared by every process on one prefix: the suites run
# one at a time.
foreach(suite Module Bridge Open Search Listing Entry Stress)
  add_test(NAME wine_${suite} COMMAND wine_tests --gtest_filter=${suite}*)
  set_tests_properties(wine_${suite} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix
    ENVIRONMENT "${WINE_ENV}" TIMEOUT 600)
endforeach()

# The DLL file itself, read back by a PE reader (no Wine needed).
add_test(NAME dll_shape COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/dll_shape.py
  $<TARGET_FILE:sarvik>)

# Benchmarks (not tests): tools/bench.sh runs them.
add_executable(sarvik-bench tools/bench_listing.cpp)
target_compile_options(sarvik-bench PRIVATE ${WARNINGS} -municode)
target_link_options(sarvik-bench PRIVATE -municode)
target_link_libraries(sarvik-bench PRIVATE testhost)
