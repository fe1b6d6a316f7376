#include "platform/ui/media_unit.h"

#include <algorithm>

#include "platform/ui/media_player.h"

#include <QMouseEvent>
#include <QVBoxLayout>

#ifdef ORBIQ_WITH_MEDIA
#include "platform/media/media_engine.h"
#define ORBIQ_HAVE_MEDIA 1
#else
#define ORBIQ_HAVE_MEDIA 0
namespace orbiq::platform {
class MediaEngine {};
}
#endif

namespace orbiq::platform {
namespace {

MediaEngineFactory& Factory() {
    static MediaEngineFactory factory;
    return factory;
}

// The black surface the engine's video sits in; right presses are the unit's.
class PlayerSurface : public QWidget {
public:
    PlayerSurface(QWidget* parent, std::function<void(int, int)> right) : QWidget(parent), right_(std::move(right)) {
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::black);
        setPalette(pal);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::RightButton) right_(static_cast<int>(e->position().x()), static_cast<int>(e->position().y()));
    }

private:
    std::function<void(int, int)> right_;
};

class MediaPlayerUnit : public Unit {
public:
    using Unit::Unit;
    QWidget* Widget() override { return surface_; }
    void Build(QWidget* parent) override {
        volume_ = description_.value("volume").toInt(100);
        surface_ = new PlayerSurface(parent, [this](int x, int y) { Raise("RightButtonDown", {x, y, 2}); });
        surface_->setObjectName(QString::fromStdString(name_));
        auto* layout = new QVBoxLayout(surface_);
        layout->setContentsMargins(0, 0, 0, 0);
#if ORBIQ_HAVE_MEDIA
        if (Factory()) engine_ = Factory()(surface_);
        else engine_ = CreateMpvEngine(surface_);
        if (engine_) {
            if (QWidget* video = engine_->Widget()) layout->addWidget(video);
            QObject::connect(engine_.get(), &MediaEngine::PlayStateChange, surface_,
                             [this](int state) { Raise("PlayStateChange", {state}); });
            QObject::connect(engine_.get(), &MediaEngine::RightButtonDown, surface_,
                             [this](int x, int y, int flags) { Raise("RightButtonDown", {x, y, flags}); });
            engine_->SetVolume(volume_);
        }
#endif
        ApplyCommon();
    }
    PropValue Get(Prop p) override {
#if ORBIQ_HAVE_MEDIA
        if (engine_) {
            if (p == Prop::URL) return engine_->Url();
            if (p == Prop::PlayState) return engine_->PlayState();
            if (p == Prop::FullScreen) return engine_->FullScreen();
            if (p == Prop::Volume) return engine_->Volume();
        }
#endif
        if (p == Prop::Volume) return volume_;
        if (p == Prop::URL) return url_;
        if (p == Prop::PlayState) return int32_t{0};
        if (p == Prop::FullScreen) return false;
        return Unit::Get(p);
    }
    bool Set(Prop p, const PropValue& v) override {
        if (p == Prop::URL) {
            auto t = std::get_if<Text>(&v);
            url_ = t ? *t : Text();
#if ORBIQ_HAVE_MEDIA
            if (engine_) engine_->SetUrl(url_);
#endif
            return true;
        }
        if (p == Prop::Volume) {
            volume_ = std::clamp(std::get_if<int32_t>(&v) ? std::get<int32_t>(v) : 0, 0, 100);
#if ORBIQ_HAVE_MEDIA
            if (engine_) engine_->SetVolume(volume_);
#endif
            return true;
        }
        if (p == Prop::FullScreen) {
#if ORBIQ_HAVE_MEDIA
            if (engine_) engine_->SetFullScreen(std::get_if<bool>(&v) ? std::get<bool>(v) : false);
#endif
            return true;
        }
        return Unit::Set(p, v);
    }
    MediaEngine* engine() { return engine_.get(); }
    void Stop() {
#if ORBIQ_HAVE_MEDIA
        if (engine_) engine_->Stop();
#endif
    }

    ~MediaPlayerUnit() override {
        // The engine's widget lives in the surface; release the engine first.
        engine_.reset();
    }

private:
    PlayerSurface* surface_ = nullptr;
    std::unique_ptr<MediaEngine> engine_;
    Text url_;
    int32_t volume_ = 100;
};

}  // namespace

std::unique_ptr<Unit> CreateMediaPlayerUnit(Window* window, const QJsonObject& description) {
    return std::make_unique<MediaPlayerUnit>(window, description);
}

MediaEngine* MediaPlayerOf(const UnitRef& ref) {
    auto* u = dynamic_cast<MediaPlayerUnit*>(FindUnit(ref));
    return u ? u->engine() : nullptr;
}

void IWMPControls::stop() const {
    if (auto* u = dynamic_cast<MediaPlayerUnit*>(FindUnit(player_))) u->Stop();
}

void SetMediaEngineFactory(MediaEngineFactory factory) { Factory() = std::move(factory); }

}  // namespace orbiq::platform
