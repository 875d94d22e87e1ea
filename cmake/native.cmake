# Native (Linux) build: tests over the simulated desktop, benchmarks, fuzzers, e2e tests.
enable_testing()
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

file(GLOB CM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
add_executable(unit_tests ${CM_TEST_SOURCES})
cm_unity(unit_tests)
target_link_libraries(unit_tests PRIVATE cm_sim GTest::gtest GTest::gtest_main Threads::Threads)
# GoogleTest's header is most of what the compiler reads for a test file: read it once. The
# test files' own code is not optimized (the program's code they test is built as the build type
# says); optimizing the many test bodies took most of the build's time.
target_precompile_headers(unit_tests PRIVATE <gtest/gtest.h> ${CM_STD_HEADERS})
if(NOT MSVC)
  target_compile_options(unit_tests PRIVATE -O0)
endif()
include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)

# The filter's tests once more under ThreadSanitizer: the search's work ahead reads the table on
# a thread of its own, and a change of the table that forgot to stop it would race with it. Only
# the table, the query and the filter are built again for it, which takes seconds.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  add_executable(thread_tests tests/row_filter_test.cpp grid/table.cpp grid/text_query.cpp grid/row_filter.cpp)
  target_include_directories(thread_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(thread_tests PRIVATE -fsanitize=thread -O1)
  target_link_options(thread_tests PRIVATE -fsanitize=thread)
  target_link_libraries(thread_tests PRIVATE GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(thread_tests TEST_PREFIX "TSan." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit)
endif()

# The program's code and its tests under sanitizers (e.g. "address,undefined"), as scripts/test
# builds them: one build then serves the unit tests, the whole-program tests and the fuzz targets.
# The flags go on these targets alone, so that the ThreadSanitizer tests below, which build their
# own copy of the code they test, can sit in the same build.
set(CM_SANITIZERS "" CACHE STRING "Sanitizers the program's code, its tests and fuzz targets are built with")
if(CM_SANITIZERS)
  foreach(target cm_logic cm_sim unit_tests)
    target_compile_options(${target} PRIVATE -fsanitize=${CM_SANITIZERS} -fno-omit-frame-pointer
      -fno-sanitize-recover=all)
  endforeach()
  target_link_options(cm_logic INTERFACE -fsanitize=${CM_SANITIZERS})
endif()

# Benchmarks measure optimized code: a sanitized build has none.
find_package(benchmark QUIET)
if(benchmark_FOUND AND NOT CM_SANITIZERS)
  file(GLOB CM_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
  if(CM_BENCH_SOURCES)
    add_executable(benchmarks ${CM_BENCH_SOURCES})
    target_link_libraries(benchmarks PRIVATE cm_sim benchmark::benchmark benchmark::benchmark_main)
  endif()
endif()

option(CM_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
# AddressSanitizer by default, or those of CM_SANITIZERS; a long run of many millions of inputs
# may take "undefined" alone, several times faster.
if(CM_SANITIZERS)
  set(cm_fuzz_default_sanitizers ${CM_SANITIZERS})
else()
  set(cm_fuzz_default_sanitizers address)
endif()
set(CM_FUZZ_SANITIZERS ${cm_fuzz_default_sanitizers} CACHE STRING "The sanitizers the fuzz targets and the code they reach are built with")
if(CM_FUZZ)
  # The program's code is instrumented too, or the fuzzers would see no coverage of it. Whatever
  # links it (the tests and benchmarks as well) then needs the sanitizer's runtime, which also
  # answers the coverage calls in a program without libFuzzer: scripts/test runs the unit tests
  # from this same build.
  foreach(lib cm_logic cm_sim)
    target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,${CM_FUZZ_SANITIZERS})
    target_link_options(${lib} INTERFACE -fsanitize=${CM_FUZZ_SANITIZERS})
  endforeach()
  file(GLOB CM_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)
  foreach(src IN LISTS CM_FUZZ_SOURCES)
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,${CM_FUZZ_SANITIZERS} -fno-omit-frame-pointer
      -fno-sanitize-recover=all)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,${CM_FUZZ_SANITIZERS})
    target_link_libraries(${name} PRIVATE cm_sim)
  endforeach()
endif()

# End-to-end tests run the cross-built exe under Wine; CM_WIN_BUILD_DIR names that build.
set(CM_WIN_BUILD_DIR "" CACHE PATH "Folder of the MinGW build that holds Clipboard_manager.exe")
if(CM_WIN_BUILD_DIR)
  include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake OPTIONAL)
endif()
