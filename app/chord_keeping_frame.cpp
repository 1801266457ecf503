#include "app/chord_keeping_frame.h"

#include <imgui.h>
#include <imgui_internal.h>

namespace {

bool IsModifier(ImGuiKey key) {
    return (key & ImGuiMod_Mask_) != 0 || (key >= ImGuiKey_LeftCtrl && key <= ImGuiKey_RightSuper);
}

bool IsPress(const ImGuiInputEvent& event) {
    return event.Type == ImGuiInputEventType_Key && event.Key.Down && !IsModifier(event.Key.Key);
}

}  // namespace

void NewFrameKeepingChords() {
    ImVector<ImGuiInputEvent>& queue = ImGui::GetCurrentContext()->InputEventsQueue;
    int cut = 0;
    while (cut < queue.Size && !IsPress(queue[cut])) ++cut;
    ImVector<ImGuiInputEvent> later;
    if (cut + 1 < queue.Size) {
        later.reserve(queue.Size - cut - 1);
        for (int i = cut + 1; i < queue.Size; ++i) later.push_back(queue[i]);
        queue.resize(cut + 1);
    }
    ImGui::NewFrame();
    // After what this frame left unread, before anything the next poll adds.
    for (const ImGuiInputEvent& event : later) queue.push_back(event);
}
