#include <windows.h>
#include <dwmapi.h>
#include <ole2.h>
#include <shellapi.h>

#include <imgui.h>
#include <imgui_impl_win32.h>

#include <stdexcept>
#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/chord_keeping_frame.h"
#include "app/command_line.h"
#include "app/windows/d3d11_renderer.h"
#include "app/windows/graphics_device.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/windows/clipboard.h"
#include "platform/windows/grab_messages.h"

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {

constexpr const wchar_t* kClassName = platform::grab::kMainWindowClass;
constexpr wchar_t kTitle[] = L"Wavelift";
constexpr float kWindowWidth = 1100.0f;  // outer size at 96 dpi
constexpr float kWindowHeight = 460.0f;
constexpr float kMinWidth = 360.0f;
constexpr float kMinHeight = 210.0f;
constexpr float kBaseDpi = 96.0f;
constexpr DWORD kDarkModeAttribute = 20;        // DWMWA_USE_IMMERSIVE_DARK_MODE
constexpr DWORD kCaptionColorAttribute = 35;    // DWMWA_CAPTION_COLOR
constexpr COLORREF kCaptionColor = 0x0015100D;  // RGB(13, 16, 21), the window background
constexpr DWORD kOccludedPollMs = 10;
constexpr UINT kKeyMenuMask = 0xFFF0;
constexpr int kExitNoDevice = 1;

// Written by WindowProc, applied by the frame loop; both run on the interface thread.
UINT pendingResizeWidth = 0;
UINT pendingResizeHeight = 0;
float pendingDpiScale = 0.0f;
bool swapChainOccluded = false;
// Saves for a grab request while the App exists.
std::function<platform::GrabReply(double)> answerGrab;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ImGui_ImplWin32_WndProcHandler(hwnd, message, wParam, lParam)) return 1;
    switch (message) {
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                pendingResizeWidth = LOWORD(lParam);
                pendingResizeHeight = HIWORD(lParam);
            }
            return 0;
        case WM_GETMINMAXINFO: {
            const float scale = ImGui_ImplWin32_GetDpiScaleForHwnd(hwnd);
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = static_cast<LONG>(kMinWidth * scale);
            info->ptMinTrackSize.y = static_cast<LONG>(kMinHeight * scale);
            return 0;
        }
        case WM_SYSCOMMAND:
            // Alt and F10 would otherwise enter the window menu.
            if ((wParam & kKeyMenuMask) == SC_KEYMENU) return 0;
            break;
        case WM_DPICHANGED: {
            pendingDpiScale = HIWORD(wParam) / kBaseDpi;
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_COPYDATA: {
            double seconds = 0.0;
            HWND replyTo = nullptr;
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (!answerGrab || !platform::grab::ReadRequest(*data, seconds, replyTo)) return FALSE;
            platform::grab::SendReply(replyTo, hwnd, answerGrab(seconds));
            return TRUE;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateMainWindow(HINSTANCE instance) {
    const float scale = ImGui_ImplWin32_GetDpiScaleForMonitor(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = static_cast<int>(kWindowWidth * scale);
    const int height = static_cast<int>(kWindowHeight * scale);
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    return CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr, nullptr,
                           instance, nullptr);
}

void MatchCaptionToBackground(HWND hwnd) {
    const BOOL dark = TRUE;
    DwmSetWindowAttribute(hwnd, kDarkModeAttribute, &dark, sizeof(dark));
    const COLORREF caption = kCaptionColor;
    DwmSetWindowAttribute(hwnd, kCaptionColorAttribute, &caption, sizeof(caption));
}

// Drains the message queue; false once the window is gone.
bool PumpMessages() {
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0U, 0U, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (message.message == WM_QUIT) quit = true;
    }
    return !quit;
}

void ReportFontTextureFailure(HWND hwnd, const std::runtime_error& error) {
    const std::string text = std::string("The interface cannot be drawn: ") + error.what();
    std::wstring wide(text.begin(), text.end());  // the messages are plain ASCII
    MessageBoxW(hwnd, wide.c_str(), kTitle, MB_OK | MB_ICONERROR);
}

// Returns false when the interface could not be drawn at all.
bool RunFrameLoop(HWND hwnd, GraphicsDevice& graphics, D3D11Renderer& renderer, App& app) {
    while (PumpMessages()) {
        if (swapChainOccluded && graphics.swapChain->Present(0, DXGI_PRESENT_TEST) == DXGI_STATUS_OCCLUDED) {
            Sleep(kOccludedPollMs);
            continue;
        }
        swapChainOccluded = false;

        if (pendingResizeWidth != 0 && pendingResizeHeight != 0) {
            graphics.Resize(pendingResizeWidth, pendingResizeHeight);
            pendingResizeWidth = pendingResizeHeight = 0;
        }
        if (pendingDpiScale > 0.0f) {
            app.ApplyUiScale(pendingDpiScale, 1.0f);
            renderer.InvalidateDeviceObjects();  // the font texture is rebuilt at the new size
            pendingDpiScale = 0.0f;
        }

        try {
            renderer.NewFrame();
        } catch (const std::runtime_error& error) {
            ReportFontTextureFailure(hwnd, error);
            return false;
        }
        ImGui_ImplWin32_NewFrame();
        NewFrameKeepingChords();
        app.Frame();
        ImGui::Render();

        const std::array<float, 4> background = app.BackgroundColor();
        const float clear[4] = {background[0], background[1], background[2], 1.0f};
        graphics.context->OMSetRenderTargets(1, &graphics.renderTarget, nullptr);
        if (graphics.renderTarget != nullptr) graphics.context->ClearRenderTargetView(graphics.renderTarget, clear);
        renderer.RenderDrawData(ImGui::GetDrawData());

        swapChainOccluded = graphics.swapChain->Present(1, 0) == DXGI_STATUS_OCCLUDED;
    }
    return true;
}

// The arguments after the program's name, as UTF-8.
CommandLine ReadCommandLine() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i) args.push_back(PathToUtf8(std::filesystem::path(wide[i])));
    LocalFree(wide);
    return ParseCommandLine(args);
}

