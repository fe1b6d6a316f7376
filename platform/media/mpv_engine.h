// The libmpv media engine behind CreateMpvEngine: one mpv core per control, video drawn by
// mpv's software renderer into a plain widget (or into the full-screen window).
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <mpv/client.h>
#include <mpv/render.h>

#include "platform/media/media_engine.h"
#include "platform/media/play_state_tracker.h"

namespace orbiq::platform {

class MpvEngine;

// What a URL text asks for, decided before mpv sees it.
struct MediaTarget {
    enum class Kind { Nothing, Folder, Refused, Play };
    Kind kind = Kind::Nothing;
    std::string location;  // UTF-8, what loadfile gets (Play only)
};
// Empty -> Nothing; an existing local folder -> Folder; a scheme outside the ones a Windows
// Media Player control opens (mpv's own pseudo-protocols among them) -> Refused; else Play.
// Local paths get "/" for "\" and become absolute.
MediaTarget ClassifyUrl(const Text& url);
// The locations tried in order for one location: "mms://" rolls over to MMS over TCP, RTSP and
// MMS over HTTP, as the control does; anything else is tried as it is.
std::vector<std::string> Candidates(const std::string& location);
// The candidates of a playlist's entries (UTF-8), in order: each entry as ClassifyUrl would take
// it (mpv's pseudo-protocols and folders left out), mms:// rolled over; local files only when
// allowLocal (a playlist from the web names none).
std::vector<std::string> PlaylistCandidates(const std::vector<std::string>& entries, bool allowLocal);

// The engine's drawing surface: the unit's video area or the full-screen window.
class VideoSurface : public QWidget {
    Q_OBJECT
public:
    VideoSurface(MpvEngine* engine, QWidget* parent, bool fullScreenWindow);
    void Detach() { engine_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    MpvEngine* engine_;
    bool fullScreenWindow_;
};

class MpvEngine final : public MediaEngine {
    Q_OBJECT
public:
    explicit MpvEngine(QWidget* parent);
    ~MpvEngine() override;

    void SetUrl(const Text& url) override;
    Text Url() const override { return url_; }
    int32_t PlayState() const override { return state_; }
    void SetFullScreen(bool on) override;
    bool FullScreen() const override { return fullScreen_; }
    void Stop() override;
    void SetVolume(int32_t volume) override;
    int32_t Volume() const override { return volume_; }
    QWidget* Widget() override { return surface_; }
    // The playback position in seconds, -1 when nothing plays (for tests and the bench).
    double Position() const;

    // For the surfaces.
    void Paint(VideoSurface* surface);
    void SurfaceResized(VideoSurface* surface);
    void RightButton(int x, int y, int keyFlags) { emit RightButtonDown(x, y, keyFlags); }

private:
    struct MpvDeleter {
        void operator()(mpv_handle* h) const { mpv_terminate_destroy(h); }
    };
    struct RenderDeleter {
        void operator()(mpv_render_context* c) const { mpv_render_context_free(c); }
    };
    // A 64-byte aligned pixel buffer the software renderer writes into.
    struct FrameBuffer {
        struct Free {
            void operator()(unsigned char* p) const { std::free(p); }
        };
        std::unique_ptr<unsigned char, Free> pixels;
        int width = 0, height = 0;
        size_t stride = 0;
        bool valid = false;  // holds a rendered frame
        bool Fit(int w, int h);
    };

    static void OnWakeup(void* self);
    static void OnRenderUpdate(void* self);
    void DrainEvents();
    void RenderUpdate();
    void HandleEvent(const mpv_event& event);
    bool Publish();  // false: the engine was destroyed by a handler
    void IssueAddress(std::vector<std::string> candidates);
    void IssueLoad(const std::string& location);
    void Follow();  // carries out what the tracker decided after an event
    void ConnectWatchdog();
    void PollStall();
    void LookInside(const std::string& url);
    void Looked(uint64_t address, const std::string& url, const std::string& body);
    void Reconnect();
    void IssueStop(int32_t finalState);
    VideoSurface* Target() const;
    void RenderInto(VideoSurface* target);
    void ClearVideo();

    std::unique_ptr<mpv_handle, MpvDeleter> mpv_;
    std::unique_ptr<mpv_render_context, RenderDeleter> render_;
    QPointer<VideoSurface> surface_;
    QPointer<VideoSurface> fullWindow_;
    FrameBuffer frame_;
    PlayStateTracker tracker_;
    std::deque<int32_t> pending_;
    std::atomic<bool> drainPosted_{false};
    std::atomic<bool> renderPosted_{false};
    std::vector<std::string> candidates_;
    uint64_t addressSeq_ = 0;  // counts addresses, so that a late fetch of an old one is dropped
    // Fetch threads post their answer through this while the engine lives.
    struct Mailbox {
        std::mutex mutex;
        MpvEngine* engine = nullptr;
    };
    std::shared_ptr<Mailbox> mailbox_;
    QTimer reconnectTimer_;
    QTimer watchdog_;
    QTimer stallTimer_;
    double cachedSeconds_ = -1;  // at the last look while buffering
    uint64_t watchedSeq_ = 0;
    bool sizeKnown_ = false, hls_ = false;  // of the file mpv has open
    Text url_;
    int32_t state_ = wmppsUndefined;
    int32_t volume_ = 100;
    uint64_t seq_ = 0;
    bool fullScreen_ = false;
};

}  // namespace orbiq::platform
