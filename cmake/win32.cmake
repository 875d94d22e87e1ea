# Windows build: the Win32 backend, the Win32 peers of the ui controls and Clipboard_manager.exe.
file(GLOB CM_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/*.cpp)
add_library(cm_win32 STATIC ${CM_WIN32_SOURCES})
target_link_libraries(cm_win32 PUBLIC cm_logic comdlg32 shell32 advapi32 user32 gdi32 crypt32 bcrypt windowscodecs ole32 uuid)

# The peers are ui's: they may use the Win32 backend, which knows nothing of them.
file(GLOB CM_UI_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/win32/*.cpp)
add_library(cm_ui_win32 STATIC ${CM_UI_WIN32_SOURCES})
target_link_libraries(cm_ui_win32 PUBLIC cm_win32 cm_logic comctl32 user32 gdi32 msimg32)

# <windows.h> alone takes about 2 s to parse: each Windows library reads it, and the standard
# headers, once.
foreach(lib cm_win32 cm_ui_win32)
  cm_unity(${lib})
  target_precompile_headers(${lib} PRIVATE ${CM_STD_HEADERS} "${CMAKE_SOURCE_DIR}/platform/win32/win32_handles.h")
endforeach()
include(${CMAKE_SOURCE_DIR}/cmake/exe.cmake OPTIONAL)
# The simulated desktop only serves the native tests; build it here by name (--target cm_sim).
set_target_properties(cm_sim PROPERTIES EXCLUDE_FROM_ALL ON)
