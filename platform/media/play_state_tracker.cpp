#include "platform/media/play_state_tracker.h"

#include <utility>

#include "platform/media/media_engine.h"

namespace orbiq::platform {

// How mpv's events and properties become play states.
//
// Only events that belong to the latest command count: events that arrive before the reply
// to the latest loadfile/stop belong to what was playing before, and so does an end-file
// that arrives after that reply but before the next start-file (the replaced file ending).
//
// An address is tried as a list of candidates (the engine's: mms:// rolls over to mmst://,
// rtsp://, mmsh://; an ASX or ASF reference file gives its entries). A network stream is
// live unless it is a file of known size (HLS is live whatever its size: the size is that of
// its playlist); a live stream that has reached playing and then ends or breaks is
// reconnected, up to kReconnects times with the waits of kReconnectWaitsMs.
//
// | mpv                                           | play state                                   |
// |-----------------------------------------------|----------------------------------------------|
// | start-file                                    | 9 transitioning                              |
// | file-loaded, until playback-restart           | 6 buffering                                  |
// | seek (mpv-internal), until playback-restart   | 6 buffering                                  |
// | paused-for-cache yes, bytes arriving          | 6 buffering                                  |
// | paused-for-cache yes, the cache not grown for | 7 waiting                                    |
// |   1 s (the engine looks), after the address   |                                              |
// |   has played                                  |                                              |
// | pause yes                                     | 2 paused                                     |
// | playback-restart done, core-idle no           | 3 playing (the reconnect count starts again) |
// | core-idle yes with none of the above          | unchanged (mpv is at the end of the file)    |
// | end-file EOF, local or fixed-length file      | 8 media ended, then 1 stopped                |
// | end-file EOF, live stream that never played   | 8 media ended, then 1 stopped                |
// | end-file ERROR before file-loaded             | 10 ready (could not open)                    |
// | end-file ERROR after file-loaded (not a live  | 1 stopped (the stream broke)                 |
// |   stream that played: see below)              |                                              |
// | connect watchdog: no file-loaded within the   | as end-file ERROR before file-loaded; the    |
// |   engine's connect time-out (every protocol)  |   engine stops mpv's open                    |
// | failed open, another candidate left           | unchanged (9); the next candidate is loaded  |
// | failed open of an HTTP address, none left     | unchanged (9) while the engine fetches it;   |
// |                                               |   an ASX or ASF reference inside gives the   |
// |                                               |   candidates, else as the failure says       |
// | live stream that played: EOF or ERROR or      | 11 reconnecting; after the wait the same     |
// |   watchdog, a reconnect left                  |   candidate goes through 9, 6, 3 again       |
// | the same with every reconnect used            | what the first break would have given        |
// |                                               |   (8 then 1, or 1)                           |
// | end-file STOP                                 | 1 stopped                                    |
// | end-file REDIRECT, entries inserted           | unchanged (the entries start next)           |
// | end-file REDIRECT, nothing inserted           | 10 ready                                     |
// | end-file QUIT                                 | unchanged (the engine is going away)         |
// | idle-active yes, no file running, the engine  | 10 ready, if still in 2, 3, 6, 7 or 9        |
// |   not looking inside the address              |                                              |
// | reply to loadfile with an error               | 10 ready                                     |
// | reply to our stop (empty URL, controls.stop)  | 1 stopped                                    |
// | reply to our stop for a local folder          | 10 ready                                     |
//
// A stop or a new address cancels a reconnect wait (the engine drops its timer). Local files
// and streams of known length end as they are: no reconnect.
//
// Never produced: 0 after the first change, 4, 5, 12 (mpv has no scanning phase).

void PlayStateTracker::AddressIssued(size_t candidates, bool network, bool lookInside) {
    candidates_ = candidates > 0 ? candidates : 1;
    candidate_ = 0;
    network_ = network;
    lookInside_ = lookInside;
    looking_ = false;
    played_ = false;
    reconnects_ = 0;
    breakStates_.clear();
    next_ = Next::Nothing;
}

void PlayStateTracker::LoadIssued(uint64_t seq) {
    intent_ = Intent::Load;
    seq_ = seq;
    replied_ = false;
    fileActive_ = false;
    loaded_ = false;
    restarted_ = false;
    fixedLength_ = false;
    inputIdle_ = false;
}

void PlayStateTracker::StopIssued(uint64_t seq, int32_t finalState) {
    intent_ = Intent::Stop;
    seq_ = seq;
    replied_ = false;
    fileActive_ = false;
    stopFinal_ = finalState;
    next_ = Next::Nothing;
    looking_ = false;
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
        if (!network_ || fixedLength_) {
            Enter(wmppsMediaEnded);
            Enter(wmppsStopped);
        } else {
            Failed({wmppsMediaEnded, wmppsStopped});
        }
        break;
    case EndReason::Error:
        Failed({loaded_ ? wmppsStopped : wmppsReady});
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

bool PlayStateTracker::Connecting(uint64_t seq) const {
    return seq == seq_ && intent_ == Intent::Load && !loaded_ && (!replied_ || fileActive_);
}

void PlayStateTracker::ConnectTimedOut() {
    if (intent_ != Intent::Load || loaded_) return;
    intent_ = Intent::None;  // whatever mpv still says of this load is ignored
    fileActive_ = false;
    lookInside_ = false;     // a server that never answers has nothing to look into
    Failed({wmppsReady});
}

void PlayStateTracker::Failed(std::vector<int32_t> finalStates) {
    if (network_ && played_) {
        if (reconnects_ == 0) breakStates_ = std::move(finalStates);
        if (reconnects_ < kReconnects) {
            ++reconnects_;
            Enter(wmppsReconnecting);
            next_ = Next::Reconnect;
            return;
        }
        for (int32_t s : breakStates_) Enter(s);
        return;
    }
    if (!played_ && !loaded_ && candidate_ + 1 < candidates_) {
        ++candidate_;
        next_ = Next::TryNext;
        return;
    }
    if (!played_ && !loaded_ && lookInside_) {
        lookInside_ = false;
        looking_ = true;
        unlistedStates_ = std::move(finalStates);
        next_ = Next::LookInside;
        return;
    }
    for (int32_t s : finalStates) Enter(s);
}

void PlayStateTracker::Listed(size_t candidates) {
    looking_ = false;
    if (candidates == 0) {
        for (int32_t s : unlistedStates_) Enter(s);
        return;
    }
    candidates_ = candidates;
    candidate_ = 0;
    next_ = Next::TryNext;
}

void PlayStateTracker::SetPause(bool on) {
    pause_ = on;
    if (Active()) Derive();
}

void PlayStateTracker::SetPausedForCache(bool on) {
    if (on && !pausedForCache_) inputIdle_ = false;  // until the engine has looked at the cache
    pausedForCache_ = on;
    if (Active()) Derive();
}

void PlayStateTracker::SetCoreIdle(bool on) {
    coreIdle_ = on;
    if (Active()) Derive();
}

void PlayStateTracker::SetIdleActive(bool on) {
    if (!on || intent_ != Intent::Load || !replied_ || fileActive_ || looking_) return;
    if (state_ == wmppsPaused || state_ == wmppsPlaying || state_ == wmppsBuffering ||
        state_ == wmppsTransitioning || state_ == wmppsWaiting)
        Enter(wmppsReady);
}

void PlayStateTracker::SetFixedLength(bool fixed) { fixedLength_ = fixed; }

void PlayStateTracker::SetInputIdle(bool idle) {
    inputIdle_ = idle;
    if (Active()) Derive();
}

PlayStateTracker::Next PlayStateTracker::TakeNext() { return std::exchange(next_, Next::Nothing); }

std::vector<int32_t> PlayStateTracker::TakeChanges() {
    std::vector<int32_t> out;
    out.swap(changes_);
    return out;
}

void PlayStateTracker::Derive() {
    if (!loaded_) Enter(wmppsTransitioning);
    else if (pause_) Enter(wmppsPaused);
    else if (pausedForCache_ && inputIdle_ && played_) Enter(wmppsWaiting);
    else if (pausedForCache_ || !restarted_) Enter(wmppsBuffering);
    else if (!coreIdle_) {
        played_ = true;
        reconnects_ = 0;
        Enter(wmppsPlaying);
    }
}

void PlayStateTracker::Enter(int32_t state) {
    if (state == state_) return;
    state_ = state;
    changes_.push_back(state);
}

}  // namespace orbiq::platform
