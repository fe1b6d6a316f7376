#include "platform/media/mpv_engine.h"

#include "common/files.h"
#include "platform/net/http_get.h"
#include "platform/media/stream_playlist.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <thread>


#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QUrl>

namespace orbiq::platform {
namespace {

// reply_userdata of the observed properties.
enum ObservedProperty : uint64_t {
    kPause = 1, kPausedForCache, kCoreIdle, kIdleActive, kFileSize, kFileFormat, kVoConfigured
};

bool Headless() {
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

// mpv's read time-out in seconds, as the mpv program has it: a stream that has played rides
// out a stall this long (state 7) before it counts as broken and is reconnected.
constexpr const char* kNetworkTimeout = "60";
// The connect time-out of our own: an open that brings no file within it fails, whatever the
// protocol (libavformat's RTSP and MMS take no time-out from mpv).
constexpr int kConnectTimeoutMs = 5000;
// While buffering, how often the cache is looked at: a cache that has not grown since the last
// look means that no byte arrives (mpv's cache-speed is not updated while a read blocks).
constexpr int kStallPollMs = 1000;

bool SchemeChars(const std::string& scheme) {
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0]))) return false;
    return std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
    });
}

// The schemes the Windows Media Player control opens that libavformat also serves
// ("mms" is tried as MMS over HTTP by mpv).
bool PlayableScheme(const std::string& scheme) {
    static const char* const kSchemes[] = {"http", "https", "mms", "mmsh", "mmst", "rtsp"};
    return std::any_of(std::begin(kSchemes), std::end(kSchemes), [&](const char* s) { return scheme == s; });
}

// MK_* flags of a mouse event.
int KeyFlags(const QMouseEvent& e) {
    int flags = 0;
    if (e.buttons() & Qt::LeftButton) flags |= 0x01;
    if (e.buttons() & Qt::RightButton) flags |= 0x02;
    if (e.modifiers() & Qt::ShiftModifier) flags |= 0x04;
    if (e.modifiers() & Qt::ControlModifier) flags |= 0x08;
    if (e.buttons() & Qt::MiddleButton) flags |= 0x10;
    return flags;
}

std::string LowerScheme(const std::string& location) {
    const size_t sep = location.find("://");
    if (sep == std::string::npos) return {};
    std::string scheme = location.substr(0, sep);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme;
}

// A Windows Media playlist is small; anything longer is not one.
constexpr size_t kPlaylistLimit = 256 * 1024;

std::string LocalHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(kPlaylistLimit, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return head;
}

// GET of a playlist-sized answer within the connect time-out (and twice that in all).
std::string FetchPlaylist(const std::string& url, long connectTimeoutMs) {
    const ByteSet body = HttpGet(Text(url), {connectTimeoutMs, 2 * connectTimeoutMs, kPlaylistLimit});
    return std::string(body.begin(), body.end());
}

bool LiveState(int32_t state) {
    return state == wmppsPaused || state == wmppsPlaying || state == wmppsBuffering || state == wmppsWaiting ||
           state == wmppsTransitioning;
}

}  // namespace

std::vector<std::string> Candidates(const std::string& location) {
    if (LowerScheme(location) != "mms") return {location};
    const std::string rest = location.substr(location.find("://"));
    return {"mmst" + rest, "rtsp" + rest, "mmsh" + rest};
}

std::vector<std::string> PlaylistCandidates(const std::vector<std::string>& entries, bool allowLocal) {
    std::vector<std::string> out;
    for (const std::string& e : entries) {
        const MediaTarget t = ClassifyUrl(Text::FromUtf8(e));
        if (t.kind != MediaTarget::Kind::Play) continue;
        if (!allowLocal && LowerScheme(t.location).empty()) continue;
        for (std::string& c : Candidates(t.location)) out.push_back(std::move(c));
    }
    return out;
}

