#pragma once

// The heavy randomised and differential cases run at full size in the
// optimised build. Under a sanitizer, where each step costs many times as
// much, they run at a reduced size that still meets every kind of step.
constexpr int CaseSize(int full, int underSanitizer) {
#if defined(WAVELIFT_SANITIZED_BUILD)
    (void)full;
    return underSanitizer;
#else
    (void)underSanitizer;
    return full;
#endif
}
