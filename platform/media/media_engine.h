// The hosted media player control (URL, playState, fullScreen, controls.stop, settings.volume,
// PlayStateChange) and its video surface, built on libmpv.
#pragma once

#include <cstdint>
#include <memory>

#include <QObject>

#include "common/text.h"

class QWidget;

namespace orbiq::platform {

enum WmpPlayState : int32_t {
    wmppsUndefined = 0,
    wmppsStopped,
    wmppsPaused,
    wmppsPlaying,
    wmppsScanForward,
    wmppsScanReverse,
    wmppsBuffering,
    wmppsWaiting,
    wmppsMediaEnded,
    wmppsTransitioning,
    wmppsReady,
    wmppsReconnecting,
    wmppsLast
};

// One hosted player control. Lives on the UI thread and is used only there.
class MediaEngine : public QObject {
    Q_OBJECT
public:
    // GBK; opens and plays. The empty text stops. A local folder is nothing to play: playback
    // stops and the state settles at wmppsReady.
    virtual void SetUrl(const Text& url) = 0;
    virtual Text Url() const = 0;
    virtual int32_t PlayState() const = 0;      // WMPPlayState, 0..12
    virtual void SetFullScreen(bool on) = 0;    // true: video over the whole screen; Esc or a double click leaves
    virtual bool FullScreen() const = 0;
    virtual void Stop() = 0;                    // controls.stop: the URL stays
    virtual void SetVolume(int32_t volume) = 0; // settings.volume, clamped to 0..100
    virtual int32_t Volume() const = 0;
    virtual QWidget* Widget() = 0;              // the video surface

signals:
    // Always on the UI thread, once per change of PlayState().
    void PlayStateChange(int newState);
    // Right button pressed on the video; x, y on the surface; keyFlags as MK_* (1 left, 2 right,
    // 4 shift, 8 control, 16 middle).
    void RightButtonDown(int x, int y, int keyFlags);
};

// The video surface is a child of parent and is deleted with the engine.
// Under the "offscreen" and "minimal" Qt platforms the engine plays with ao=null.
std::unique_ptr<MediaEngine> CreateMpvEngine(QWidget* parent);

}  // namespace orbiq::platform
