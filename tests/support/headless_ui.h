#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <imgui.h>

#include "app/app.h"
#include "tests/support/cpu_texture_device.h"
#include "tests/support/fake_capture.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

// A Dear ImGui context with no renderer around one App: the real font atlas,
// a controlled clock (each frame advances it by its delta time) and input fed
// as io events. Known folders and captures live in a private temporary folder.
class HeadlessUi {
public:
    // `systemFonts`: use the installed text faces as candidates; otherwise
    // none, so the library's built-in font stands in.
    explicit HeadlessUi(float width = 1100.0f, float height = 421.0f, bool systemFonts = false);
    ~HeadlessUi();
    HeadlessUi(const HeadlessUi&) = delete;
    HeadlessUi& operator=(const HeadlessUi&) = delete;

    App app;
    TempDir temp;
    // Image textures in memory; the app uses them once UseTextures is called,
    // and draws the waveform's columns as rectangles until then.
    CpuTextureDevice textures;
    void UseTextures() { app.textureDevice = &textures; }

    // Attaches a fresh FakeCapture to the app (without Startup) and returns it.
    FakeCapture& UseFakeCapture();
    FakeCapture& capture() { return *static_cast<FakeCapture*>(app.capture.get()); }

    // Rebuilds fonts and style at a scale, and the font atlas.
    void ApplyScale(float scale);
    void SetDisplaySize(float width, float height);

    // NewFrame, App::Frame, Render. `before` runs after NewFrame, before the App's frame.
    void Frame(float deltaSeconds = 1.0f / 60.0f);
    void FrameWith(const std::function<void()>& before, float deltaSeconds = 1.0f / 60.0f);
    void Frames(int count, float deltaSeconds = 1.0f / 60.0f);
    // For FrameWith: a window whose text field takes and keeps the keyboard.
    static void DrawFocusedTextField();
    double Time() const;

    // Input, taking effect in the next frame.
    void MouseMove(float x, float y);
    void MouseDown(int button = 0);
    void MouseUp(int button = 0);
    void Key(ImGuiKey key, bool down);
    // A key press and release over two frames.
    void TapKey(ImGuiKey key, bool ctrl = false);
    // Press at (x0, y), move to (x1, y) over `steps` frames, release.
    void Drag(float x0, float y0, float x1, float y1, int steps = 4);
    void Click(float x, float y);

    // Draw data of the last frame: the main window's list ("##main").
    const ImDrawList* MainDrawList() const;
    // All lists of the last frame, in draw order.
    std::vector<const ImDrawList*> DrawLists() const;
    // Vertices of the given colour in a list.
    static std::vector<ImDrawVert> VerticesOfColor(const ImDrawList* list, ImU32 color);
    // Where the last frame drew `text`: found as the run of glyph quads whose
    // texture coordinates are those of its visible characters in `font` (any
    // font of the atlas when null). Characters clipped away are not found.
    struct DrawnText {
        ImVec2 pos;   // top-left of the first visible glyph quad
        ImU32 color;  // colour of its vertices
        const ImDrawList* list;
    };
    std::vector<DrawnText> FindText(const std::string& text, ImFont* font = nullptr) const;
    bool DrewText(const std::string& text, ImFont* font = nullptr) const { return !FindText(text, font).empty(); }

private:
    ImGuiContext* context = nullptr;
};
