// Empty regions until each is drawn by its own file.
#include "app/app.h"

void App::DrawTopBar(const Rect&) {}
void App::DrawWaveform(const Rect& rect) { HandleWaveformInput(rect); }
void App::HandleWaveformInput(const Rect&) {}
void App::DrawTimeRuler(const Rect&) {}
void App::DrawStatusBar(const Rect&) {}
bool App::IconButton(const char*, const char*, float, bool, const char*, bool) { return false; }
void App::DrawLevelMeter(float, float, float, float, float, float, const char*) {}
int64_t App::XToFrame(float) const { return viewEnd; }
