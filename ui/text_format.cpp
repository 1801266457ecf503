#include "ui/text_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kEllipsis = "\xe2\x80\xa6";  // U+2026

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the UTF-8 sequence a lead byte announces (1 for anything else).
size_t SequenceLength(char lead) {
    const auto b = static_cast<unsigned char>(lead);
    if ((b & 0xE0) == 0xC0) return 2;
    if ((b & 0xF0) == 0xE0) return 3;
    if ((b & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

std::string FormatClock(double seconds) {
    const double t = std::max(0.0, seconds);
    const long long minutes = static_cast<long long>(t / 60.0);
    char text[64];
    std::snprintf(text, sizeof text, "%lld:%06.3f", minutes, t - static_cast<double>(minutes) * 60.0);
    return text;
}

std::string FormatSeconds(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

std::string ShortenFromLeft(std::string_view text, float maxWidth,
                            const std::function<float(std::string_view)>& measure) {
    std::string candidate(text);
    size_t k = 0;
    while (measure(candidate) > maxWidth && k < text.size()) {
        ++k;
        while (k < text.size() && IsContinuationByte(text[k])) ++k;
        candidate = kEllipsis;
        candidate.append(text.substr(k));
    }
    return candidate;
}

void TrimIncompleteUtf8Tail(std::string& text) {
    size_t start = text.size();
    while (start > 0 && IsContinuationByte(text[start - 1])) --start;
    if (start == 0) return;
    const size_t lead = start - 1;
    if (SequenceLength(text[lead]) > text.size() - lead) text.resize(lead);
}
