# Linux: PulseAudio capture, X11/GLFW desktop services, the GLFW + OpenGL 3 program.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(GLFW REQUIRED IMPORTED_TARGET glfw3)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
find_package(X11 REQUIRED)
find_package(OpenGL REQUIRED)

add_library(imgui_glfw STATIC "${IMGUI_DIR}/backends/imgui_impl_glfw.cpp")
target_link_libraries(imgui_glfw PUBLIC imgui_core PkgConfig::GLFW)

# Capture through the sound server.
file(GLOB WAVELIFT_PULSE_SOURCES CONFIGURE_DEPENDS audio/pulse/*.cpp)
add_library(wavelift_capture_pulse STATIC ${WAVELIFT_PULSE_SOURCES})
target_link_libraries(wavelift_capture_pulse PUBLIC wavelift_shared PkgConfig::PULSE)
wavelift_warnings(wavelift_capture_pulse)

# Desktop services: known folders, fonts, drag-out, reveal, folder picker, start-up log.
file(GLOB WAVELIFT_PLATFORM_LINUX_SOURCES CONFIGURE_DEPENDS platform/linux/*.cpp)
add_library(wavelift_platform_linux STATIC ${WAVELIFT_PLATFORM_LINUX_SOURCES})
target_link_libraries(wavelift_platform_linux PUBLIC wavelift_shared imgui_glfw
  PkgConfig::FONTCONFIG PkgConfig::GIO X11::X11 PkgConfig::GLFW)
wavelift_warnings(wavelift_platform_linux)

if(WAVELIFT_BUILD_PROGRAM)
  file(GLOB WAVELIFT_APP_LINUX_SOURCES CONFIGURE_DEPENDS app/linux/*.cpp)
  # The window icon: raw RGBA squares drawn by scripts/make_icon.py, embedded as byte arrays.
  set(WAVELIFT_WINDOW_ICON_SOURCES)
  foreach(size 16 32 48 64)
    set(icon_cpp "${CMAKE_CURRENT_BINARY_DIR}/generated/window_icon_${size}.cpp")
    set(icon_rgba "${CMAKE_CURRENT_SOURCE_DIR}/resources/icons/wavelift-${size}.rgba")
    add_custom_command(
      OUTPUT "${icon_cpp}"
      COMMAND ${CMAKE_COMMAND} -DINPUT=${icon_rgba} -DOUTPUT=${icon_cpp} -DSYMBOL=kWindowIcon${size}
              -P "${CMAKE_CURRENT_SOURCE_DIR}/cmake/embed_file.cmake"
      DEPENDS "${icon_rgba}" "${CMAKE_CURRENT_SOURCE_DIR}/cmake/embed_file.cmake"
      COMMENT "Embedding the ${size} px window icon")
    list(APPEND WAVELIFT_WINDOW_ICON_SOURCES "${icon_cpp}")
  endforeach()
  add_executable(wavelift ${WAVELIFT_APP_LINUX_SOURCES} ${WAVELIFT_WINDOW_ICON_SOURCES})
  target_link_libraries(wavelift PRIVATE wavelift_core wavelift_capture_pulse wavelift_platform_linux imgui_glfw OpenGL::GL)
  wavelift_warnings(wavelift)
  include(cmake/package.cmake)
endif()
