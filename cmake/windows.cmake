# Windows: WASAPI capture, the Windows shell, Win32 + Direct3D 11 program.
message(STATUS "Windows platform code is not built yet")
