# Cross build: sarvik.dll, the command-line host, the search program, and the tests under Wine,
# for i686 (build/win32, the product) or x86_64 (build/win64) by the toolchain file.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_FLAVOUR win64)
  # One calling convention on x86_64: exported names carry no @N, so the table is the 32-bit one
  # with the decorations taken off.
  file(READ ${CMAKE_SOURCE_DIR}/plugin/exports.def exports)
  string(REGEX REPLACE "@[0-9]+" "" exports "${exports}")
  file(WRITE ${CMAKE_BINARY_DIR}/exports.def "${exports}")
  set(EXPORTS_DEF ${CMAKE_BINARY_DIR}/exports.def)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS plugin/exports.def)
else()
  set(WINE_FLAVOUR win32)
  set(EXPORTS_DEF ${CMAKE_SOURCE_DIR}/plugin/exports.def)
endif()

set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static")
set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)

add_library(sarvik SHARED
  config/config_win32.cpp
  host/bridge_win32.cpp
  plugin/entry_win32.cpp
  plugin/listing_win32.cpp
  plugin/module_win32.cpp
  plugin/open_win32.cpp
  search/platform_win32.cpp
  ${EXPORTS_DEF}
  plugin/version.rc)
set_target_properties(sarvik PROPERTIES PREFIX "" OUTPUT_NAME sarvik)
target_compile_options(sarvik PRIVATE ${WARNINGS} -fno-exceptions -fno-rtti)
target_link_libraries(sarvik PRIVATE sarvik_core ole32 oleaut32 user32 uuid)
# The same sources give the same bytes: no link time in the PE header.
target_link_options(sarvik PRIVATE -Wl,--no-insert-timestamp)
set_source_files_properties(plugin/version.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/plugin/sarvik.manifest)
target_include_directories(sarvik PRIVATE ${CMAKE_SOURCE_DIR}/plugin)

# The host side: plays the file manager for the command-line host and the tests.
add_library(testhost STATIC testkit/testhost.cpp)
target_include_directories(testhost PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(testhost PRIVATE ${WARNINGS})
target_link_libraries(testhost PUBLIC ole32 oleaut32 uuid version)

add_executable(sarvik-host programs/sarvik_host.cpp)
target_compile_options(sarvik-host PRIVATE ${WARNINGS} -municode)
target_link_options(sarvik-host PRIVATE -municode)
target_link_libraries(sarvik-host PRIVATE testhost)

add_executable(sgrep programs/sgrep.cpp)
target_compile_options(sgrep PRIVATE ${WARNINGS} -municode)
target_link_options(sgrep PRIVATE -municode)
target_link_libraries(sgrep PRIVATE sgrep_core)

add_executable(sarvik-child testkit/child.cpp)
target_compile_options(sarvik-child PRIVATE ${WARNINGS} -municode)
target_include_directories(sarvik-child PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(sarvik-child PRIVATE -municode)

set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL)

set(WINE_TEST_SOURCES
  tests/wine/bridge_test.cpp
  tests/wine/control_test.cpp
  tests/wine/entry_test.cpp
  tests/wine/launch_test.cpp
  tests/wine/listing_test.cpp
  tests/wine/module_test.cpp
  tests/wine/open_test.cpp
  tests/wine/platform_test.cpp
  tests/wine/search_test.cpp
  tests/wine/stress_test.cpp
  tests/wine/unique_handle_test.cpp)
add_executable(wine_tests tests/wine/fixture.cpp ${WINE_TEST_SOURCES})
target_compile_options(wine_tests PRIVATE ${WARNINGS})
# The bridge and config code are linked in directly where no export reaches them.
target_sources(wine_tests PRIVATE host/bridge_win32.cpp config/config_win32.cpp
  search/platform_win32.cpp)
target_link_libraries(wine_tests PRIVATE testhost sarvik_core GTest::gtest)
add_dependencies(wine_tests sarvik sarvik-child sgrep)

# Every test suite in the Wine sources becomes one ctest test, so a new suite cannot compile and
# never run. tools/wine-tests.sh runs them under this build's own Wine loader and prefix, and
# reports them as skipped (not passed) where that loader cannot start on this machine.
set(WINE_SUITES)
foreach(source ${WINE_TEST_SOURCES})
  file(STRINGS ${source} definitions REGEX "^TEST(_F)?\\(")
  foreach(definition ${definitions})
    string(REGEX REPLACE "^TEST(_F)?\\(([A-Za-z0-9_]+),.*" "\\2" suite "${definition}")
    list(APPEND WINE_SUITES ${suite})
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endforeach()
list(REMOVE_DUPLICATES WINE_SUITES)
list(SORT WINE_SUITES)
string(REPLACE ";" "\n" suite_lines "${WINE_SUITES}")
file(WRITE ${CMAKE_BINARY_DIR}/wine-suites.txt "${suite_lines}\n")

# Wine's own processes inherit the output of the test that starts them and ctest would wait for
# them: Wine is started and stopped in fixtures whose output goes nowhere.
set(WINE_TESTS ${CMAKE_SOURCE_DIR}/tools/wine-tests.sh)
add_test(NAME wine_up COMMAND ${WINE_TESTS} up ${CMAKE_BINARY_DIR} ${WINE_FLAVOUR})
add_test(NAME wine_down COMMAND ${WINE_TESTS} down ${CMAKE_BINARY_DIR} ${WINE_FLAVOUR})
# Where the 32-bit suites run emulated, `up` builds the VM image (once per machine) and runs them all.
set_tests_properties(wine_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 4200)
set_tests_properties(wine_down PROPERTIES FIXTURES_CLEANUP wine)
# The key state and COM registrations are shared by every process on one prefix: the suites run
# one at a time.
foreach(suite ${WINE_SUITES})
  add_test(NAME wine_${suite} COMMAND ${WINE_TESTS} suite ${CMAKE_BINARY_DIR} ${WINE_FLAVOUR}
    ${suite})
  set_tests_properties(wine_${suite} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix
    SKIP_RETURN_CODE 77 TIMEOUT 900)
endforeach()

# The DLL file itself, read back by a PE reader (no Wine needed).
add_test(NAME dll_shape COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/dll_shape.py
  $<TARGET_FILE:sarvik> ${CMAKE_SYSTEM_PROCESSOR})

# Benchmarks (not tests): tools/bench.sh runs them.
add_executable(sarvik-bench bench/bench_listing.cpp)
target_compile_options(sarvik-bench PRIVATE ${WARNINGS} -municode)
target_link_options(sarvik-bench PRIVATE -municode)
# The reader itself is linked in too, so its sleeps can be counted through its seam.
target_sources(sarvik-bench PRIVATE host/bridge_win32.cpp search/platform_win32.cpp)
target_link_libraries(sarvik-bench PRIVATE testhost sarvik_core)
