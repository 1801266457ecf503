#include "app/windows/d3d11_renderer.h"

#include <d3dcompiler.h>
#include <imgui.h>

#include <cstddef>
#include <cstring>

#include "app/font_texture.h"
#include "platform/startup_log.h"
#include "app/windows/d3d11_texture_device.h"
#include "app/windows/release_and_clear.h"

namespace {

// Spare room when the geometry buffers grow, so they do not grow every frame.
constexpr int kVertexSlack = 5000;
constexpr int kIndexSlack = 10000;

constexpr char kVertexShader[] = R"(
cbuffer Projection : register(b0) { float4x4 projection; };
struct Input { float2 pos : POSITION; float4 col : COLOR0; float2 uv : TEXCOORD0; };
struct Output { float4 pos : SV_POSITION; float4 col : COLOR0; float2 uv : TEXCOORD0; };
Output main(Input input) {
    Output output;
    output.pos = mul(projection, float4(input.pos, 0.0, 1.0));
    output.col = input.col;
    output.uv = input.uv;
    return output;
})";

constexpr char kPixelShader[] = R"(
struct Input { float4 pos : SV_POSITION; float4 col : COLOR0; float2 uv : TEXCOORD0; };
sampler atlasSampler;
Texture2D atlas;
float4 main(Input input) : SV_Target { return input.col * atlas.Sample(atlasSampler, input.uv); })";

ID3DBlob* CompileShader(const char* source, size_t length, const char* target) {
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    const HRESULT hr =
        D3DCompile(source, length, nullptr, nullptr, nullptr, "main", target, 0, 0, &code, &errors);
    if (errors != nullptr) errors->Release();
    return SUCCEEDED(hr) ? code : nullptr;
}

}  // namespace

void D3D11Renderer::Init(ID3D11Device* newDevice, ID3D11DeviceContext* newContext) {
    Shutdown();
    device = newDevice;
    context = newContext;
    device->AddRef();
    context->AddRef();
    textures = std::make_unique<D3D11TextureDevice>(device, context);
    ImGuiIO& io = ImGui::GetIO();
    io.BackendRendererName = "wavelift_d3d11";
    io.BackendFlags |= ImGuiBackendFlags_RendererHasVtxOffset;
}

void D3D11Renderer::Shutdown() {
    InvalidateDeviceObjects();
    textures.reset();
    ReleaseAndClear(context);
    ReleaseAndClear(device);
}

void D3D11Renderer::NewFrame() {
    if (device == nullptr) return;
    if (vertexShader == nullptr && !CreatePipeline()) return;
    if (fontView == nullptr) CreateFontTexture();
}

void D3D11Renderer::InvalidateDeviceObjects() {
    if (fontView != nullptr && ImGui::GetCurrentContext() != nullptr) ImGui::GetIO().Fonts->SetTexID(nullptr);
    ReleaseAndClear(fontView);
    ReleaseAndClear(indexBuffer);
    ReleaseAndClear(vertexBuffer);
    vertexCapacity = 0;
    indexCapacity = 0;
    ReleaseAndClear(depthState);
    ReleaseAndClear(rasterizerState);
    ReleaseAndClear(blendState);
    ReleaseAndClear(sampler);
    ReleaseAndClear(imageSampler);
    ReleaseAndClear(pixelShader);
    ReleaseAndClear(constantBuffer);
    ReleaseAndClear(inputLayout);
    ReleaseAndClear(vertexShader);
}

void D3D11Renderer::CreateFontTexture() {
    ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
    ::CreateFontTexture(atlas, *textures, [](const char* line) { platform::WriteStartupLog(line); });
    fontView = static_cast<ID3D11ShaderResourceView*>(atlas.TexID);
}

