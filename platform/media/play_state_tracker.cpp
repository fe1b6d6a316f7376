#include "platform/media/play_state_tracker.h"

#include "platform/media/media_engine.h"

namespace orbiq::platform {

// How mpv's events and properties become play states.
//
// Only events that belong to the latest command count: events that arrive before the reply
// to the latest loadfile/stop belong to what was playing before, and so does an end-file
// that arrives after that reply but before the next start-file (the replaced file ending).
//
// | mpv                                         | play state                                  |
// |---------------------------------------------|---------------------------------------------|
// | start-file                                  | 9 transitioning                             |
// | file-loaded, until playback-restart         | 6 buffering                                 |
// | seek (mpv-internal), until playback-restart | 6 buffering                                 |
// | paused-for-cache yes                        | 6 buffering                                 |
// | pause yes                                   | 2 paused                                    |
// | playback-restart done, core-idle no         | 3 playing                                   |
// | core-idle yes with none of the above        | unchanged (mpv is at the end of the file)   |
// | end-file EOF                                | 8 media ended, then 1 stopped               |
// | end-file ERROR before file-loaded           | 10 ready (could not open)                   |
// | end-file ERROR after file-loaded            | 1 stopped (the stream broke)                |
// | end-file STOP                               | 1 stopped                                   |
// | end-file REDIRECT, entries inserted         | unchanged (the entries start next)          |
// | end-file REDIRECT, nothing inserted         | 10 ready                                    |
// | end-file QUIT                               | unchanged (the engine is going away)        |
// | idle-active yes, no file running            | 10 ready, if still in 2, 3, 6 or 9          |
// | reply to loadfile with an error             | 10 ready                                    |
// | reply to our stop (empty URL, controls.stop)| 1 stopped                                   |
// | reply to our stop for a local folder        | 10 ready                                    |
//
// Never produced: 0 after the first change, 4, 5, 7, 11, 12 (mpv has no scanning, waiting or
// reconnecting phase of its own).

void PlayStateTracker::LoadIssued(uint64_t seq) {
    intent_ = Intent::Load;
    seq_ = seq;
    replied_ = false;
    fileActive_ = false;
    loaded_ = false;
    restarted_ = false;
}

void PlayStateTracker::StopIssued(uint64_t seq, int32_t finalState) {
    intent_ = Intent::Stop;
    seq_ = seq;
    replied_ = false;
    fileActive_ = false;
    stopFinal_ = finalState;
}

void PlayStateTracker::CommandReplied(uint64_t seq, bool ok) {
    if (seq != seq_ || replied_) return;
    replied_ = true;
    if (intent_ == Intent::Stop) Enter(stopFinal_);
    else if (intent_ == Intent::Load && !ok) Enter(wmppsReady);
}

void PlayStateTracker::StartFile() {
    if (intent_ != Intent::Load || !replied_) return;
    fileActive_ = true;
    loaded_ = false;
    restarted_ = false;
    Enter(wmppsTransitioning);
}

void PlayStateTracker::FileLoaded() {
    if (!Active()) return;
    loaded_ = true;
    Derive();
}

void PlayStateTracker::PlaybackRestart() {
    if (!Active()) return;
    restarted_ = true;
    Derive();
}

void PlayStateTracker::Seek() {
    if (!Active()) return;
    restarted_ = false;
    Derive();
}

void PlayStateTracker::EndFile(EndReason reason, int insertedEntries) {
    if (!Active()) return;
    fileActive_ = false;
    switch (reason) {
    case EndReason::Eof:
        Enter(wmppsMediaEnded);
        Enter(wmppsStopped);
        break;
    case EndReason::Error:
        Enter(loaded_ ? wmppsStopped : wmppsReady);
        break;
    case EndReason::Stop:
        Enter(wmppsStopped);
        break;
    case EndReason::Redirect:
        if (insertedEntries <= 0) Enter(wmppsReady);
        break;
    case EndReason::Quit:
        break;
    }
}

void PlayStateTracker::SetPause(bool on) {
    pause_ = on;
    if (Active()) Derive();
}

void PlayStateTracker::SetPausedForCache(bool on) {
    pausedForCache_ = on;
    if (Active()) Derive();
}

void PlayStateTracker::SetCoreIdle(bool on) {
    coreIdle_ = on;
    if (Active()) Derive();
}

void PlayStateTracker::SetIdleActive(bool on) {
    if (!on || intent_ != Intent::Load || !replied_ || fileActive_) return;
    if (state_ == wmppsPaused || state_ == wmppsPlaying || state_ == wmppsBuffering ||
        state_ == wmppsTransitioning)
        Enter(wmppsReady);
}

std::vector<int32_t> PlayStateTracker::TakeChanges() {
    std::vector<int32_t> out;
    out.swap(changes_);
    return out;
}

void PlayStateTracker::Derive() {
    if (!loaded_) Enter(wmppsTransitioning);
    else if (pause_) Enter(wmppsPaused);
    else if (pausedForCache_ || !restarted_) Enter(wmppsBuffering);
    else if (!coreIdle_) Enter(wmppsPlaying);
}

void PlayStateTracker::Enter(int32_t state) {
    if (state == state_) return;
    state_ = state;
    changes_.push_back(state);
}

}  // namespace orbiq::platform
