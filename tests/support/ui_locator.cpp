#include "tests/support/ui_locator.h"

#include <cmath>
#include <vector>

#include <imgui_internal.h>

namespace {

constexpr float kLayoutTolerance = 0.05f;

struct GlyphStep {
    const ImFontGlyph* glyph;
    float offset;  // pen position relative to the first visible glyph's pen
};

std::vector<GlyphStep> LayOut(ImFont* font, const std::string& text) {
    std::vector<GlyphStep> steps;
    float pen = 0.0f;
    float firstPen = 0.0f;
    const char* s = text.c_str();
    const char* end = s + text.size();
    while (s < end) {
        unsigned int c = 0;
        s += ImTextCharFromUtf8(&c, s, end);
        const ImFontGlyph* glyph = font->FindGlyph(static_cast<ImWchar>(c));
        if (!glyph) return {};
        if (glyph->Visible) {
            if (steps.empty()) firstPen = pen;
            steps.push_back({glyph, pen - firstPen});
        }
        pen += glyph->AdvanceX;
    }
    return steps;
}

bool RunMatches(const ImVector<ImDrawVert>& vtx, int at, const std::vector<GlyphStep>& steps) {
    const float penStart = vtx[at].pos.x - steps[0].glyph->X0;
    for (size_t g = 0; g < steps.size(); ++g) {
        const ImDrawVert& a = vtx[at + static_cast<int>(g) * 4];
        const ImDrawVert& c = vtx[at + static_cast<int>(g) * 4 + 2];
        const ImFontGlyph* glyph = steps[g].glyph;
        if (a.uv.x != glyph->U0 || a.uv.y != glyph->V0 || c.uv.x != glyph->U1 || c.uv.y != glyph->V1) return false;
        if (std::fabs(a.pos.x - (penStart + steps[g].offset + glyph->X0)) > kLayoutTolerance) return false;
    }
    return true;
}

}  // namespace

ImGuiWindow* WindowNamed(const char* name) { return ImGui::FindWindowByName(name); }

ImGuiWindow* TopmostPopup() {
    ImGuiContext& g = *ImGui::GetCurrentContext();
    return g.OpenPopupStack.empty() ? nullptr : g.OpenPopupStack.back().Window;
}

bool WindowShown(const char* name) {
    const ImGuiWindow* window = WindowNamed(name);
    return window && window->Active;
}

std::optional<ImVec2> FindTextIn(ImGuiWindow* window, const std::string& text) {
    if (!window || !window->Active) return std::nullopt;
    const ImVector<ImDrawVert>& vtx = window->DrawList->VtxBuffer;
    std::optional<ImVec2> best;
    for (ImFont* font : ImGui::GetIO().Fonts->Fonts) {
        const std::vector<GlyphStep> steps = LayOut(font, text);
        if (steps.empty()) continue;
        const int need = static_cast<int>(steps.size()) * 4;
        for (int i = 0; i + need <= vtx.Size; ++i) {
            if (!RunMatches(vtx, i, steps)) continue;
            const ImVec2 pos = vtx[i].pos;
            if (!best || pos.x < best->x || (pos.x == best->x && pos.y < best->y)) best = pos;
        }
    }
    return best;
}

std::optional<ImVec2> TextTarget(ImGuiWindow* window, const std::string& text) {
    const std::optional<ImVec2> pos = FindTextIn(window, text);
    if (!pos) return std::nullopt;
    return ImVec2(pos->x + 1.0f, pos->y + 2.0f);
}

bool ClickText(HeadlessUi& ui, ImGuiWindow* window, const std::string& text) {
    const std::optional<ImVec2> target = TextTarget(window, text);
    if (!target) return false;
    ui.Click(target->x, target->y);
    return true;
}

void TypeText(HeadlessUi& ui, const std::string& text) {
    ImGui::GetIO().AddInputCharactersUTF8(text.c_str());
    ui.Frame();
}
