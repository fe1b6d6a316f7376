// Turns the engine's own commands and libmpv's events and properties into WMPPlayState values,
// and decides what follows an attempt that ended: the next address to try, a reconnect, or the end.
// Knows nothing of mpv handles, widgets or timers, so sequences of events can be fed to it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orbiq::platform {

class PlayStateTracker {
public:
    enum class EndReason { Eof, Stop, Quit, Error, Redirect };
    // What the engine does after an event.
    enum class Next {
        Nothing,
        TryNext,    // load Candidate() now (the previous one failed to open)
        Reconnect,  // wait ReconnectWaitMs(), then load Candidate() again
        LookInside, // fetch the address and look for a playlist in it; then Listed()
    };

    // Reconnects after a stream that played breaks, and the waits before them (ms): growing as
    // libavformat's HTTP reconnects grow theirs, capped so that a channel gone for good ends
    // within half a minute.
    static constexpr int kReconnects = 6;
    static constexpr int kReconnectWaitsMs[kReconnects] = {1000, 2000, 2000, 4000, 4000, 8000};

    // A new address: candidates are the locations tried in order until one opens (one for most
    // addresses); network streams that have played are reconnected when they break.
    // lookInside: when the address cannot be opened, the engine looks inside it for a playlist.
    void AddressIssued(size_t candidates, bool network, bool lookInside = false);
    // What the engine found inside the address: the number of entries to try (0: none).
    void Listed(size_t candidates);

    // Commands sent to mpv, each with its own sequence number (reply_userdata).
    void LoadIssued(uint64_t seq);
    // finalState: the state once mpv has carried the stop out (stopped, or ready for a folder).
    void StopIssued(uint64_t seq, int32_t finalState);
    void CommandReplied(uint64_t seq, bool ok);

    // mpv events.
    void StartFile();
    void FileLoaded();
    void PlaybackRestart();
    void Seek();
    // insertedEntries: playlist_insert_num_entries of the event (redirects).
    void EndFile(EndReason reason, int insertedEntries);

    // Observed properties.
    void SetPause(bool on);
    void SetPausedForCache(bool on);
    void SetCoreIdle(bool on);
    void SetIdleActive(bool on);
    void SetFixedLength(bool fixed);    // a file of known size, not a live format: its end is the real end
    void SetInputIdle(bool idle);       // the cache has not grown over the last second

    // The engine's connect watchdog: true while the latest load (seq) has brought no file yet.
    bool Connecting(uint64_t seq) const;
    // The connect of the latest load brought nothing in time: a failed open. The engine has
    // stopped mpv's open; nothing mpv still says of that load counts.
    void ConnectTimedOut();

    int32_t State() const { return state_; }
    // The file of the latest load is loaded: the frames mpv renders from now on are its own
    // (before file-loaded they may still be the old file's). Rendering must not wait for
    // playback-restart, which itself waits for the first frame to be rendered.
    bool Showing() const { return Active() && loaded_; }
    size_t Candidate() const { return candidate_; }
    int ReconnectWaitMs() const { return reconnects_ > 0 ? kReconnectWaitsMs[reconnects_ - 1] : 0; }
    Next TakeNext();
    // The states entered since the last call, in order (media ended is followed by stopped).
    std::vector<int32_t> TakeChanges();

private:
    enum class Intent { None, Load, Stop };

    bool Active() const { return intent_ == Intent::Load && replied_ && fileActive_; }
    void Derive();
    void Failed(std::vector<int32_t> finalStates);
    void Enter(int32_t state);

    Intent intent_ = Intent::None;
    uint64_t seq_ = 0;
    bool replied_ = false;
    int32_t stopFinal_ = 1;
    bool fileActive_ = false;  // a file of the current load has started and not ended
    bool loaded_ = false;
    bool restarted_ = false;
    bool pause_ = false;
    bool pausedForCache_ = false;
    bool coreIdle_ = true;
    bool fixedLength_ = false;
    bool inputIdle_ = false;
    // The address being played.
    size_t candidates_ = 1;
    size_t candidate_ = 0;
    bool network_ = false;
    bool lookInside_ = false;
    bool looking_ = false;  // the engine is fetching the address to look inside
    std::vector<int32_t> unlistedStates_;  // how the address ends when nothing is found inside
    bool played_ = false;     // reached playing since the address was issued
    int reconnects_ = 0;      // reconnects made since the stream last broke
    std::vector<int32_t> breakStates_;  // how the break would have ended without reconnects
    Next next_ = Next::Nothing;
    int32_t state_ = 0;
    std::vector<int32_t> changes_;
};

}  // namespace orbiq::platform
