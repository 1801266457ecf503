#pragma once
#include <optional>
#include <string>

#include <imgui.h>

#include "tests/support/headless_ui.h"

struct ImGuiWindow;

// Finding widgets of the last frame by what they drew, so tests can aim the mouse.

// A window by name, or the innermost open popup (a combo list, for example).
ImGuiWindow* WindowNamed(const char* name);
ImGuiWindow* TopmostPopup();
// The window was drawn in the last frame.
bool WindowShown(const char* name);

// Top-left of the first visible glyph of `text` as drawn into the window's own
// draw list, with every glyph, blanks included, at its laid-out place. Of several
// places the leftmost (then topmost) wins: labels start at their widget's left,
// while the same words inside a longer text sit further right.
std::optional<ImVec2> FindTextIn(ImGuiWindow* window, const std::string& text);

// A point just inside the text's first glyph: on the widget that drew it.
std::optional<ImVec2> TextTarget(ImGuiWindow* window, const std::string& text);

// Moves there and clicks (press and release over frames); false when the text was not drawn.
bool ClickText(HeadlessUi& ui, ImGuiWindow* window, const std::string& text);

// Types text into the focused field, one frame.
void TypeText(HeadlessUi& ui, const std::string& text);
