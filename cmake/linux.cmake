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
target_link_libraries(wavelift_capture_pulse PUBLIC wavelift_core PkgConfig::PULSE)
wavelift_warnings(wavelift_capture_pulse)

# Desktop services: known folders, fonts, drag-out, reveal, folder picker, start-up log.
file(GLOB WAVELIFT_PLATFORM_LINUX_SOURCES CONFIGURE_DEPENDS platform/linux/*.cpp)
add_library(wavelift_platform_linux STATIC ${WAVELIFT_PLATFORM_LINUX_SOURCES})
target_link_libraries(wavelift_platform_linux PUBLIC wavelift_core imgui_glfw
  PkgConfig::FONTCONFIG PkgConfig::GIO X11::X11 PkgConfig::GLFW)
wavelift_warnings(wavelift_platform_linux)

if(WAVELIFT_BUILD_PROGRAM)
  file(GLOB WAVELIFT_APP_LINUX_SOURCES CONFIGURE_DEPENDS app/linux/*.cpp)
  add_executable(wavelift ${WAVELIFT_APP_LINUX_SOURCES})
  target_link_libraries(wavelift PRIVATE wavelift_capture_pulse wavelift_platform_linux imgui_glfw OpenGL::GL)
  wavelift_warnings(wavelift)
  include(GNUInstallDirs)
  install(TARGETS wavelift RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