MediaTarget ClassifyUrl(const Text& url) {
    if (url.Empty()) return {};
    std::string s = GbkToUtf8(url.Bytes());
    const size_t sep = s.find("://");
    if (sep != std::string::npos) {
        std::string scheme = s.substr(0, sep);
        if (SchemeChars(scheme)) {
            std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (scheme == "file") {
                const QString local = QUrl(QString::fromStdString(s)).toLocalFile();
                if (local.isEmpty()) return {MediaTarget::Kind::Refused, {}};
                if (QFileInfo(local).isDir()) return {MediaTarget::Kind::Folder, {}};
                return {MediaTarget::Kind::Play, QFileInfo(local).absoluteFilePath().toStdString()};
            }
            if (PlayableScheme(scheme)) return {MediaTarget::Kind::Play, s};
            return {MediaTarget::Kind::Refused, {}};
        }
    }
    // A local path, named as the file layer names every file.
    const QFileInfo info(QString::fromStdString(NativePath(url)));
    if (info.isDir()) return {MediaTarget::Kind::Folder, {}};
    // Absolute, so that "-" or a name mpv would read as an option never reaches it bare.
    return {MediaTarget::Kind::Play, info.absoluteFilePath().toStdString()};
}

// ---- VideoSurface ----

VideoSurface::VideoSurface(MpvEngine* engine, QWidget* parent, bool fullScreenWindow)
    : QWidget(parent, fullScreenWindow ? Qt::Window | Qt::FramelessWindowHint : Qt::WindowFlags()),
      engine_(engine), fullScreenWindow_(fullScreenWindow) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The control has no menu of its own and does not hand the request to its parent.
    setContextMenuPolicy(Qt::PreventContextMenu);
    if (fullScreenWindow_) setFocusPolicy(Qt::StrongFocus);
}

void VideoSurface::paintEvent(QPaintEvent*) {
    if (engine_) engine_->Paint(this);
    else QPainter(this).fillRect(rect(), Qt::black);
}

void VideoSurface::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (engine_) engine_->SurfaceResized(this);
}

