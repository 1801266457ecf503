#pragma once

// Where a linear amplitude sits on a meter: 0 at -60 dB, 1 at 0 dB, linear in
// dB between and clamped outside. Silence (below 1e-10) sits at 0.
float MeterPosition(float amplitude);
