#pragma once
#include <d3d11.h>

#include <memory>

#include "app/windows/d3d11_texture_device.h"

struct ImDrawData;

// Draws the GUI library's draw data with Direct3D 11. Device objects, among
// them the font texture, are made on the first NewFrame after Init or after
// InvalidateDeviceObjects. Image textures of Textures() last until Shutdown.
class D3D11Renderer {
public:
    D3D11Renderer() = default;
    ~D3D11Renderer() { Shutdown(); }
    D3D11Renderer(const D3D11Renderer&) = delete;
    D3D11Renderer& operator=(const D3D11Renderer&) = delete;

    void Init(ID3D11Device* device, ID3D11DeviceContext* context);
    void Shutdown();
    // Throws std::runtime_error when the font texture cannot be made.
    void NewFrame();
    void RenderDrawData(const ImDrawData* drawData);
    void InvalidateDeviceObjects();
    // The device for the font texture and the waveform's image texture; null before Init.
    TextureDevice* Textures() { return textures.get(); }

private:
    bool CreatePipeline();
    void CreateFontTexture();
    bool ReserveBuffers(int vertexCount, int indexCount);
    void UploadGeometry(const ImDrawData* drawData);
    void SetupRenderState(const ImDrawData* drawData);

    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    ID3D11VertexShader* vertexShader = nullptr;
    ID3D11InputLayout* inputLayout = nullptr;
    ID3D11Buffer* constantBuffer = nullptr;
    ID3D11PixelShader* pixelShader = nullptr;
    ID3D11SamplerState* sampler = nullptr;
    ID3D11SamplerState* imageSampler = nullptr;  // nearest texel, repeating: for image textures
    ID3D11BlendState* blendState = nullptr;
    ID3D11RasterizerState* rasterizerState = nullptr;
    ID3D11DepthStencilState* depthState = nullptr;
    ID3D11ShaderResourceView* fontView = nullptr;
    ID3D11Buffer* vertexBuffer = nullptr;
    ID3D11Buffer* indexBuffer = nullptr;
    int vertexCapacity = 0;
    int indexCapacity = 0;
    std::unique_ptr<D3D11TextureDevice> textures;
};