void VideoSurface::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && engine_) {
        const QPoint at = event->position().toPoint();
        engine_->RightButton(at.x(), at.y(), KeyFlags(*event));
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void VideoSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    if (fullScreenWindow_ && event->button() == Qt::LeftButton && engine_) {
        engine_->SetFullScreen(false);
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void VideoSurface::keyPressEvent(QKeyEvent* event) {
    if (fullScreenWindow_ && event->key() == Qt::Key_Escape && engine_) {
        engine_->SetFullScreen(false);
        return;
    }
    QWidget::keyPressEvent(event);
}

void VideoSurface::closeEvent(QCloseEvent* event) {
    if (fullScreenWindow_ && engine_) {
        event->ignore();
        engine_->SetFullScreen(false);
        return;
    }
    QWidget::closeEvent(event);
}

// ---- MpvEngine ----

bool MpvEngine::FrameBuffer::Fit(int w, int h) {
    w = std::max(w, 1);
    h = std::max(h, 1);
    if (pixels && w == width && h == height) return true;
    const size_t newStride = (static_cast<size_t>(w) * 4 + 63) / 64 * 64;
    unsigned char* p = static_cast<unsigned char*>(std::aligned_alloc(64, newStride * static_cast<size_t>(h)));
    if (!p) return false;
    pixels.reset(p);
    width = w;
    height = h;
    stride = newStride;
    valid = false;
    return true;
}

MpvEngine::MpvEngine(QWidget* parent) : mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->engine = this;
    surface_ = new VideoSurface(this, parent, false);
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &MpvEngine::Reconnect);
    watchdog_.setSingleShot(true);
    watchdog_.setInterval(kConnectTimeoutMs);
    connect(&watchdog_, &QTimer::timeout, this, &MpvEngine::ConnectWatchdog);
    stallTimer_.setInterval(kStallPollMs);
    connect(&stallTimer_, &QTimer::timeout, this, &MpvEngine::PollStall);
    const bool headless = Headless();

    // libmpv refuses to start under any other numeric locale; QApplication may have set one.
    std::setlocale(LC_NUMERIC, "C");
    mpv_.reset(mpv_create());
    if (!mpv_) return;
    mpv_handle* h = mpv_.get();
    const char* const options[][2] = {
        {"config", "no"},
        {"terminal", "no"},
        {"ytdl", "no"},
        {"load-scripts", "no"},
        {"osc", "no"},
        {"osd-level", "0"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"idle", "yes"},
        {"keepaspect", "yes"},  // the video keeps its shape inside the surface, black bars around it
        // Frames come when they are due: rendering ahead would make mpv_render_context_render
        // wait on the UI thread until each frame's display time (50 ms by default).
        {"video-timing-offset", "0"},
        {"network-timeout", kNetworkTimeout},
        {"volume", "100"},
        {"audio-fallback-to-null", "yes"},
        {"vo", "libmpv"},
    };
    for (const auto& [name, value] : options) mpv_set_option_string(h, name, value);
    if (headless) mpv_set_option_string(h, "ao", "null");
    if (mpv_initialize(h) < 0) {
        mpv_.reset();
        return;
    }
    mpv_observe_property(h, kPause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(h, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(h, kCoreIdle, "core-idle", MPV_FORMAT_FLAG);
    mpv_observe_property(h, kIdleActive, "idle-active", MPV_FORMAT_FLAG);
    mpv_observe_property(h, kFileSize, "file-size", MPV_FORMAT_INT64);
    mpv_observe_property(h, kFileFormat, "file-format", MPV_FORMAT_STRING);
    mpv_observe_property(h, kVoConfigured, "vo-configured", MPV_FORMAT_FLAG);
    mpv_set_wakeup_callback(h, &MpvEngine::OnWakeup, this);

    {
        char apiType[] = MPV_RENDER_API_TYPE_SW;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, apiType},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context* ctx = nullptr;
        if (mpv_render_context_create(&ctx, h, params) >= 0) {
            render_.reset(ctx);
            mpv_render_context_set_update_callback(ctx, &MpvEngine::OnRenderUpdate, this);
        }
    }
}

MpvEngine::~MpvEngine() {
    {
        std::lock_guard<std::mutex> lock(mailbox_->mutex);
        mailbox_->engine = nullptr;  // fetches still running keep their answer
    }
    // After these return mpv calls neither callback again; already posted calls die with this object.
    if (render_) mpv_render_context_set_update_callback(render_.get(), nullptr, nullptr);
    if (mpv_) mpv_set_wakeup_callback(mpv_.get(), nullptr, nullptr);
    render_.reset();  // before the core, as libmpv requires
    mpv_.reset();
    for (QPointer<VideoSurface>* s : {&fullWindow_, &surface_}) {
        if (*s) {
            (*s)->Detach();
            delete s->data();
        }
    }
}

// Called by mpv on any of its threads: only posts.
void MpvEngine::OnWakeup(void* self) {
    auto* engine = static_cast<MpvEngine*>(self);
    if (!engine->drainPosted_.exchange(true))
        QMetaObject::invokeMethod(engine, &MpvEngine::DrainEvents, Qt::QueuedConnection);
}

void MpvEngine::OnRenderUpdate(void* self) {
    auto* engine = static_cast<MpvEngine*>(self);
    if (!engine->renderPosted_.exchange(true))
        QMetaObject::invokeMethod(engine, &MpvEngine::RenderUpdate, Qt::QueuedConnection);
}

void MpvEngine::DrainEvents() {
    drainPosted_ = false;
    if (!mpv_) return;
    for (;;) {
        mpv_event* event = mpv_wait_event(mpv_.get(), 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        HandleEvent(*event);
        Follow();
        if (!Publish()) return;
    }
}

void MpvEngine::HandleEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        tracker_.StartFile();
        break;
    case MPV_EVENT_FILE_LOADED:
        tracker_.FileLoaded();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        tracker_.PlaybackRestart();
        break;
    case MPV_EVENT_SEEK:
        tracker_.Seek();
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        using R = PlayStateTracker::EndReason;
        R reason = R::Error;
        switch (end->reason) {
        case MPV_END_FILE_REASON_EOF: reason = R::Eof; break;
        case MPV_END_FILE_REASON_STOP: reason = R::Stop; break;
        case MPV_END_FILE_REASON_QUIT: reason = R::Quit; break;
        case MPV_END_FILE_REASON_REDIRECT: reason = R::Redirect; break;
        default: reason = R::Error; break;
        }
        tracker_.EndFile(reason, end->playlist_insert_num_entries);
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* prop = static_cast<const mpv_event_property*>(event.data);
        // An unavailable property (paused-for-cache while idle) counts as "no".
        const bool on = prop->format == MPV_FORMAT_FLAG && *static_cast<const int*>(prop->data) != 0;
        switch (event.reply_userdata) {
        case kPause: tracker_.SetPause(on); break;
        case kPausedForCache: tracker_.SetPausedForCache(on); break;
        case kCoreIdle: tracker_.SetCoreIdle(on); break;
        case kIdleActive: tracker_.SetIdleActive(on); break;
        case kFileSize:
            sizeKnown_ = prop->format == MPV_FORMAT_INT64 && *static_cast<const int64_t*>(prop->data) > 0;
            tracker_.SetFixedLength(sizeKnown_ && !hls_);
            break;
        case kFileFormat:
            hls_ = prop->format == MPV_FORMAT_STRING && std::string(*static_cast<char* const*>(prop->data)) == "hls";
            tracker_.SetFixedLength(sizeKnown_ && !hls_);
            break;
        case kVoConfigured:
            // A stream without video (or one that lost it): no picture of what played before.
            if (!on) ClearVideo();
            break;
        default: break;
        }
        break;
    }
    case MPV_EVENT_COMMAND_REPLY:
        tracker_.CommandReplied(event.reply_userdata, event.error >= 0);
        break;
    default:
        break;
    }
}

