#include "app/app.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

namespace {

// A missing or failing device is retried this often, measured from the end of the last attempt.
constexpr double kRetryInterval = 2.0;
constexpr double kMeterFallDbPerSecond = 24.0;
constexpr double kPeakHoldSeconds = 1.2;

// No background: the window's colour is the frame's clear colour, so painting
// it again would only cost a software rasteriser a window's worth of pixels.
constexpr ImGuiWindowFlags kMainWindowFlags =
    ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
    ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_NoCollapse |
    ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoBackground;

}  // namespace

void App::RestartCapture() {
    bool ok = false;
    if (capture) {
        capture->Stop();
        AudioHistory* target = &history;
        ok = capture->Start(deviceId, [target](const float* frames, size_t count) { target->Push(frames, count); });
    }
    if (ok) {
        history.Reset(capture->SampleRate(), static_cast<double>(bufferSeconds));
    } else if (history.SampleRate() == 0) {
        // Gives the interface a time axis while no device runs.
        history.Reset(kFallbackSampleRate, static_cast<double>(bufferSeconds));
    }
    restartTimeFromNextFrame = true;
}

void App::Frame() {
    const double now = ImGui::GetTime();
    // The GUI clock stands still in a modal loop and jumps when the next frame begins.
    if (statusTimeFromNextFrame) {
        statusTime = now;
        statusTimeFromNextFrame = false;
    }
    if (restartTimeFromNextFrame) {
        lastRestartTime = now;
        restartTimeFromNextFrame = false;
    }
    if (capture) {
        if (capture->NeedsRestart()) {
            RestartCapture();
        } else if (capture->IsStarting()) {
            lastRestartTime = now;  // the attempt has not ended yet
        } else if (!capture->IsRunning() && now - lastRestartTime > kRetryInterval) {
            RestartCapture();
        }
        // A start that succeeded after RestartCapture returned sizes the history as a prompt one does.
        if (capture->IsRunning() && capture->SampleRate() != history.SampleRate())
            history.Reset(capture->SampleRate(), static_cast<double>(bufferSeconds));
    }

    if (!paused && fullRecompute) {
        viewEnd = static_cast<int64_t>(history.Snapshot(view, &viewGeneration));
    } else if (!paused) {
        viewEnd = static_cast<int64_t>(liveView.Update(history, view));
        viewGeneration = liveView.Generation();
    }
    const auto [peakLeft, peakRight] = history.TakePeaks();
    UpdateMeters(peakLeft, peakRight, now, ImGui::GetIO().DeltaTime);

    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->WorkPos, ImGuiCond_Always, ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(viewport->WorkSize);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0.0f, 0.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::Begin("##main", nullptr, kMainWindowFlags);
    ImGui::PopStyleVar(3);

    const MainLayout layout = ComputeMainLayout(viewport->WorkPos.x, viewport->WorkPos.y, viewport->WorkSize.x,
                                                viewport->WorkSize.y, uiScale);
    DrawTopBar(layout.topBar);
    waveRect = layout.waveform;
    DrawWaveform(layout.waveform);
    DrawTimeRuler(layout.ruler);
    DrawStatusBar(layout.statusBar);
    ImGui::End();

    DrawSettingsPanel();
    HandleShortcuts();
}

MainLayout ComputeMainLayout(float x0, float y0, float width, float height, float s) {
    MainLayout layout;
    layout.compact = height < 300.0f * s || width < 520.0f * s;
    const float topBarHeight = (layout.compact ? 56.0f : 72.0f) * s;
    const float margin = (layout.compact ? 10.0f : 16.0f) * s;
    const float rulerHeight = 24.0f * s;
    const float statusGap = 6.0f * s;
    const float statusHeight = (layout.compact ? 28.0f : 34.0f) * s;
    const float statusTop = y0 + height - statusHeight;

    layout.topBar = {x0, y0, x0 + width, y0 + topBarHeight};
    layout.waveform = {x0 + margin, y0 + topBarHeight, x0 + width - margin, statusTop - rulerHeight - statusGap};
    layout.ruler = {layout.waveform.x0, layout.waveform.y1, layout.waveform.x1, layout.waveform.y1 + rulerHeight};
    layout.statusBar = {x0, statusTop, x0 + width, y0 + height};
    return layout;
}

void App::UpdateMeters(float peakLeft, float peakRight, double now, float dt) {
    const float decay = static_cast<float>(std::pow(10.0, -kMeterFallDbPerSecond * dt / 20.0));
    auto follow = [&](float peak, float& level, float& hold, double& holdTime) {
        level = std::max(level * decay, peak);
        if (peak >= hold || now - holdTime > kPeakHoldSeconds) {
            hold = peak;
            holdTime = now;
        }
    };
    follow(peakLeft, meterLevelLeft, peakHoldLeft, peakHoldTimeLeft);
    follow(peakRight, meterLevelRight, peakHoldRight, peakHoldTimeRight);
}

void App::HandleShortcuts() {
    const ImGuiIO& io = ImGui::GetIO();
    if (io.WantTextInput || ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId)) return;
    if (ImGui::IsKeyPressed(ImGuiKey_Space, false)) TogglePause();
    if (ImGui::IsKeyPressed(ImGuiKey_Escape, false)) ClearSelection();
    if (io.KeyCtrl && ImGui::IsKeyPressed(ImGuiKey_A, false)) SelectAll();
    if (io.KeyCtrl && ImGui::IsKeyPressed(ImGuiKey_S, false)) SaveSelection();
    if (io.KeyCtrl && ImGui::IsKeyPressed(ImGuiKey_C, false)) CopySelection();
}

std::array<float, 4> App::BackgroundColor() const { return {13.0f / 255.0f, 16.0f / 255.0f, 21.0f / 255.0f, 1.0f}; }

int64_t App::SelectionLow() const { return std::min(selectionStart, selectionEnd); }
int64_t App::SelectionHigh() const { return std::max(selectionStart, selectionEnd); }

void App::SelectAll() {
    paused = true;
    selectionEnd = viewEnd;
    selectionStart = viewEnd - view.left.frameCount;
    selectionActive = view.left.frameCount > 0;
}

void App::TogglePause() {
    const bool resuming = paused;
    paused = !paused;
    if (resuming) {
        selectionActive = false;
        dragMode = SelectionDrag::None;
    }
}

// Clears only the flag: a gesture in progress goes on until its release.
void App::ClearSelection() { selectionActive = false; }

void App::SetStatus(const std::string& text, bool isError) {
    statusMessage = text;
    statusIsError = isError;
    statusTime = ImGui::GetTime();
    statusTimeFromNextFrame = true;
}
