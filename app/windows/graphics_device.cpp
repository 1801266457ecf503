#include "app/windows/graphics_device.h"

#include "app/windows/release_and_clear.h"

namespace {

constexpr UINT kRefreshRate = 60;
constexpr UINT kBufferCount = 2;

HRESULT CreateWithDriver(HWND window, D3D_DRIVER_TYPE driver, GraphicsDevice& out) {
    DXGI_SWAP_CHAIN_DESC desc = {};
    desc.BufferDesc.Width = 0;
    desc.BufferDesc.Height = 0;
    desc.BufferDesc.RefreshRate.Numerator = kRefreshRate;
    desc.BufferDesc.RefreshRate.Denominator = 1;
    desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = kBufferCount;
    desc.OutputWindow = window;
    desc.Windowed = TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    desc.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;

    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_0};
    D3D_FEATURE_LEVEL obtained = {};
    return D3D11CreateDeviceAndSwapChain(nullptr, driver, nullptr, 0, levels, 2, D3D11_SDK_VERSION, &desc,
                                         &out.swapChain, &out.device, &obtained, &out.context);
}

}  // namespace

bool GraphicsDevice::Create(HWND window) {
    HRESULT hr = CreateWithDriver(window, D3D_DRIVER_TYPE_HARDWARE, *this);
    if (hr == DXGI_ERROR_UNSUPPORTED) hr = CreateWithDriver(window, D3D_DRIVER_TYPE_WARP, *this);
    if (FAILED(hr)) {
        Release();
        return false;
    }
    CreateRenderTarget();
    return true;
}

void GraphicsDevice::CreateRenderTarget() {
    ID3D11Texture2D* backBuffer = nullptr;
    if (FAILED(swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&backBuffer)))) return;
    if (FAILED(device->CreateRenderTargetView(backBuffer, nullptr, &renderTarget))) renderTarget = nullptr;
    backBuffer->Release();
}

void GraphicsDevice::ReleaseRenderTarget() {
    ReleaseAndClear(renderTarget);
}

void GraphicsDevice::Resize(UINT width, UINT height) {
    ReleaseRenderTarget();
    swapChain->ResizeBuffers(0, width, height, DXGI_FORMAT_UNKNOWN, 0);
    CreateRenderTarget();
}

void GraphicsDevice::Release() {
    ReleaseAndClear(renderTarget);
    ReleaseAndClear(swapChain);
    ReleaseAndClear(context);
    ReleaseAndClear(device);
}
