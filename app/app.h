#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_history.h"
#include "audio/channel_buffer.h"
#include "audio/live_view.h"
#include "audio/loopback_capture.h"
#include "platform/ui_font_candidates.h"
#include "ui/column_cache.h"
#include "ui/lane_image.h"

class TextureDevice;
struct ImFont;

// The mouse gesture in progress on the waveform.
enum class SelectionDrag : int32_t { None = 0, Create = 1, MoveStart = 2, MoveEnd = 3, PendingExport = 4 };

struct Rect {
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
};

// Regions of the main window for a work area at (x0, y0) of the given size.
struct MainLayout {
    bool compact = false;
    Rect topBar, waveform, ruler, statusBar;
};
MainLayout ComputeMainLayout(float x0, float y0, float width, float height, float uiScale);

// A capture written into the save folder: its file and length ("1.50 s"), or
// the reason there is none.
struct SavedCapture {
    std::filesystem::path path;
    std::string length;
    std::string error;
};

// The one application object. Every method runs on the interface thread; only
// `history` is also written by the capture thread.
class App {
public:
    // Persisted settings: same names, types and order as Settings.
    std::filesystem::path saveFolder;
    std::string deviceId;
    int32_t bufferSeconds = 6;
    bool alwaysOnTop = false;

    // Declared before `capture`, so the capture thread has ended before the history it writes goes away.
    AudioHistory history;
    std::unique_ptr<LoopbackCapture> capture;
    // When the last capture attempt ended, on the interface clock.
    double lastRestartTime = -100.0;
    // Set by RestartCapture: the interface clock stands still within a frame, so
    // an attempt's end is the start of the frame after it, which the next frame
    // writes into `lastRestartTime`.
    bool restartTimeFromNextFrame = false;

    StereoBuffer view;
    // Keeps `view` current by copying only new audio.
    LiveView liveView;
    // Keeps the waveform's columns as an image in a texture of `textureDevice`.
    LaneImage laneImage;
    // The renderer's textures; without it the columns are drawn as rectangles.
    TextureDevice* textureDevice = nullptr;
    // Copies the whole history, rescans every column and draws each as
    // rectangles every frame instead: the straightforward method, kept as the
    // reference for tests and benchmarks.
    bool fullRecompute = false;
    int64_t viewEnd = 0;
    // The history's count of resets when `view` was taken: the column cache starts over when it changes.
    uint64_t viewGeneration = 0;
    bool paused = false;
    bool selectionActive = false;
    int64_t selectionStart = 0;
    int64_t selectionEnd = 0;
    SelectionDrag dragMode = SelectionDrag::None;
    float dragOrigin[2] = {0.0f, 0.0f};
    Rect waveRect;

    float meterLevelLeft = 0.0f;
    float meterLevelRight = 0.0f;
    float peakHoldLeft = 0.0f;
    float peakHoldRight = 0.0f;
    double peakHoldTimeLeft = 0.0;
    double peakHoldTimeRight = 0.0;

    bool settingsOpen = false;
    std::vector<OutputDevice> devices;
    char saveFolderText[1024] = {};

    std::string statusMessage;
    bool statusIsError = false;
    double statusTime = -100.0;
    // Set by SetStatus: the next frame restarts `statusTime`, so that a message set
    // inside a modal loop (drag, folder picker) is shown for its full time once drawing resumes.
    bool statusTimeFromNextFrame = false;
    std::filesystem::path lastSavedPath;

    float uiScale = 1.0f;
    ImFont* bodyFont = nullptr;
    ImFont* smallFont = nullptr;
    ImFont* titleFont = nullptr;

    // Start-up and shutdown.
    void Startup();
    void Shutdown();
    void RestartCapture();

    // One frame of interface, between the GUI library's NewFrame and Render.
    void Frame();
    std::array<float, 4> BackgroundColor() const;
    void ApplyUiScale(float scale, float rasterizerDensity);

    // View and selection.
    // The selection's ends in order: during a gesture `selectionStart` may pass `selectionEnd`.
    int64_t SelectionLow() const;
    int64_t SelectionHigh() const;
    void SelectAll();
    void TogglePause();
    void ClearSelection();
    int64_t XToFrame(float x) const;

    // Export.
    void ExportSelectionByDrag();
    // Ctrl+S: saves the selection, or the whole view without one, and keeps the file.
    SavedCapture SaveSelection();
    // Ctrl+C: saves as Ctrl+S does, then offers the file on the clipboard.
    void CopySelection();
    // Saves the newest `seconds` of the history whatever the view shows; all of it when not positive.
    SavedCapture SaveNewestAudio(double seconds);
    void SetStatus(const std::string& text, bool isError);

    // Regions, each drawn into the current window's draw list.
    void DrawTopBar(const Rect& rect);
    void DrawWaveform(const Rect& rect);
    void HandleWaveformInput(const Rect& rect);
    void DrawTimeRuler(const Rect& rect);
    void DrawStatusBar(const Rect& rect);
    void DrawSettingsPanel();
    bool IconButton(const char* id, const char* icon, float size, bool round, const char* tooltip, bool on);
    void DrawLevelMeter(float x, float y, float width, float height, float level, float hold, const char* label);

private:
    void UpdateMeters(float peakLeft, float peakRight, double now, float dt);
    void HandleShortcuts();
    // The selection's frames in the view, borrowed in place; the whole view when `orWholeView` and none is set.
    StereoBuffer BorrowSelection(bool orWholeView) const;
    // Writes frames as a new capture in the save folder, the one way every export writes; shows a failure.
    SavedCapture WriteCapture(const StereoBuffer& frames);
    // Keeps a written capture where the reveal button finds it and says so.
    void ShowSaved(const SavedCapture& saved);

    ColumnCache columnCache;
};

// Adds one text font at size × uiScale with the icon font merged into it.
ImFont* AddUiFont(const std::vector<platform::UiFontFace>& candidates, int preferredIndex, float size, float scale,
                  float rasterizerDensity);
