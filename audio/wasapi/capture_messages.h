#pragma once
#include <string>

#include <windows.h>

// "<label> failed (0x<HRESULT>)", the text of a failed Core Audio step.
std::string FailedStepMessage(const char* label, HRESULT hr);
// The text of a capture that broke down after it had started.
std::string BreakdownMessage(HRESULT hr);
