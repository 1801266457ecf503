#pragma once
#include <cstdint>
#include <string_view>

struct ImFont;

// Width of one line of text in `font` at the font's own size.
float TextWidth(ImFont* font, std::string_view text);
// Bytes of text that TextWidth has measured so far. Fitting a long text (a
// save folder of any length) must measure in proportion to what is shown, not
// to the whole text; a test holds the interface to that with this count.
uint64_t MeasuredTextBytes();
