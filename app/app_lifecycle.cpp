#include "app/app.h"
#include "platform/platform.h"
#include "settings/settings.h"

void App::Startup() {
    const Settings settings = LoadSettings();
    saveFolder = settings.saveFolder;
    deviceId = settings.deviceId;
    bufferSeconds = settings.bufferSeconds;
    alwaysOnTop = settings.alwaysOnTop;

    capture = CreateLoopbackCapture();
    // Also when off, so the window is explicitly not topmost.
    platform::SetAlwaysOnTop(alwaysOnTop);
    RestartCapture();
}

void App::Shutdown() {
    // The capture thread has ended before the settings are written.
    if (capture) capture->Stop();
    SaveSettings(*this);
}
