#include "ui/text_width.h"

#include <cfloat>

#include <imgui.h>

namespace {
uint64_t measuredBytes = 0;  // interface thread only
}  // namespace

float TextWidth(ImFont* font, std::string_view text) {
    measuredBytes += text.size();
    return font->CalcTextSizeA(font->FontSize, FLT_MAX, 0.0f, text.data(), text.data() + text.size()).x;
}

uint64_t MeasuredTextBytes() { return measuredBytes; }
