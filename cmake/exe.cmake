# Clipboard_manager.exe and the test driver that the end-to-end tests run beside it.
enable_language(RC)

add_executable(Clipboard_manager WIN32 ${CMAKE_SOURCE_DIR}/app/main_win32.cpp ${CMAKE_SOURCE_DIR}/res/app.rc)
target_link_libraries(Clipboard_manager PRIVATE cm_ui_win32 cm_win32 cm_logic)
# app.rc names its manifest and icon relative to res/.
target_include_directories(Clipboard_manager PRIVATE ${CMAKE_SOURCE_DIR}/res)
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/app.rc PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/res/app.manifest;${CMAKE_SOURCE_DIR}/res/clipboard_manager.ico")

file(GLOB CM_DRIVER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/driver/*.cpp)
if(CM_DRIVER_SOURCES)
  add_executable(cm_test_driver ${CM_DRIVER_SOURCES})
  target_link_libraries(cm_test_driver PRIVATE user32 shell32)
  target_include_directories(cm_test_driver PRIVATE ${CMAKE_SOURCE_DIR})
  set(CM_EXES Clipboard_manager cm_test_driver)
else()
  set(CM_EXES Clipboard_manager)
endif()

# Small programs that stand for other software on the desktop, one per source file:
# tools/file_holder.cpp becomes cm_file_holder.exe.
file(GLOB CM_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/driver/tools/*.cpp)
foreach(src IN LISTS CM_TOOL_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(cm_${name} ${src})
  target_link_libraries(cm_${name} PRIVATE user32)
  list(APPEND CM_EXES cm_${name})
endforeach()

# What the end-to-end tests run, built on its own so that they can start before the rest.
add_custom_target(e2e_exes)
add_dependencies(e2e_exes ${CM_EXES})

# Benchmarks of the program's code on the Windows desktop itself, one per source file:
# bench/win32/owner_check_bench.cpp becomes cm_owner_check_bench.exe.
file(GLOB CM_WIN_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/win32/*.cpp)
foreach(src IN LISTS CM_WIN_BENCH_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  add_executable(cm_${name} ${src})
  target_link_libraries(cm_${name} PRIVATE cm_win32 cm_logic)
  list(APPEND CM_EXES cm_${name})
endforeach()

foreach(exe IN LISTS CM_EXES)
  # Both land in the build folder's root, where the end-to-end tests look for them.
  set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  if(MINGW)
    # One file that runs anywhere, without the MinGW runtime DLLs beside it.
    target_link_options(${exe} PRIVATE -static -static-libgcc -static-libstdc++)
  elseif(MSVC)
    # The static runtime (/MT) is chosen for the whole build in CMakeLists.txt; the manifest
    # comes from app.rc, so the linker must not make a second one.
    target_link_options(${exe} PRIVATE /MANIFEST:NO)
  endif()
endforeach()
