// The media player control's settings and controls objects, as the handlers hold them.
#pragma once

#include "common/unit_ref.h"

namespace orbiq::platform {

// IWMPSettings: the player's volume.
class IWMPSettings {
public:
    explicit IWMPSettings(UnitRef player) : player_(std::move(player)) {}
    int32_t volume() const { return player_.GetInt(Prop::Volume); }
    void put_volume(int32_t volume) const { player_.Set(Prop::Volume, volume); }

private:
    UnitRef player_;
};

// IWMPControls: stop.
class IWMPControls {
public:
    explicit IWMPControls(UnitRef player) : player_(std::move(player)) {}
    void stop() const;

private:
    UnitRef player_;
};

}  // namespace orbiq::platform
