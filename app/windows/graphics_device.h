#pragma once
#include <d3d11.h>

// The Direct3D 11 device and the main window's swap chain with its render target.
struct GraphicsDevice {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    IDXGISwapChain* swapChain = nullptr;
    ID3D11RenderTargetView* renderTarget = nullptr;

    // Hardware first, the software rasteriser when the hardware path is unsupported.
    bool Create(HWND window);
    void CreateRenderTarget();
    void ReleaseRenderTarget();
    void Resize(UINT width, UINT height);
    // View, swap chain, context, device, in this order.
    void Release();
};
