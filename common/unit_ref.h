// UnitRef: names one unit of one window; its properties are read and written through it.
// The platform layer installs the backend that reaches the real widgets.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "common/text.h"

namespace orbiq {

enum class Prop {
    Caption, Text, Visible, Disabled, Left, Top, Width, Height, TextColour, BackColour,
    Picture, Interval, Position, SelectedIndex, MaxLength, WindowState, AlwaysOnTop,
    FileName, Hint, Value, Region,
    // media player
    URL, PlayState, FullScreen, Volume,
};

const char* PropName(Prop prop);

// A round-rectangle window region (CreateRoundRectRgn's arguments).
struct RoundRegion {
    int32_t left = 0, top = 0, right = 0, bottom = 0, cornerWidth = 0, cornerHeight = 0;
    friend bool operator==(const RoundRegion&, const RoundRegion&) = default;
};

using PropValue = std::variant<std::monostate, bool, int32_t, double, Text, ByteSet, RoundRegion>;

struct UnitRef {
    uint64_t window = 0;  // the window's id; 0 names no window
    std::string unit;     // stored name (UTF-8); empty names the window itself

    PropValue Get(Prop prop) const;
    void Set(Prop prop, PropValue value) const;

    Text GetText(Prop prop) const;
    int32_t GetInt(Prop prop) const;
    bool GetBool(Prop prop) const;

    friend bool operator==(const UnitRef&, const UnitRef&) = default;
};

// What reaches the widgets. Set may be called from any thread; the backend must make that safe.
class UnitBackend {
public:
    virtual ~UnitBackend() = default;
    virtual PropValue GetProperty(const UnitRef& ref, Prop prop) = 0;
    virtual void SetProperty(const UnitRef& ref, Prop prop, PropValue value) = 0;
};

void SetUnitBackend(UnitBackend* backend);

// Routine references: routines of the system handed to threads, timers or components.
using RoutineRef = void (*)();

}  // namespace orbiq