bool D3D11Renderer::CreatePipeline() {
    ID3DBlob* vertexCode = CompileShader(kVertexShader, sizeof(kVertexShader) - 1, "vs_4_0");
    if (vertexCode == nullptr) return false;
    HRESULT hr = device->CreateVertexShader(vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), nullptr,
                                            &vertexShader);
    const D3D11_INPUT_ELEMENT_DESC layout[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32_FLOAT, 0, offsetof(ImDrawVert, pos), D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, offsetof(ImDrawVert, uv), D3D11_INPUT_PER_VERTEX_DATA, 0},
        {"COLOR", 0, DXGI_FORMAT_R8G8B8A8_UNORM, 0, offsetof(ImDrawVert, col), D3D11_INPUT_PER_VERTEX_DATA, 0},
    };
    if (SUCCEEDED(hr)) {
        hr = device->CreateInputLayout(layout, 3, vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(),
                                       &inputLayout);
    }
    vertexCode->Release();
    if (FAILED(hr)) {
        InvalidateDeviceObjects();
        return false;
    }

    ID3DBlob* pixelCode = CompileShader(kPixelShader, sizeof(kPixelShader) - 1, "ps_4_0");
    if (pixelCode == nullptr) {
        InvalidateDeviceObjects();
        return false;
    }
    hr = device->CreatePixelShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), nullptr, &pixelShader);
    pixelCode->Release();

    D3D11_BUFFER_DESC constants = {};
    constants.ByteWidth = sizeof(float) * 16;
    constants.Usage = D3D11_USAGE_DYNAMIC;
    constants.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    constants.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    if (SUCCEEDED(hr)) hr = device->CreateBuffer(&constants, nullptr, &constantBuffer);

    D3D11_SAMPLER_DESC samplerDesc = {};
    samplerDesc.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
    samplerDesc.AddressU = samplerDesc.AddressV = samplerDesc.AddressW = D3D11_TEXTURE_ADDRESS_WRAP;
    samplerDesc.ComparisonFunc = D3D11_COMPARISON_ALWAYS;
    if (SUCCEEDED(hr)) hr = device->CreateSamplerState(&samplerDesc, &sampler);
    samplerDesc.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
    if (SUCCEEDED(hr)) hr = device->CreateSamplerState(&samplerDesc, &imageSampler);

    // Straight alpha for colour, and an alpha channel that stays usable for the swap chain.
    D3D11_BLEND_DESC blend = {};
    blend.RenderTarget[0].BlendEnable = TRUE;
    blend.RenderTarget[0].SrcBlend = D3D11_BLEND_SRC_ALPHA;
    blend.RenderTarget[0].DestBlend = D3D11_BLEND_INV_SRC_ALPHA;
    blend.RenderTarget[0].BlendOp = D3D11_BLEND_OP_ADD;
    blend.RenderTarget[0].SrcBlendAlpha = D3D11_BLEND_ONE;
    blend.RenderTarget[0].DestBlendAlpha = D3D11_BLEND_INV_SRC_ALPHA;
    blend.RenderTarget[0].BlendOpAlpha = D3D11_BLEND_OP_ADD;
    blend.RenderTarget[0].RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    if (SUCCEEDED(hr)) hr = device->CreateBlendState(&blend, &blendState);

    D3D11_RASTERIZER_DESC raster = {};
    raster.FillMode = D3D11_FILL_SOLID;
    raster.CullMode = D3D11_CULL_NONE;
    raster.ScissorEnable = TRUE;
    raster.DepthClipEnable = TRUE;
    if (SUCCEEDED(hr)) hr = device->CreateRasterizerState(&raster, &rasterizerState);

    D3D11_DEPTH_STENCIL_DESC depth = {};
    depth.DepthEnable = FALSE;
    depth.DepthWriteMask = D3D11_DEPTH_WRITE_MASK_ALL;
    depth.DepthFunc = D3D11_COMPARISON_ALWAYS;
    depth.StencilEnable = FALSE;
    depth.FrontFace.StencilFailOp = depth.FrontFace.StencilDepthFailOp = depth.FrontFace.StencilPassOp =
        D3D11_STENCIL_OP_KEEP;
    depth.FrontFace.StencilFunc = D3D11_COMPARISON_ALWAYS;
    depth.BackFace = depth.FrontFace;
    if (SUCCEEDED(hr)) hr = device->CreateDepthStencilState(&depth, &depthState);

    if (FAILED(hr)) {
        InvalidateDeviceObjects();
        return false;
    }
    return true;
}

bool D3D11Renderer::ReserveBuffers(int vertexCount, int indexCount) {
    if (vertexBuffer == nullptr || vertexCapacity < vertexCount) {
        ReleaseAndClear(vertexBuffer);
        vertexCapacity = vertexCount + kVertexSlack;
        D3D11_BUFFER_DESC desc = {};
        desc.Usage = D3D11_USAGE_DYNAMIC;
        desc.ByteWidth = static_cast<UINT>(vertexCapacity) * sizeof(ImDrawVert);
        desc.BindFlags = D3D11_BIND_VERTEX_BUFFER;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
        if (FAILED(device->CreateBuffer(&desc, nullptr, &vertexBuffer))) {
            vertexBuffer = nullptr;
            vertexCapacity = 0;
            return false;
        }
    }
    if (indexBuffer == nullptr || indexCapacity < indexCount) {
        ReleaseAndClear(indexBuffer);
        indexCapacity = indexCount + kIndexSlack;
        D3D11_BUFFER_DESC desc = {};
        desc.Usage = D3D11_USAGE_DYNAMIC;
        desc.ByteWidth = static_cast<UINT>(indexCapacity) * sizeof(ImDrawIdx);
        desc.BindFlags = D3D11_BIND_INDEX_BUFFER;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
        if (FAILED(device->CreateBuffer(&desc, nullptr, &indexBuffer))) {
            indexBuffer = nullptr;
            indexCapacity = 0;
            return false;
        }
    }
    return true;
}

