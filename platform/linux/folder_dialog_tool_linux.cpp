#include "platform/linux/child_process_linux.h"
#include "platform/linux/folder_pickers_linux.h"

namespace platform::desktop {

namespace {

std::optional<std::filesystem::path> FolderFromOutput(const std::optional<ProgramOutput>& output) {
    if (!output || output->exitCode != 0) return std::nullopt;
    std::string text = output->standardOutput;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.empty()) return std::nullopt;
    return std::filesystem::path(text);
}

}  // namespace

std::optional<std::filesystem::path> PickFolderWithDialogTool(const std::optional<std::filesystem::path>& start,
                                                              ModalWait& modal) {
    const auto closing = [&modal] { return modal.CloseRequested(); };
    if (const auto zenity = FindProgram("zenity")) {
        std::vector<std::string> argv = {zenity->string(), "--file-selection", "--directory",
                                         std::string("--title=") + kPickFolderTitle};
        // A trailing slash makes zenity open the folder itself rather than select it in its parent.
        if (start) argv.push_back("--filename=" + (*start / "").string());
        return FolderFromOutput(RunForOutput(argv, closing, ModalWait::kPollMilliseconds));
    }
    if (const auto kdialog = FindProgram("kdialog")) {
        std::vector<std::string> argv = {kdialog->string(), "--title", kPickFolderTitle, "--getexistingdirectory"};
        if (start) argv.push_back(start->string());
        return FolderFromOutput(RunForOutput(argv, closing, ModalWait::kPollMilliseconds));
    }
    return std::nullopt;
}

}  // namespace platform::desktop
