#pragma once
#include <optional>

#include <windows.h>
#include <mmreg.h>

#include "audio/sample_conversion.h"

// How samples of a shared-mode mix format are read; nothing for formats the
// capture cannot convert. The container size (wBitsPerSample) decides.
std::optional<SampleKind> ClassifyMixFormat(const WAVEFORMATEX& format);
