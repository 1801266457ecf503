#include <algorithm>
#include <cmath>

#include <imgui.h>

#include "app/app.h"
#include "ui/wave_mapping.h"

namespace {
constexpr float kEdgeGrab = 6.0f;          // how close to an edge a press grabs it
constexpr float kMinSelectionWidth = 3.0f;  // narrower releases drop the selection
constexpr float kExportDragDistance = 5.0f;
}  // namespace

void App::HandleWaveformInput(const Rect& r) {
    ImGui::SetCursorScreenPos(ImVec2(r.x0, r.y0));
    ImGui::InvisibleButton("##wave", ImVec2(std::max(r.x1 - r.x0, 1.0f), std::max(r.y1 - r.y0, 1.0f)));

    const WaveMapping m = MapView(*this);
    if (m.frameCount <= 0) return;

    const float s = uiScale;
    const ImGuiIO& io = ImGui::GetIO();
    const bool hovered = ImGui::IsItemHovered();
    const float mx = io.MousePos.x;
    const int64_t lo = SelectionLow();
    const int64_t hi = SelectionHigh();
    const float xa = m.XOfFrame(lo);
    const float xb = m.XOfFrame(hi);
    const float grab = kEdgeGrab * s;
    const bool nearStart = selectionActive && std::fabs(mx - xa) <= grab;
    const bool nearEnd = selectionActive && std::fabs(mx - xb) <= grab;
    const bool inside = selectionActive && xa + grab < mx && mx < xb - grab;

    if (hovered && dragMode == SelectionDrag::None) {
        if (nearStart || nearEnd)
            ImGui::SetMouseCursor(ImGuiMouseCursor_ResizeEW);
        else if (inside)
            ImGui::SetMouseCursor(ImGuiMouseCursor_Hand);
    }

    if (ImGui::IsItemActivated()) {
        dragOrigin[0] = io.MousePos.x;
        dragOrigin[1] = io.MousePos.y;
        if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) {
            SelectAll();
            dragMode = SelectionDrag::None;
        } else if (nearStart || nearEnd) {
            selectionStart = lo;
            selectionEnd = hi;
            dragMode = nearStart ? SelectionDrag::MoveStart : SelectionDrag::MoveEnd;
        } else if (inside) {
            dragMode = SelectionDrag::PendingExport;
        } else {
            paused = true;
            selectionStart = selectionEnd = m.FrameAtX(mx);
            selectionActive = true;
            dragMode = SelectionDrag::Create;
        }
    }

    if (ImGui::IsItemActive()) {
        switch (dragMode) {
            case SelectionDrag::Create:
            case SelectionDrag::MoveEnd:
                selectionEnd = m.FrameAtX(mx);
                ImGui::SetMouseCursor(ImGuiMouseCursor_ResizeEW);
                break;
            case SelectionDrag::MoveStart:
                selectionStart = m.FrameAtX(mx);
                ImGui::SetMouseCursor(ImGuiMouseCursor_ResizeEW);
                break;
            case SelectionDrag::PendingExport: {
                const float dx = io.MousePos.x - dragOrigin[0];
                const float dy = io.MousePos.y - dragOrigin[1];
                const float limit = kExportDragDistance * s;
                if (dx * dx + dy * dy > limit * limit) {
                    dragMode = SelectionDrag::None;
                    ExportSelectionByDrag();
                }
                break;
            }
            case SelectionDrag::None:
                break;
        }
    }

    if (ImGui::IsItemDeactivated()) {
        const bool resizing = dragMode == SelectionDrag::Create || dragMode == SelectionDrag::MoveStart ||
                              dragMode == SelectionDrag::MoveEnd;
        if (resizing) {
            // Both ends were rounded to whole frames, which may shave up to a
            // frame off a drag of exactly the minimum width; allow for that.
            const double frameWidth = std::min(0.5, 1.0 / m.samplesPerPixel);
            const double width = std::fabs(m.XOfFrame(selectionEnd) - m.XOfFrame(selectionStart));
            if (width < kMinSelectionWidth * s - frameWidth)
                selectionActive = false;
            const int64_t first = SelectionLow();
            selectionEnd = SelectionHigh();
            selectionStart = first;
        }
        dragMode = SelectionDrag::None;
    }
}
