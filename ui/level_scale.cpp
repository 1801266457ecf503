#include "ui/level_scale.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kFloorDb = -60.0f;
constexpr float kSilenceDb = -200.0f;
constexpr float kSilenceAmplitude = 1e-10f;
}  // namespace

float MeterPosition(float amplitude) {
    const float db = amplitude < kSilenceAmplitude ? kSilenceDb : 20.0f * std::log10(amplitude);
    return std::clamp((db - kFloorDb) / -kFloorDb, 0.0f, 1.0f);
}
