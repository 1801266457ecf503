#pragma once
#include <imgui.h>

// The given interface font, or the current one before fonts are built.
inline ImFont* FontOrCurrent(ImFont* font) { return font ? font : ImGui::GetFont(); }
