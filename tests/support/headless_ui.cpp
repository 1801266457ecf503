#include "tests/support/headless_ui.h"

#include <filesystem>

#include <imgui_internal.h>

HeadlessUi::HeadlessUi(float width, float height, bool systemFonts) {
    fake_platform::Reset(temp.path());
    if (systemFonts) {
        const std::filesystem::path dir = WAVELIFT_TEST_FONT_DIR;
        fake_platform::Get().fontCandidates = {{dir / "OpenSans-Regular.ttf"}, {dir / "OpenSans-Semibold.ttf"}};
    }
    context = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    io.DisplaySize = ImVec2(width, height);
    app.saveFolder = temp.path() / "captures";
    ApplyScale(1.0f);
}

HeadlessUi::~HeadlessUi() {
    if (app.capture) app.capture->Stop();
    ImGui::DestroyContext(context);
}

FakeCapture& HeadlessUi::UseFakeCapture() {
    app.capture = std::make_unique<FakeCapture>();
    return capture();
}

void HeadlessUi::ApplyScale(float scale) {
    app.ApplyUiScale(scale, 1.0f);
    ImGuiIO& io = ImGui::GetIO();
    io.Fonts->Build();
    io.Fonts->SetTexID(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(1)));
}

void HeadlessUi::SetDisplaySize(float width, float height) { ImGui::GetIO().DisplaySize = ImVec2(width, height); }

void HeadlessUi::Frame(float deltaSeconds) { FrameWith(nullptr, deltaSeconds); }

void HeadlessUi::DrawFocusedTextField() {
    static char text[64] = "";
    ImGui::Begin("probe");
    if (!ImGui::IsAnyItemActive()) ImGui::SetKeyboardFocusHere();
    ImGui::InputText("##field", text, sizeof(text));
    ImGui::End();
}

void HeadlessUi::FrameWith(const std::function<void()>& before, float deltaSeconds) {
    ImGuiIO& io = ImGui::GetIO();
    io.DeltaTime = deltaSeconds;
    ImGui::NewFrame();
    if (before) before();
    app.Frame();
    ImGui::Render();
}

void HeadlessUi::Frames(int count, float deltaSeconds) {
    for (int i = 0; i < count; ++i) Frame(deltaSeconds);
}

double HeadlessUi::Time() const { return ImGui::GetTime(); }

void HeadlessUi::MouseMove(float x, float y) { ImGui::GetIO().AddMousePosEvent(x, y); }
void HeadlessUi::MouseDown(int button) { ImGui::GetIO().AddMouseButtonEvent(button, true); }
void HeadlessUi::MouseUp(int button) { ImGui::GetIO().AddMouseButtonEvent(button, false); }
void HeadlessUi::Key(ImGuiKey key, bool down) { ImGui::GetIO().AddKeyEvent(key, down); }

void HeadlessUi::TapKey(ImGuiKey key, bool ctrl) {
    if (ctrl) Key(ImGuiMod_Ctrl, true);
    Key(key, true);
    Frame();
    Key(key, false);
    if (ctrl) Key(ImGuiMod_Ctrl, false);
    Frame();
}

void HeadlessUi::Drag(float x0, float y0, float x1, float y1, int steps) {
    MouseMove(x0, y0);
    Frame();
    MouseDown();
    Frame();
    for (int i = 1; i <= steps; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(steps);
        MouseMove(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t);
        Frame();
    }
    MouseUp();
    Frame();
}

void HeadlessUi::Click(float x, float y) { Drag(x, y, x, y, 0); }

std::vector<const ImDrawList*> HeadlessUi::DrawLists() const {
    std::vector<const ImDrawList*> lists;
    const ImDrawData* data = ImGui::GetDrawData();
    if (!data) return lists;
    for (int i = 0; i < data->CmdListsCount; ++i) lists.push_back(data->CmdLists[i]);
    return lists;
}

const ImDrawList* HeadlessUi::MainDrawList() const {
    ImGuiWindow* window = ImGui::FindWindowByName("##main");
    return window ? window->DrawList : nullptr;
}

std::vector<ImDrawVert> HeadlessUi::VerticesOfColor(const ImDrawList* list, ImU32 color) {
    std::vector<ImDrawVert> found;
    if (!list) return found;
    for (const ImDrawVert& v : list->VtxBuffer)
        if (v.col == color) found.push_back(v);
    return found;
}

namespace {

// Searches one list for consecutive glyph quads matching `glyphs`.
void FindGlyphRun(const ImDrawList* list, const std::vector<const ImFontGlyph*>& glyphs,
                  std::vector<HeadlessUi::DrawnText>& out) {
    const auto& vtx = list->VtxBuffer;
    const int need = static_cast<int>(glyphs.size()) * 4;
    for (int i = 0; i + need <= vtx.Size; ++i) {
        bool match = true;
        for (size_t g = 0; g < glyphs.size() && match; ++g) {
            const ImDrawVert& a = vtx[i + static_cast<int>(g) * 4];
            const ImDrawVert& c = vtx[i + static_cast<int>(g) * 4 + 2];
            match = a.uv.x == glyphs[g]->U0 && a.uv.y == glyphs[g]->V0 && c.uv.x == glyphs[g]->U1 &&
                    c.uv.y == glyphs[g]->V1;
        }
        if (match) out.push_back({vtx[i].pos, vtx[i].col, list});
    }
}

}  // namespace

std::vector<HeadlessUi::DrawnText> HeadlessUi::FindText(const std::string& text, ImFont* font) const {
    std::vector<DrawnText> found;
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    for (ImFont* candidate : atlas->Fonts) {
        if (font && candidate != font) continue;
        std::vector<const ImFontGlyph*> glyphs;
        const char* s = text.c_str();
        const char* end = s + text.size();
        while (s < end) {
            unsigned int c = 0;
            s += ImTextCharFromUtf8(&c, s, end);
            const ImFontGlyph* glyph = candidate->FindGlyph(static_cast<ImWchar>(c));
            if (glyph && glyph->Visible) glyphs.push_back(glyph);
        }
        if (glyphs.empty()) continue;
        for (const ImDrawList* list : DrawLists()) FindGlyphRun(list, glyphs, found);
    }
    return found;
}
