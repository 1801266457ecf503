#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// Services the program takes from the desktop outside the GUI library. Each
// platform links its own implementation; tests link recording doubles.
namespace platform {

// Cancelled: the user ended the drag without a drop. Refused: released over another
// application that did not take the file (only where the desktop tells the two apart).
// Unconfirmed: the other application took the drop but never said whether it got the file.
enum class DragResult : int { Dropped = 0, Cancelled = 1, Failed = 2, Refused = 3, Unconfirmed = 4 };

// The folders the program uses.
enum class KnownFolder { Music, Documents, RoamingAppData, Fonts };

// The main window: a GLFWwindow* on Linux, an HWND on Windows.
void SetMainWindow(void* window);

// Runs a modal drag of an existing file out of the window. The callback, when
// set, receives the outcome exactly once on this thread: before this returns,
// or, where the desktop lets the window draw while the drop target answers,
// from the window's event loop later (not at all when the window goes away first).
void DragFileOut(const std::filesystem::path& path, std::function<void(DragResult)> callback);

// Shows a regular file selected in its folder, or opens a folder. Silent on failure.
void RevealInFileBrowser(const std::filesystem::path& path);

// Keeps the main window above others; does nothing before SetMainWindow.
void SetAlwaysOnTop(bool onTop);

// Full path of the folder, created if missing; empty on failure.
std::filesystem::path GetKnownFolderPath(KnownFolder folder);

// Asks the user for a folder, starting in `initial` when it exists. Nothing on
// cancel or failure.
std::optional<std::filesystem::path> PickFolder(const std::filesystem::path& initial);

// Offers an existing file on the desktop's clipboard, so that pasting in a file
// manager or an application copies it. False when the clipboard cannot be taken.
bool CopyFileToClipboard(const std::filesystem::path& path);

// The running program's answer to a grab: the saved file's full path, or one
// line saying why there is none.
struct GrabReply {
    std::string path;
    std::string error;
};

// Asks the program already running for this user to save the newest `seconds`
// of its history (0: all of it). Waits a few seconds at most; opens no window.
GrabReply RequestGrabFromRunningProgram(double seconds);

}  // namespace platform
