#pragma once

namespace platform::desktop {

// A drag released over a target waits for the target's answer while the window
// draws again; the window's event loop calls this once per turn to read the
// answer and report the outcome.
void PollDropAnswer();

// Stops waiting for an answer without reporting it; the file stays.
void AbandonDropAnswer();

}  // namespace platform::desktop
