#pragma once
#include <windows.h>

// The main window handed over by the entry point; null before that.
HWND MainWindow();
