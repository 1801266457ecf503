# Windows: WASAPI capture, the Windows shell, Win32 + Direct3D 11 program.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
if(MINGW)
  # Executables carry their runtime: no MinGW DLLs beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

add_library(imgui_win32 STATIC "${IMGUI_DIR}/backends/imgui_impl_win32.cpp")
target_link_libraries(imgui_win32 PUBLIC imgui_core dwmapi gdi32)

# Loopback capture through Core Audio.
file(GLOB WAVELIFT_WASAPI_SOURCES CONFIGURE_DEPENDS audio/wasapi/*.cpp)
add_library(wavelift_capture_wasapi STATIC ${WAVELIFT_WASAPI_SOURCES})
target_link_libraries(wavelift_capture_wasapi PUBLIC wavelift_shared ole32 uuid)
wavelift_warnings(wavelift_capture_wasapi)

# Shell services: known folders, fonts, drag-out, reveal, folder picker, start-up log.
file(GLOB WAVELIFT_PLATFORM_WINDOWS_SOURCES CONFIGURE_DEPENDS platform/windows/*.cpp)
add_library(wavelift_platform_windows STATIC ${WAVELIFT_PLATFORM_WINDOWS_SOURCES})
target_link_libraries(wavelift_platform_windows PUBLIC wavelift_shared ole32 oleaut32 uuid shell32 shlwapi
  user32 advapi32)
wavelift_warnings(wavelift_platform_windows)

if(WAVELIFT_BUILD_PROGRAM)
  file(GLOB WAVELIFT_APP_WINDOWS_SOURCES CONFIGURE_DEPENDS app/windows/*.cpp)
  # Icon, manifest and version, compiled without the C++ warning flags the resource compiler does not know.
  set(WAVELIFT_GENERATED_WINDOWS_DIR "${CMAKE_CURRENT_BINARY_DIR}/generated/windows")
  configure_file(app/windows/version.h.in "${WAVELIFT_GENERATED_WINDOWS_DIR}/wavelift_version.h" @ONLY)
  add_library(wavelift_resources OBJECT app/windows/wavelift.rc)
  target_include_directories(wavelift_resources PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}" "${WAVELIFT_GENERATED_WINDOWS_DIR}")
  add_executable(wavelift WIN32 ${WAVELIFT_APP_WINDOWS_SOURCES} $<TARGET_OBJECTS:wavelift_resources>)
  target_link_libraries(wavelift PRIVATE wavelift_core wavelift_capture_wasapi wavelift_platform_windows imgui_win32
    d3d11 dxgi dwmapi)
  if(MINGW)
    target_link_libraries(wavelift PRIVATE d3dcompiler_47)
    target_link_options(wavelift PRIVATE -municode)
  else()
    target_link_libraries(wavelift PRIVATE d3dcompiler)
    # The resource script carries the manifest.
    target_link_options(wavelift PRIVATE /MANIFEST:NO)
  endif()
  set_source_files_properties(app/windows/wavelift.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/app/windows/wavelift.manifest;${CMAKE_CURRENT_SOURCE_DIR}/resources/wavelift.ico;${WAVELIFT_GENERATED_WINDOWS_DIR}/wavelift_version.h")
  wavelift_warnings(wavelift)
  install(TARGETS wavelift RUNTIME DESTINATION .)
  include(cmake/windows_package.cmake)
endif()
