// Turns the engine's own commands and libmpv's events and properties into WMPPlayState values.
// Knows nothing of mpv handles or widgets, so sequences of events can be fed to it directly.
#pragma once

#include <cstdint>
#include <vector>

namespace orbiq::platform {

class PlayStateTracker {
public:
    enum class EndReason { Eof, Stop, Quit, Error, Redirect };

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

    int32_t State() const { return state_; }
    // The states entered since the last call, in order (media ended is followed by stopped).
    std::vector<int32_t> TakeChanges();

private:
    enum class Intent { None, Load, Stop };

    bool Active() const { return intent_ == Intent::Load && replied_ && fileActive_; }
    void Derive();
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
    int32_t state_ = 0;
    std::vector<int32_t> changes_;
};

}  // namespace orbiq::platform
