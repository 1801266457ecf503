#pragma once
#include <cstdint>
#include <vector>

#include <imgui.h>

#include "app/texture_device.h"

// Draws the GUI library's draw data with OpenGL 3.3 core, and is the texture
// device for the font atlas and the waveform's image. Needs the window's GL
// context to be current for every call.
class Gl3Renderer : public TextureDevice {
public:
    Gl3Renderer() = default;
    ~Gl3Renderer() override;
    Gl3Renderer(const Gl3Renderer&) = delete;
    Gl3Renderer& operator=(const Gl3Renderer&) = delete;

    // Compiles the shaders and creates the buffers; false when the context cannot.
    bool Init();
    void Shutdown();

    bool HasFontTexture() const { return fontTexture != 0; }
    // Drops the font texture (after the fonts changed) and clears the atlas's reference to it.
    void DestroyFontTexture(ImFontAtlas& atlas);

    void RenderDrawData(const ImDrawData* drawData);

    int MaxTextureSize() const override;
    uint32_t FeatureLevel() const override;
    UploadResult Upload(const unsigned char* pixels, int width, int height) override;
    ImTextureID CreateImageTexture(int width, int height) override;
    void UpdateImageTexture(ImTextureID texture, int x, int y, int width, int height, const uint32_t* pixels,
                            int pitch) override;
    void DestroyImageTexture(ImTextureID texture) override;
    // Found out on the window by the first RenderDrawData (drivers differ:
    // Mesa, drawing into a window, takes the centres on the lower edge).
    bool FillsLowerEdge() const override { return lowerEdgeInside; }

private:
    void SetUpState(const ImDrawData* drawData, int framebufferWidth, int framebufferHeight);
    // Draws a rectangle whose edges pass through the centres of the window's
    // two top rows, sees which row it filled, and puts the two pixels back.
    void ProbeFillRule(const ImDrawData* drawData, int framebufferHeight);

    unsigned program = 0;
    unsigned vertexArray = 0;
    unsigned vertexBuffer = 0;
    unsigned indexBuffer = 0;
    unsigned fontTexture = 0;
    std::vector<unsigned> imageTextures;
    int projectionLocation = -1;
    int textureLocation = -1;
    bool lowerEdgeInside = false;
    bool fillRuleProbed = false;
};