bool MpvEngine::Publish() {
    const QPointer<MpvEngine> alive(this);  // a handler may destroy the control
    for (int32_t s : tracker_.TakeChanges()) pending_.push_back(s);
    // A handler may run a nested event loop that publishes too; the queue keeps the order.
    while (!pending_.empty()) {
        const int32_t s = pending_.front();
        pending_.pop_front();
        if (s == state_) continue;
        state_ = s;
        if (!LiveState(s)) ClearVideo();
        emit PlayStateChange(s);
        if (!alive) return false;
    }
    const bool buffering = state_ == wmppsBuffering || state_ == wmppsWaiting;
    if (buffering && !stallTimer_.isActive()) {
        cachedSeconds_ = -1;
        stallTimer_.start();
    } else if (!buffering) {
        stallTimer_.stop();
    }
    return true;
}

void MpvEngine::SetUrl(const Text& url) {
    url_ = url;
    const MediaTarget target = ClassifyUrl(url);
    switch (target.kind) {
    case MediaTarget::Kind::Nothing: IssueStop(wmppsStopped); break;
    case MediaTarget::Kind::Folder:
    case MediaTarget::Kind::Refused: IssueStop(wmppsReady); break;
    case MediaTarget::Kind::Play:
        if (LowerScheme(target.location).empty()) {
            // A local file may be a Windows Media playlist, which mpv does not read.
            if (auto entries = ParseWindowsMediaPlaylist(LocalHead(target.location), target.location)) {
                std::vector<std::string> candidates = PlaylistCandidates(*entries, true);
                if (candidates.empty()) IssueStop(wmppsReady);
                else IssueAddress(std::move(candidates));
                break;
            }
        }
        IssueAddress(Candidates(target.location));
        break;
    }
}

void MpvEngine::Stop() { IssueStop(wmppsStopped); }

void MpvEngine::IssueAddress(std::vector<std::string> candidates) {
    ++addressSeq_;
    candidates_ = std::move(candidates);
    const std::string scheme = candidates_.empty() ? std::string() : LowerScheme(candidates_.front());
    // An HTTP answer that mpv cannot play may be an ASX playlist or an ASF reference file.
    const bool http = candidates_.size() == 1 && (scheme == "http" || scheme == "https");
    tracker_.AddressIssued(candidates_.size(), !scheme.empty(), http);
    IssueLoad(candidates_.empty() ? std::string() : candidates_.front());
}

