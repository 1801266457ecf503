#include "ui/text_format.h"

#include "ui/icons.h"

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

// Where the last `count` characters of text begin; 0 when it has no more.
size_t StartOfLastCharacters(std::string_view text, size_t count) {
    size_t start = text.size();
    for (; count > 0 && start > 0; --count) {
        --start;
        while (start > 0 && IsContinuationByte(text[start])) --start;
    }
    return start;
}

// The longest tail of text, cut at a character start, that `fits`, given that
// every shorter tail fits when a longer one does. Tails of 1, 2, 4 …
// characters are tried until one does not fit, then the gap is halved: the
// text measured stays proportional to what fits, however long the text is.
std::string_view LongestFittingTail(std::string_view text, const std::function<bool(std::string_view)>& fits) {
    size_t fitting = 0;  // characters known to fit
    size_t tooMany = 0;  // characters known not to fit; 0 while none is known
    for (size_t count = 1; tooMany == 0; count *= 2) {
        const size_t start = StartOfLastCharacters(text, count);
        if (!fits(text.substr(start))) {
            tooMany = count;
        } else {
            fitting = count;
            if (start == 0) return text;
        }
    }
    while (tooMany - fitting > 1) {
        const size_t middle = fitting + (tooMany - fitting) / 2;
        if (fits(text.substr(StartOfLastCharacters(text, middle))))
            fitting = middle;
        else
            tooMany = middle;
    }
    return text.substr(StartOfLastCharacters(text, fitting));
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

std::string SelectionReadOut(int64_t lo, int64_t hi, int64_t first, int64_t rate) {
    const double r = static_cast<double>(rate);
    return ICON_ARROWS_ALT_H "  " + FormatClock(static_cast<double>(lo - first) / r) + "  \xe2\x80\x93  " +
           FormatClock(static_cast<double>(hi - first) / r) + "   (" + FormatSeconds(static_cast<double>(hi - lo) / r) +
           ")    Drag the highlighted region into a DAW, folder or desktop";
}

std::string DeviceLine(const std::string& deviceName, int32_t sampleRate, int32_t bufferSeconds) {
    constexpr size_t kCapacity = 512;
    char line[kCapacity];
    std::snprintf(line, sizeof line, "   %s  %s   \xc2\xb7   %.1f kHz   \xc2\xb7   %d s buffer", ICON_VOLUME_UP,
                  deviceName.c_str(), sampleRate / 1000.0, bufferSeconds);
    std::string text = line;
    TrimIncompleteUtf8Tail(text);  // a long name may have been cut inside a character
    return text;
}

std::string ShortenFromLeft(std::string_view text, float maxWidth,
                            const std::function<float(std::string_view)>& measure) {
    // Written as "not wider" so that a width of NaN keeps the text, as it always has.
    const auto fits = [&](std::string_view candidate) { return !(measure(candidate) > maxWidth); };
    if (text.empty() || LongestFittingTail(text, fits).size() == text.size()) return std::string(text);

    // The tail after the ellipsis starts at a character start after the first byte.
    size_t first = 1;
    while (first < text.size() && IsContinuationByte(text[first])) ++first;
    std::string candidate;
    const auto fitsAfterEllipsis = [&](std::string_view tail) {
        candidate.assign(kEllipsis).append(tail);
        return fits(candidate);
    };
    return kEllipsis + std::string(LongestFittingTail(text.substr(first), fitsAfterEllipsis));
}

void TrimIncompleteUtf8Tail(std::string& text) {
    size_t start = text.size();
    while (start > 0 && IsContinuationByte(text[start - 1])) --start;
    if (start == 0) return;
    const size_t lead = start - 1;
    if (SequenceLength(text[lead]) > text.size() - lead) text.resize(lead);
}
