#pragma once

// Starts a GUI frame (ImGui::NewFrame) that sees at most one key press other
// than a modifier. A whole burst of key events can arrive before one frame (as
// automation tools and remote desktops send them, and as a person's keys
// arrive while a frame is slow), and the GUI library applies every key that
// changes only once in that frame: Ctrl down, A down, Ctrl up then reached the
// frame with A pressed and Ctrl already up, and the chord was lost. Events
// after the first press now wait for the next frame, in their order, so each
// press is seen with the modifiers held when it happened.
void NewFrameKeepingChords();
