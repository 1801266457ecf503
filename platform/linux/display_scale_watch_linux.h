#pragma once
#include <optional>
#include <string_view>

struct _XDisplay;

namespace platform::desktop {

// The interface scale that X resources ask for, the way the windowing library
// reads it at start: Xft.dpi / 96, or 1 without that resource. Values no display
// has are held to a usable range.
float UiScaleFromResources(std::string_view resources);
// A scale from elsewhere (the windowing library), held to the same range.
float UsableUiScale(float scale);

// Follows the desktop's Xft.dpi while the program runs: a connection of its
// own, to the display the program uses, that only watches the root window's
// properties for a new resource database (RESOURCE_MANAGER).
class DisplayScaleWatch {
public:
    DisplayScaleWatch();
    ~DisplayScaleWatch();
    DisplayScaleWatch(const DisplayScaleWatch&) = delete;
    DisplayScaleWatch& operator=(const DisplayScaleWatch&) = delete;

    // The scale the resources ask for now, when they may have changed since the
    // last call (always on the first). Never blocks: nothing when no event waits.
    std::optional<float> Changed();

private:
    _XDisplay* display = nullptr;
    unsigned long resourceManager = 0;
    bool firstCall = true;
};

}  // namespace platform::desktop