void MpvEngine::Follow() {
    switch (tracker_.TakeNext()) {
    case PlayStateTracker::Next::Nothing: break;
    case PlayStateTracker::Next::TryNext:
        if (tracker_.Candidate() < candidates_.size()) IssueLoad(candidates_[tracker_.Candidate()]);
        break;
    case PlayStateTracker::Next::Reconnect:
        reconnectTimer_.start(tracker_.ReconnectWaitMs());
        break;
    case PlayStateTracker::Next::LookInside:
        if (!candidates_.empty()) LookInside(candidates_.front());
        break;
    }
}

// On a thread of its own: the UI thread goes on while the server answers.
void MpvEngine::LookInside(const std::string& url) {
    watchdog_.stop();
    std::thread([mailbox = mailbox_, address = addressSeq_, url] {
        // Bounded by its time-outs; an engine gone meanwhile drops the answer.
        std::string body = FetchPlaylist(url, kConnectTimeoutMs);
        std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (MpvEngine* engine = mailbox->engine)
            QMetaObject::invokeMethod(engine, [engine, address, url, body = std::move(body)] {
                engine->Looked(address, url, body);
            }, Qt::QueuedConnection);
    }).detach();
}

void MpvEngine::Looked(uint64_t address, const std::string& url, const std::string& body) {
    if (address != addressSeq_) return;  // another address since, or a stop
    std::vector<std::string> candidates;
    if (auto entries = ParseWindowsMediaPlaylist(body, url)) candidates = PlaylistCandidates(*entries, false);
    if (!candidates.empty()) candidates_ = candidates;
    tracker_.Listed(candidates.size());
    Follow();
    Publish();
}

void MpvEngine::Reconnect() {
    if (tracker_.Candidate() < candidates_.size()) IssueLoad(candidates_[tracker_.Candidate()]);
    Publish();
}

void MpvEngine::ConnectWatchdog() {
    if (!tracker_.Connecting(watchedSeq_)) return;
    // Gives mpv's open up; what mpv says of it afterwards is ignored by the tracker.
    if (mpv_) {
        const char* args[] = {"stop", nullptr};
        mpv_command_async(mpv_.get(), 0, args);
    }
    tracker_.ConnectTimedOut();
    Follow();
    Publish();
}

void MpvEngine::PollStall() {
    double cached = 0;
    if (!mpv_ || mpv_get_property(mpv_.get(), "demuxer-cache-duration", MPV_FORMAT_DOUBLE, &cached) < 0) cached = 0;
    if (cachedSeconds_ >= 0) tracker_.SetInputIdle(cached <= cachedSeconds_ + 0.01);
    cachedSeconds_ = cached;
    Publish();
}

void MpvEngine::IssueLoad(const std::string& location) {
    const uint64_t seq = ++seq_;
    reconnectTimer_.stop();
    ClearVideo();
    tracker_.LoadIssued(seq);
    watchdog_.stop();
    if (!LowerScheme(location).empty()) {
        watchedSeq_ = seq;
        watchdog_.start();
    }
    const char* args[] = {"loadfile", location.c_str(), "replace", nullptr};
    if (!mpv_ || mpv_command_async(mpv_.get(), seq, args) < 0) {
        tracker_.CommandReplied(seq, false);
        QMetaObject::invokeMethod(this, &MpvEngine::Publish, Qt::QueuedConnection);
    }
}

// Asynchronous: a stalled open never holds the UI thread; the state follows mpv's reply.
void MpvEngine::IssueStop(int32_t finalState) {
    const uint64_t seq = ++seq_;
    ++addressSeq_;
    reconnectTimer_.stop();
    watchdog_.stop();
    ClearVideo();
    tracker_.StopIssued(seq, finalState);
    const char* args[] = {"stop", nullptr};
    if (!mpv_ || mpv_command_async(mpv_.get(), seq, args) < 0) {
        tracker_.CommandReplied(seq, true);
        QMetaObject::invokeMethod(this, &MpvEngine::Publish, Qt::QueuedConnection);
    }
}

void MpvEngine::SetVolume(int32_t volume) {
    volume_ = std::clamp(volume, 0, 100);
    if (!mpv_) return;
    double value = volume_;
    mpv_set_property_async(mpv_.get(), 0, "volume", MPV_FORMAT_DOUBLE, &value);
}

