#include <algorithm>
#include <cstring>
#include <string>

#include <imgui.h>
#include <imgui_internal.h>

#include "app/app.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "ui/icons.h"

namespace {

constexpr const char* kPopupName = "Settings";
constexpr float kMaxWidth = 560.0f;
constexpr float kViewportMargin = 40.0f;
constexpr float kSideButtonWidth = 96.0f;
constexpr float kDoneButtonWidth = 110.0f;

const ImVec4 kHelpColor = ImVec4(0x8A / 255.0f, 0x93 / 255.0f, 0xA6 / 255.0f, 1.0f);
const ImVec4 kDoneColor = ImVec4(0x38 / 255.0f, 0xBD / 255.0f, 0xF8 / 255.0f, 1.0f);
const ImVec4 kDoneHoveredColor = ImVec4(0x7D / 255.0f, 0xD3 / 255.0f, 0xFC / 255.0f, 1.0f);
const ImVec4 kDoneActiveColor = ImVec4(0x0E / 255.0f, 0xA5 / 255.0f, 0xE9 / 255.0f, 1.0f);
const ImVec4 kDoneTextColor = ImVec4(0x06 / 255.0f, 0x12 / 255.0f, 0x1C / 255.0f, 1.0f);

// Copies the folder's UTF-8 text into the field's buffer; an overlong text is cut
// before the last whole character that fits, so the field never holds half a character.
template <size_t N>
void FillFolderText(char (&buffer)[N], const std::filesystem::path& folder) {
    const std::string text = PathToUtf8(folder);
    size_t length = std::min(text.size(), N - 1);
    if (length < text.size())
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

void HelpText(ImFont* font, const char* text) {
    ImGui::PushFont(font);
    ImGui::PushStyleColor(ImGuiCol_Text, kHelpColor);
    ImGui::TextWrapped("%s", text);
    ImGui::PopStyleColor();
    ImGui::PopFont();
}

std::string DefaultDeviceLabel(const std::vector<OutputDevice>& devices) {
    std::string defaultName;
    for (const OutputDevice& device : devices)
        if (device.isDefault) defaultName = device.name;
    return defaultName.empty() ? "System default" : "System default  (" + defaultName + ")";
}

std::string DeviceComboText(const std::vector<OutputDevice>& devices, const std::string& deviceId,
                            const std::string& defaultLabel) {
    if (deviceId.empty()) return defaultLabel;
    const OutputDevice* match = nullptr;
    for (const OutputDevice& device : devices)
        if (device.id == deviceId) match = &device;
    return match ? match->name : "Unavailable device";
}

}  // namespace

void App::DrawSettingsPanel() {
    const float s = uiScale;
    if (settingsOpen) {
        settingsOpen = false;
        if (capture) devices = capture->ListOutputDevices();
        FillFolderText(saveFolderText, saveFolder);
        ImGui::OpenPopup(kPopupName);
    }

    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(ImVec2(viewport->Pos.x + viewport->Size.x * 0.5f, viewport->Pos.y + viewport->Size.y * 0.5f),
                            ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
    ImGui::SetNextWindowSize(ImVec2(std::min(viewport->Size.x - kViewportMargin * s, kMaxWidth * s), 0.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(22.0f * s, 18.0f * s));
    const bool open = ImGui::BeginPopupModal(kPopupName, nullptr,
                                             ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                                                 ImGuiWindowFlags_NoMove);
    ImGui::PopStyleVar();
    if (!open) return;

    ImGui::PushFont(titleFont);
    ImGui::TextUnformatted(ICON_SLIDERS_H "  Settings");
    ImGui::PopFont();
    ImGui::Dummy(ImVec2(0.0f, 6.0f * s));
    ImGui::Dummy(ImVec2(0.0f, 4.0f * s));

    ImGui::TextUnformatted("Save folder");
    HelpText(smallFont, "Dragged selections are written here as 24-bit WAV files.");
    const float fieldWidth =
        ImGui::GetContentRegionAvail().x - kSideButtonWidth * s - ImGui::GetStyle().ItemSpacing.x;
    ImGui::SetNextItemWidth(fieldWidth);
    const bool folderEntered = ImGui::InputText("##folder", saveFolderText, sizeof(saveFolderText),
                                                ImGuiInputTextFlags_EnterReturnsTrue);
    if (folderEntered || ImGui::IsItemDeactivatedAfterEdit()) {
        saveFolder = Utf8ToPath(saveFolderText);
        SaveSettings(*this);
    }
    ImGui::SameLine();
    if (ImGui::Button(ICON_FOLDER_OPEN "  Browse", ImVec2(kSideButtonWidth * s, 0.0f))) {
        if (const auto picked = platform::PickFolder(saveFolder)) {
            saveFolder = *picked;
            FillFolderText(saveFolderText, saveFolder);
            SaveSettings(*this);
        }
    }

    ImGui::Dummy(ImVec2(0.0f, 4.0f * s));
    ImGui::TextUnformatted("Capture device");
    HelpText(smallFont, "Audio output to record. \"System default\" follows the system when you switch outputs.");
    const std::string defaultLabel = DefaultDeviceLabel(devices);
    const std::string comboText = DeviceComboText(devices, deviceId, defaultLabel);
    ImGui::SetNextItemWidth(fieldWidth);
    if (ImGui::BeginCombo("##device", comboText.c_str())) {
        bool chosen = false;
        std::string chosenId;
        if (ImGui::Selectable(defaultLabel.c_str(), deviceId.empty()) && !deviceId.empty()) chosen = true;
        ImGui::Separator();
        for (const OutputDevice& device : devices) {
            ImGui::PushID(device.id.c_str());
            if (ImGui::Selectable(device.name.c_str(), device.id == deviceId) && device.id != deviceId) {
                chosen = true;
                chosenId = device.id;
            }
            ImGui::PopID();
        }
        ImGui::EndCombo();
        if (chosen) {
            deviceId = chosenId;
            SaveSettings(*this);
            RestartCapture();
        }
    }
    ImGui::SameLine();
    if (ImGui::Button(ICON_SYNC_ALT "  Refresh", ImVec2(kSideButtonWidth * s, 0.0f)) && capture)
        devices = capture->ListOutputDevices();

    ImGui::Dummy(ImVec2(0.0f, 4.0f * s));
    ImGui::TextUnformatted("Buffer length");
    HelpText(smallFont, "How many seconds of history are kept and shown.");
    ImGui::SetNextItemWidth(-FLT_MIN);
    if (ImGui::SliderInt("##buffer", &bufferSeconds, kMinBufferSeconds, kMaxBufferSeconds, "%d seconds",
                         ImGuiSliderFlags_AlwaysClamp)) {
        const int32_t rate = history.SampleRate() > 0 ? history.SampleRate() : kFallbackSampleRate;
        history.Reset(rate, static_cast<double>(bufferSeconds));
    }
    if (ImGui::IsItemDeactivatedAfterEdit()) SaveSettings(*this);

    ImGui::Dummy(ImVec2(0.0f, 10.0f * s));
    ImGui::Separator();
    HelpText(smallFont, SettingsChangesKept() ? "Changes are saved automatically."
                                              : "Changes will not be kept: the settings file is read-only.");

    ImGui::SameLine();
    ImGui::SetCursorPosX(ImGui::GetCursorPosX() + ImGui::GetContentRegionAvail().x - kDoneButtonWidth * s);
    ImGui::PushStyleColor(ImGuiCol_Button, kDoneColor);
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, kDoneHoveredColor);
    ImGui::PushStyleColor(ImGuiCol_ButtonActive, kDoneActiveColor);
    ImGui::PushStyleColor(ImGuiCol_Text, kDoneTextColor);
    const bool donePressed = ImGui::Button("Done", ImVec2(kDoneButtonWidth * s, 0.0f));
    const bool escapePressed = ImGui::IsKeyPressed(ImGuiKey_Escape, true) && !ImGui::GetIO().WantTextInput;
    if (donePressed || escapePressed) {
        // The Escape that closes the panel must not also reach the main window's shortcuts.
        if (escapePressed) ImGui::SetKeyOwner(ImGuiKey_Escape, ImGuiKeyOwner_Any, ImGuiInputFlags_LockThisFrame);
        SaveSettings(*this);
        ImGui::CloseCurrentPopup();
    }
    ImGui::PopStyleColor(4);
    ImGui::EndPopup();
}
