#pragma once
#include <vector>

#include <imgui.h>

// Geometry queries on a finished draw list. With anti-aliasing off (see
// DisableAntiAliasing) every rectangle without rounding and every one-segment
// line is a single quad of four vertices.
struct Box {
    float x0, y0, x1, y1;
    float Width() const { return x1 - x0; }
    float Height() const { return y1 - y0; }
};

// Turns off anti-aliased fills and lines in the current style; call again
// after every change of UI scale, which resets the style.
void DisableAntiAliasing();

// Axis-aligned quads drawn in exactly this colour, in draw order.
std::vector<Box> QuadsOfColor(const ImDrawList* list, ImU32 color);
// Bounding box of every vertex of this colour; false when there is none.
bool BoundsOfColor(const ImDrawList* list, ImU32 color, Box& bounds);
// Clip rectangle of the draw command that draws vertex `vertex`.
ImVec4 ClipRectOfVertex(const ImDrawList* list, int vertex);
// Index in the vertex buffer of a vertex at `pos` (first match), or -1.
int VertexAt(const ImDrawList* list, ImVec2 pos);