void D3D11Renderer::UploadGeometry(const ImDrawData* drawData) {
    D3D11_MAPPED_SUBRESOURCE vertices = {};
    D3D11_MAPPED_SUBRESOURCE indices = {};
    if (FAILED(context->Map(vertexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &vertices))) return;
    if (FAILED(context->Map(indexBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &indices))) {
        context->Unmap(vertexBuffer, 0);
        return;
    }
    auto* vertexOut = static_cast<ImDrawVert*>(vertices.pData);
    auto* indexOut = static_cast<ImDrawIdx*>(indices.pData);
    for (const ImDrawList* list : drawData->CmdLists) {
        std::memcpy(vertexOut, list->VtxBuffer.Data, static_cast<size_t>(list->VtxBuffer.Size) * sizeof(ImDrawVert));
        std::memcpy(indexOut, list->IdxBuffer.Data, static_cast<size_t>(list->IdxBuffer.Size) * sizeof(ImDrawIdx));
        vertexOut += list->VtxBuffer.Size;
        indexOut += list->IdxBuffer.Size;
    }
    context->Unmap(vertexBuffer, 0);
    context->Unmap(indexBuffer, 0);
}

void D3D11Renderer::SetupRenderState(const ImDrawData* drawData) {
    // Orthographic projection of the display rectangle onto clip space.
    const float left = drawData->DisplayPos.x;
    const float right = drawData->DisplayPos.x + drawData->DisplaySize.x;
    const float top = drawData->DisplayPos.y;
    const float bottom = drawData->DisplayPos.y + drawData->DisplaySize.y;
    const float projection[4][4] = {
        {2.0f / (right - left), 0.0f, 0.0f, 0.0f},
        {0.0f, 2.0f / (top - bottom), 0.0f, 0.0f},
        {0.0f, 0.0f, 0.5f, 0.0f},
        {(right + left) / (left - right), (top + bottom) / (bottom - top), 0.5f, 1.0f},
    };
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (SUCCEEDED(context->Map(constantBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) {
        std::memcpy(mapped.pData, projection, sizeof(projection));
        context->Unmap(constantBuffer, 0);
    }

    D3D11_VIEWPORT viewport = {};
    viewport.Width = drawData->DisplaySize.x * drawData->FramebufferScale.x;
    viewport.Height = drawData->DisplaySize.y * drawData->FramebufferScale.y;
    viewport.MaxDepth = 1.0f;
    context->RSSetViewports(1, &viewport);

    const UINT stride = sizeof(ImDrawVert);
    const UINT offset = 0;
    context->IASetInputLayout(inputLayout);
    context->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
    context->IASetIndexBuffer(indexBuffer, sizeof(ImDrawIdx) == 2 ? DXGI_FORMAT_R16_UINT : DXGI_FORMAT_R32_UINT, 0);
    context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context->VSSetShader(vertexShader, nullptr, 0);
    context->VSSetConstantBuffers(0, 1, &constantBuffer);
    context->PSSetShader(pixelShader, nullptr, 0);
    context->PSSetSamplers(0, 1, &sampler);
    context->GSSetShader(nullptr, nullptr, 0);
    const float blendFactor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    context->OMSetBlendState(blendState, blendFactor, 0xFFFFFFFF);
    context->OMSetDepthStencilState(depthState, 0);
    context->RSSetState(rasterizerState);
}

void D3D11Renderer::RenderDrawData(const ImDrawData* drawData) {
    if (drawData == nullptr || drawData->DisplaySize.x <= 0.0f || drawData->DisplaySize.y <= 0.0f) return;
    if (vertexShader == nullptr || drawData->TotalVtxCount == 0) return;
    if (!ReserveBuffers(drawData->TotalVtxCount, drawData->TotalIdxCount)) return;
    UploadGeometry(drawData);
    SetupRenderState(drawData);

    const ImVec2 origin = drawData->DisplayPos;
    const ImVec2 scale = drawData->FramebufferScale;
    int vertexBase = 0;
    int indexBase = 0;
    for (const ImDrawList* list : drawData->CmdLists) {
        for (const ImDrawCmd& command : list->CmdBuffer) {
            if (command.UserCallback != nullptr) {
                if (command.UserCallback == ImDrawCallback_ResetRenderState) {
                    SetupRenderState(drawData);
                } else {
                    command.UserCallback(list, &command);
                }
                continue;
            }
            const ImVec2 clipMin((command.ClipRect.x - origin.x) * scale.x, (command.ClipRect.y - origin.y) * scale.y);
            const ImVec2 clipMax((command.ClipRect.z - origin.x) * scale.x, (command.ClipRect.w - origin.y) * scale.y);
            if (clipMax.x <= clipMin.x || clipMax.y <= clipMin.y) continue;
            const D3D11_RECT scissor = {static_cast<LONG>(clipMin.x), static_cast<LONG>(clipMin.y),
                                        static_cast<LONG>(clipMax.x), static_cast<LONG>(clipMax.y)};
            context->RSSetScissorRects(1, &scissor);
            auto* texture = static_cast<ID3D11ShaderResourceView*>(command.GetTexID());
            context->PSSetShaderResources(0, 1, &texture);
            context->PSSetSamplers(0, 1, textures->IsImageTexture(texture) ? &imageSampler : &sampler);
            context->DrawIndexed(command.ElemCount, command.IdxOffset + static_cast<UINT>(indexBase),
                                 static_cast<INT>(command.VtxOffset) + vertexBase);
        }
        vertexBase += list->VtxBuffer.Size;
        indexBase += list->IdxBuffer.Size;
    }
}
