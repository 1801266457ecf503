#pragma once
#include <functional>

#include <imgui.h>

#include "app/texture_device.h"

// Receives one line of the start-up trace.
using StartupLogSink = std::function<void(const char* message)>;

// Builds the atlas so that it fits the device's limit (rebuilding it wider when
// it is too tall), uploads it and installs the texture in the atlas. Logs each
// stage; throws std::runtime_error carrying the failing stage's message, and then
// installs no texture.
void CreateFontTexture(ImFontAtlas& atlas, TextureDevice& device, const StartupLogSink& log);
