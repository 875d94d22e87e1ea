# End-to-end tests: Clipboard_manager.exe from the MinGW build in CM_WIN_BUILD_DIR, run under Wine.
#
# Each test_* function of a tests/e2e/test_*.py file is one test, labelled e2e. The fixture
# e2e_wine_prefix makes the template Wine prefix once; each test then works on its own copy, with
# its own Xvfb display and run folder under <build>/e2e/<file>.<test>/, kept with its logs and
# screenshots. Nothing else is shared between them (the X clipboard belongs to the display, the
# Wine server to the prefix), so they may run side by side: ctest -j N runs N desktops.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(CM_E2E_DIR ${CMAKE_SOURCE_DIR}/tests/e2e)
set(CM_E2E_WORK ${CMAKE_BINARY_DIR}/e2e)
set(CM_E2E_TEMPLATE ${CM_E2E_WORK}/template-prefix)
set(CM_E2E_ENV
  CM_E2E_EXE=${CM_WIN_BUILD_DIR}/Clipboard_manager.exe
  CM_E2E_DRIVER=${CM_WIN_BUILD_DIR}/cm_test_driver.exe
  CM_E2E_TEMPLATE=${CM_E2E_TEMPLATE}
  CM_E2E_WORK=${CM_E2E_WORK}
  PYTHONDONTWRITEBYTECODE=1)

add_test(NAME e2e_wine_prefix COMMAND ${Python3_EXECUTABLE} ${CM_E2E_DIR}/make_template_prefix.py ${CM_E2E_TEMPLATE})
set_tests_properties(e2e_wine_prefix PROPERTIES FIXTURES_SETUP e2e_prefix LABELS e2e TIMEOUT 900
  ENVIRONMENT "${CM_E2E_ENV}")

function(cm_add_e2e_test test script)
  add_test(NAME ${test} COMMAND ${Python3_EXECUTABLE} ${script} ${ARGN})
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED e2e_prefix LABELS e2e TIMEOUT 600
    ENVIRONMENT "${CM_E2E_ENV}")
endfunction()

# Each test function is a test of its own, e2e_<file>.<function>, so that ctest -j spreads them
# over as many desktops as it runs at once (each has its own display, prefix and run folder),
# and a second run repeats only the function that failed. A function added to a file is seen
# at the next build.
file(GLOB CM_E2E_TESTS CONFIGURE_DEPENDS ${CM_E2E_DIR}/test_*.py)
foreach(script IN LISTS CM_E2E_TESTS)
  get_filename_component(name ${script} NAME_WE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
  file(STRINGS ${script} definitions REGEX "^def test_[A-Za-z0-9_]*\\(")
  if(NOT definitions)
    # Tests that are not plain top-level functions: the file runs as a whole.
    cm_add_e2e_test(e2e_${name} ${script})
  endif()
  foreach(definition IN LISTS definitions)
    string(REGEX REPLACE "^def (test_[A-Za-z0-9_]*)\\(.*" "\\1" function "${definition}")
    cm_add_e2e_test(e2e_${name}.${function} ${script} ${function})
  endforeach()
endforeach()

# The harness's own helpers need no desktop: they are checked with the unit tests.
add_test(NAME e2e_harness_helpers COMMAND ${Python3_EXECUTABLE} ${CM_E2E_DIR}/harness_test.py)
set_tests_properties(e2e_harness_helpers PROPERTIES ENVIRONMENT PYTHONDONTWRITEBYTECODE=1)
