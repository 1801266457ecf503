#include "tests/support/draw_geometry.h"

#include <algorithm>

namespace {

// True when four consecutive vertices sit on the four corners of their bounding box.
bool IsAxisAlignedQuad(const ImDrawVert* v, Box& box) {
    box = {v[0].pos.x, v[0].pos.y, v[0].pos.x, v[0].pos.y};
    for (int i = 1; i < 4; ++i) {
        box.x0 = std::min(box.x0, v[i].pos.x);
        box.y0 = std::min(box.y0, v[i].pos.y);
        box.x1 = std::max(box.x1, v[i].pos.x);
        box.y1 = std::max(box.y1, v[i].pos.y);
    }
    int corners = 0;
    for (int i = 0; i < 4; ++i) {
        const bool onX = v[i].pos.x == box.x0 || v[i].pos.x == box.x1;
        const bool onY = v[i].pos.y == box.y0 || v[i].pos.y == box.y1;
        if (onX && onY) corners |= 1 << ((v[i].pos.x == box.x1 ? 1 : 0) + (v[i].pos.y == box.y1 ? 2 : 0));
    }
    return corners == 0xF || (box.x0 == box.x1 || box.y0 == box.y1);
}

}  // namespace

void DisableAntiAliasing() {
    ImGuiStyle& style = ImGui::GetStyle();
    style.AntiAliasedFill = false;
    style.AntiAliasedLines = false;
    style.AntiAliasedLinesUseTex = false;
}

std::vector<Box> QuadsOfColor(const ImDrawList* list, ImU32 color) {
    std::vector<Box> quads;
    if (!list) return quads;
    const ImDrawVert* v = list->VtxBuffer.Data;
    const int count = list->VtxBuffer.Size;
    for (int i = 0; i + 4 <= count;) {
        Box box{};
        if (v[i].col == color && v[i + 1].col == color && v[i + 2].col == color && v[i + 3].col == color &&
            IsAxisAlignedQuad(v + i, box)) {
            quads.push_back(box);
            i += 4;
        } else {
            ++i;
        }
    }
    return quads;
}

bool BoundsOfColor(const ImDrawList* list, ImU32 color, Box& bounds) {
    bool found = false;
    if (!list) return false;
    for (const ImDrawVert& v : list->VtxBuffer) {
        if (v.col != color) continue;
        if (!found) bounds = {v.pos.x, v.pos.y, v.pos.x, v.pos.y};
        bounds.x0 = std::min(bounds.x0, v.pos.x);
        bounds.y0 = std::min(bounds.y0, v.pos.y);
        bounds.x1 = std::max(bounds.x1, v.pos.x);
        bounds.y1 = std::max(bounds.y1, v.pos.y);
        found = true;
    }
    return found;
}

ImVec4 ClipRectOfVertex(const ImDrawList* list, int vertex) {
    for (const ImDrawCmd& cmd : list->CmdBuffer) {
        for (unsigned int i = cmd.IdxOffset; i < cmd.IdxOffset + cmd.ElemCount; ++i)
            if (static_cast<int>(list->IdxBuffer[static_cast<int>(i)] + cmd.VtxOffset) == vertex) return cmd.ClipRect;
    }
    return ImVec4(0, 0, 0, 0);
}

int VertexAt(const ImDrawList* list, ImVec2 pos) {
    for (int i = 0; i < list->VtxBuffer.Size; ++i)
        if (list->VtxBuffer[i].pos.x == pos.x && list->VtxBuffer[i].pos.y == pos.y) return i;
    return -1;
}
