#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// "m:ss.mmm" of a non-negative time (3.25 s gives "0:03.250").
std::string FormatClock(double seconds);
// "1.75 s".
std::string FormatSeconds(double seconds);

// The status bar's description of a selection [lo, hi) of absolute frames,
// with times counted from `first`, the oldest frame of the view.
std::string SelectionReadOut(int64_t lo, int64_t hi, int64_t first, int64_t rate);
// The top bar's line after the LIVE or PAUSED badge; cut to 511 bytes at a
// character boundary.
std::string DeviceLine(const std::string& deviceName, int32_t sampleRate, int32_t bufferSeconds);

// Shortens text from the left until `measure` finds it no wider than
// maxWidth: "…" followed by the longest tail that fits, cut only at UTF-8
// character starts. Ends as "…" alone when nothing fits. `measure` must not
// shrink when text is added (true of a font's widths); it is asked about tails
// in proportion to what fits, so a text of any length costs about the same.
std::string ShortenFromLeft(std::string_view text, float maxWidth,
                            const std::function<float(std::string_view)>& measure);

// Drops a UTF-8 sequence left incomplete at the end of text (after a cut).
void TrimIncompleteUtf8Tail(std::string& text);
