// A media engine whose play states a test scripts: every read of PlayState takes the next
// scripted value (the last one repeats), and every URL written is recorded.
#pragma once

#include <QPointer>
#include <QWidget>

#include <algorithm>

#include <deque>
#include <vector>

#include "platform/media/media_engine.h"

namespace orbiq::test {

class ScriptedEngine : public platform::MediaEngine {
public:
    explicit ScriptedEngine(QWidget* parent) : surface_(new QWidget(parent)) {}
    ~ScriptedEngine() override { delete surface_.data(); }

    void SetUrl(const Text& url) override { url_ = url; urls.push_back(url); }
    Text Url() const override { return url_; }
    int32_t PlayState() const override {
        ++reads;
        if (script.empty()) return last;
        last = script.front();
        if (script.size() > 1 || !repeatLast) script.pop_front();
        return last;
    }
    void SetFullScreen(bool on) override { fullScreen = on; }
    bool FullScreen() const override { return fullScreen; }
    void Stop() override { ++stops; }
    void SetVolume(int32_t v) override { volume = std::clamp(v, 0, 100); }
    int32_t Volume() const override { return volume; }
    QWidget* Widget() override { return surface_; }

    // Scripts the values the next reads return, then raises the event.
    void Raise(std::vector<int32_t> values) {
        script.assign(values.begin(), values.end());
        emit PlayStateChange(values.empty() ? last : values.front());
    }

    mutable std::deque<int32_t> script;
    mutable int32_t last = 0;
    mutable int reads = 0;
    bool repeatLast = true;
    std::vector<Text> urls;
    bool fullScreen = false;
    int stops = 0;
    int32_t volume = 100;

private:
    QPointer<QWidget> surface_;
    Text url_;
};

}  // namespace orbiq::test