void MpvEngine::SetFullScreen(bool on) {
    if (on == fullScreen_) return;
    fullScreen_ = on;
    if (on) {
        if (!fullWindow_) {
            fullWindow_ = new VideoSurface(this, nullptr, true);
            fullWindow_->setWindowTitle(QStringLiteral(" "));
        }
        QScreen* screen = surface_ && surface_->screen() ? surface_->screen() : QGuiApplication::primaryScreen();
        if (screen) fullWindow_->setGeometry(screen->geometry());
        fullWindow_->showFullScreen();
        if (!Headless()) {  // the offscreen platform has no stacking or activation
            fullWindow_->raise();
            fullWindow_->activateWindow();
        }
        fullWindow_->setFocus();
    } else if (fullWindow_) {
        fullWindow_->hide();
    }
    if (surface_) surface_->update();
}

VideoSurface* MpvEngine::Target() const {
    if (fullScreen_ && fullWindow_) return fullWindow_;
    return surface_;
}

void MpvEngine::RenderUpdate() {
    renderPosted_ = false;
    if (!render_) return;
    const uint64_t flags = mpv_render_context_update(render_.get());
    // Frames that come after playback has ended would bring the last picture back.
    if (!(flags & MPV_RENDER_UPDATE_FRAME) || !LiveState(state_) || !tracker_.Showing()) return;
    if (VideoSurface* target = Target()) {
        RenderInto(target);
        target->update();
    }
}

void MpvEngine::RenderInto(VideoSurface* target) {
    if (!render_) return;
    const qreal dpr = target->devicePixelRatioF();
    if (!frame_.Fit(static_cast<int>(target->width() * dpr), static_cast<int>(target->height() * dpr))) return;
    int size[2] = {frame_.width, frame_.height};
    char format[] = "bgr0";  // bytes B G R x: QImage::Format_RGB32 on little-endian
    size_t stride = frame_.stride;
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},
        {MPV_RENDER_PARAM_SW_FORMAT, format},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride},
        {MPV_RENDER_PARAM_SW_POINTER, frame_.pixels.get()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(render_.get(), params) < 0) {
        frame_.valid = false;
        return;
    }
    // The x byte is left undefined by mpv; QImage::Format_RGB32 wants it 0xff.
    for (int y = 0; y < frame_.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(frame_.pixels.get() + frame_.stride * static_cast<size_t>(y));
        for (int x = 0; x < frame_.width; ++x) row[x] |= 0xff000000u;
    }
    frame_.valid = true;
}

void MpvEngine::Paint(VideoSurface* surface) {
    QPainter painter(surface);
    if (surface == Target() && frame_.valid) {
        const qreal dpr = surface->devicePixelRatioF();
        if (frame_.width != static_cast<int>(surface->width() * dpr) ||
            frame_.height != static_cast<int>(surface->height() * dpr))
            RenderInto(surface);
        if (frame_.valid) {
            QImage image(frame_.pixels.get(), frame_.width, frame_.height, static_cast<qsizetype>(frame_.stride),
                         QImage::Format_RGB32);
            image.setDevicePixelRatio(dpr);
            painter.drawImage(QPoint(0, 0), image);
            return;
        }
    }
    painter.fillRect(surface->rect(), Qt::black);
}

void MpvEngine::SurfaceResized(VideoSurface* surface) {
    if (surface == Target() && frame_.valid) surface->update();
}

void MpvEngine::ClearVideo() {
    frame_.valid = false;
    for (VideoSurface* s : {surface_.data(), fullWindow_.data()})
        if (s) s->update();
}

double MpvEngine::Position() const {
    double pos = -1;
    if (!mpv_ || mpv_get_property(mpv_.get(), "time-pos", MPV_FORMAT_DOUBLE, &pos) < 0) return -1;
    return pos;
}

std::unique_ptr<MediaEngine> CreateMpvEngine(QWidget* parent) { return std::make_unique<MpvEngine>(parent); }

}  // namespace orbiq::platform
