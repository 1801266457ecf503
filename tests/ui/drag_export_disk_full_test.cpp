// A write that fails part-way, as on a full disk, simulated with a file-size limit.
#ifdef __linux__
#include <gtest/gtest.h>

#include "platform/path_text.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/headless_ui.h"

namespace {

constexpr rlim_t kFileSizeLimit = 4096;

TEST(DragExportDiskFull, WriteFailingPartWayLeavesNoCorruptFileAndStartsNoDrag) {
    HeadlessUi ui;
    App& app = ui.app;
    ui.UseFakeCapture();
    app.RestartCapture();
    ui.capture().FeedConstant(0.25f, -0.25f, 48000);
    ui.Frame();
    app.paused = true;
    app.selectionActive = true;
    app.selectionStart = app.viewEnd - 48000;
    app.selectionEnd = app.viewEnd;

    {
        FileSizeLimit limit(kFileSizeLimit);
        app.ExportSelectionByDrag();
    }

    EXPECT_TRUE(fake_platform::Get().dragPaths.empty());
    const std::string prefix = "Cannot write " + PathToUtf8(app.saveFolder / "Wavelift ");
    EXPECT_EQ(app.statusMessage.rfind(prefix, 0), 0u) << app.statusMessage;
    EXPECT_TRUE(app.statusIsError);
    EXPECT_TRUE(app.lastSavedPath.empty());
    EXPECT_TRUE(std::filesystem::is_empty(app.saveFolder));
}

}  // namespace
#endif
