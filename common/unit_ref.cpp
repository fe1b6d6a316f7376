#include "common/unit_ref.h"

#include <atomic>

namespace orbiq {
namespace {
std::atomic<UnitBackend*> gBackend{nullptr};

template <typename T>
T As(const PropValue& v) {
    if (auto p = std::get_if<T>(&v)) return *p;
    return T{};
}
}  // namespace

void SetUnitBackend(UnitBackend* backend) { gBackend.store(backend); }

const char* PropName(Prop prop) {
    switch (prop) {
    case Prop::Caption: return "Caption";
    case Prop::Text: return "Text";
    case Prop::Visible: return "Visible";
    case Prop::Disabled: return "Disabled";
    case Prop::Left: return "Left";
    case Prop::Top: return "Top";
    case Prop::Width: return "Width";
    case Prop::Height: return "Height";
    case Prop::TextColour: return "TextColour";
    case Prop::BackColour: return "BackColour";
    case Prop::Picture: return "Picture";
    case Prop::Interval: return "Interval";
    case Prop::Position: return "Position";
    case Prop::SelectedIndex: return "SelectedIndex";
    case Prop::MaxLength: return "MaxLength";
    case Prop::WindowState: return "WindowState";
    case Prop::AlwaysOnTop: return "AlwaysOnTop";
    case Prop::FileName: return "FileName";
    case Prop::Hint: return "Hint";
    case Prop::Value: return "Value";
    case Prop::Region: return "Region";
    case Prop::URL: return "URL";
    case Prop::PlayState: return "playState";
    case Prop::FullScreen: return "fullScreen";
    case Prop::Volume: return "volume";
    }
    return "?";
}

PropValue UnitRef::Get(Prop prop) const {
    UnitBackend* b = gBackend.load();
    return b ? b->GetProperty(*this, prop) : PropValue{};
}

void UnitRef::Set(Prop prop, PropValue value) const {
    if (UnitBackend* b = gBackend.load()) b->SetProperty(*this, prop, std::move(value));
}

Text UnitRef::GetText(Prop prop) const { return As<Text>(Get(prop)); }

int32_t UnitRef::GetInt(Prop prop) const {
    PropValue v = Get(prop);
    if (auto p = std::get_if<int32_t>(&v)) return *p;
    if (auto d = std::get_if<double>(&v)) return static_cast<int32_t>(*d);
    if (auto b = std::get_if<bool>(&v)) return *b ? 1 : 0;
    return 0;
}

bool UnitRef::GetBool(Prop prop) const {
    PropValue v = Get(prop);
    if (auto b = std::get_if<bool>(&v)) return *b;
    if (auto p = std::get_if<int32_t>(&v)) return *p != 0;
    return false;
}

}  // namespace orbiq
