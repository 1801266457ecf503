#pragma once
#include <cstdint>
#include <functional>

#include <imgui.h>

// What the font-texture step needs from a renderer: its largest texture and a
// way to turn RGBA pixels into a texture the renderer can bind.
class FontTextureDevice {
public:
    struct UploadResult {
        bool textureCreated = false;
        uint32_t textureCode = 0;  // the graphics API's own result code
        bool viewCreated = false;
        uint32_t viewCode = 0;
        ImTextureID texture = nullptr;  // valid only when both steps succeeded
    };

    virtual ~FontTextureDevice() = default;
    // Largest width and height of one texture, in pixels.
    virtual int MaxTextureSize() const = 0;
    // The device's capability level as a hexadecimal tag for the log.
    virtual uint32_t FeatureLevel() const = 0;
    // Creates the texture from `width` × `height` RGBA 8-bit pixels. On a failed
    // step the device keeps nothing of what it made.
    virtual UploadResult Upload(const unsigned char* pixels, int width, int height) = 0;
};

// Receives one line of the start-up trace.
using StartupLogSink = std::function<void(const char* message)>;

// Builds the atlas so that it fits the device's limit (rebuilding it wider when
// it is too tall), uploads it and installs the texture in the atlas. Logs each
// stage; throws std::runtime_error carrying the failing stage's message, and then
// installs no texture.
void CreateFontTexture(ImFontAtlas& atlas, FontTextureDevice& device, const StartupLogSink& log);
