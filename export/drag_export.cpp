#include <algorithm>
#include <string>
#include <system_error>

#include "app/app.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "ui/icons.h"
#include "ui/text_format.h"

namespace {

void ReportDragOutcome(App& app, const std::filesystem::path& path, const std::string& duration,
                       platform::DragResult result) {
    const std::string fileName = PathToUtf8(path.filename());
    switch (result) {
        case platform::DragResult::Dropped: {
            // Copy is all the drag offers, yet a target may still move the file away.
            std::error_code ignored;
            if (std::filesystem::is_regular_file(path, ignored)) app.lastSavedPath = path;
            app.SetStatus(ICON_CHECK "  Dropped " + fileName + "  (" + duration + ")", false);
            break;
        }
        case platform::DragResult::Cancelled: {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
            app.SetStatus("Drag cancelled", false);
            break;
        }
        case platform::DragResult::Failed:
            app.lastSavedPath = path;
            app.SetStatus("Saved " + fileName + " (drag-and-drop unavailable)", true);
            break;
        case platform::DragResult::Refused:
            // The user meant to drop it: the export stays where the reveal button finds it.
            app.lastSavedPath = path;
            app.SetStatus("Not taken by the target - kept " + fileName, true);
            break;
        case platform::DragResult::Unconfirmed:
            // The target may or may not have it: say only what is sure, and where the file is.
            app.lastSavedPath = path;
            app.SetStatus("Saved " + fileName + " in " + PathToUtf8(path.parent_path()) +
                              " - the target did not confirm the drop",
                          true);
            break;
    }
}

}  // namespace

void App::ExportSelectionByDrag() {
    // The writer reads the frozen view in place, so capture may keep filling the history meanwhile.
    const StereoBuffer selection = BorrowSelection(false);
    if (selection.left.frameCount == 0) return;
    const SavedCapture saved = WriteCapture(selection);
    if (saved.path.empty()) return;

    const std::filesystem::path path = saved.path;
    const std::string duration = saved.length;
    platform::DragFileOut(path, [this, path, duration](platform::DragResult result) {
        ReportDragOutcome(*this, path, duration, result);
    });
}