// A window program has no console of its own: output goes to the one it was started from, unless redirected.
void UseParentConsole() {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out != nullptr && out != INVALID_HANDLE_VALUE) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    const CommandLine command = ReadCommandLine();
    if (command.action != CommandLine::Action::Run) {
        UseParentConsole();
        return RunCommand(command);
    }
    ImGui_ImplWin32_EnableDpiAwareness();
    OleInitialize(nullptr);

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_CLASSDC;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);

    const HWND hwnd = CreateMainWindow(instance);
    MatchCaptionToBackground(hwnd);

    GraphicsDevice graphics;
    if (!graphics.Create(hwnd)) {
        DestroyWindow(hwnd);
        UnregisterClassW(kClassName, instance);
        OleUninitialize();
        return kExitNoDevice;
    }
    platform::SetMainWindow(hwnd);

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ImGui_ImplWin32_Init(hwnd);
    D3D11Renderer renderer;
    renderer.Init(graphics.device, graphics.context);

    int exitCode = 0;
    {
        App app;
        app.textureDevice = renderer.Textures();
        app.ApplyUiScale(ImGui_ImplWin32_GetDpiScaleForHwnd(hwnd), 1.0f);
        app.Startup();
        answerGrab = [&app](double seconds) {
            const SavedCapture saved = app.SaveNewestAudio(seconds);
            return platform::GrabReply{.path = PathToUtf8(saved.path), .error = saved.error};
        };
        ShowWindow(hwnd, SW_SHOWDEFAULT);
        UpdateWindow(hwnd);

        if (!RunFrameLoop(hwnd, graphics, renderer, app)) exitCode = 1;

        answerGrab = nullptr;
        app.Shutdown();
        renderer.Shutdown();
        ImGui_ImplWin32_Shutdown();
        ImGui::DestroyContext();
        graphics.Release();
        DestroyWindow(hwnd);
        UnregisterClassW(kClassName, instance);
    }  // the App, with the capture object and the audio-system objects it holds, goes while OLE still runs
    KeepClipboardAfterExit();
    OleUninitialize();
    return exitCode;
}
