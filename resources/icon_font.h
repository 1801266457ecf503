#pragma once
#include <cstddef>

// Font Awesome 5.15.3 Free Solid (TrueType), embedded at build time. Used in
// place by the font atlas, which never frees it.
extern const unsigned char kIconFontData[];
extern const size_t kIconFontDataSize;
