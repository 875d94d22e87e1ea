# End-to-end tests: Clipboard_manager.exe from the MinGW build in CM_WIN_BUILD_DIR, run under Wine.
#
# Each tests/e2e/test_*.py file is one test, labelled e2e. The fixture e2e_wine_prefix makes
# the template Wine prefix once; each test then works on its own copy, with its own Xvfb display
# and run folder under <build>/e2e/<file>.<test>/, kept with its logs and screenshots.
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

file(GLOB CM_E2E_TESTS CONFIGURE_DEPENDS ${CM_E2E_DIR}/test_*.py)
foreach(script IN LISTS CM_E2E_TESTS)
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME e2e_${name} COMMAND ${Python3_EXECUTABLE} ${script})
  # One at a time: Wine's clipboard bridge to X is at its least reliable on a busy machine.
  set_tests_properties(e2e_${name} PROPERTIES FIXTURES_REQUIRED e2e_prefix LABELS e2e TIMEOUT 600
    RESOURCE_LOCK e2e_desktop ENVIRONMENT "${CM_E2E_ENV}")
endforeach()
