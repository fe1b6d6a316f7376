// Sequences of commands and mpv events fed to the play-state tracker, with the states they
// must produce. Covers the orderings that real mpv produces only by timing.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/media/play_state_tracker.h"

namespace orbiq::platform {
namespace {

enum class Ev {
    Net, Mms, Local, Http,        // a new address: one network candidate, three (mms://), a local file, HTTP
    ListedNone, ListedTwo,        // what the engine found inside the HTTP address
    Load, Stop, StopFolder,       // commands
    Reply, ReplyError, ReplyOld,  // reply to the latest command / to the one before it
    Start, Loaded, Restart, Seek,
    EndEof, EndStop, EndError, EndQuit, EndRedirect, EndRedirectEmpty,
    Pause, Unpause, CacheWait, CacheDone, Busy, Idle, IdleActive,
    NoInput, Input, Fixed,        // the cache not growing / growing; a file of known size
    TimedOut,                     // the engine's connect watchdog fired
};

// What the tracker tells the engine to do, shown among the states.
constexpr int32_t kTryNext = -1, kReconnect = -2, kLookInside = -3;

struct Case {
    const char* name;
    std::vector<Ev> events;
    std::vector<int32_t> states;
};

std::vector<int32_t> Feed(const std::vector<Ev>& events) {
    PlayStateTracker t;
    uint64_t seq = 0;
    std::vector<int32_t> out;
    using R = PlayStateTracker::EndReason;
    for (Ev e : events) {
        switch (e) {
        case Ev::Net: t.AddressIssued(1, true); break;
        case Ev::Mms: t.AddressIssued(3, true); break;
        case Ev::Local: t.AddressIssued(1, false); break;
        case Ev::Http: t.AddressIssued(1, true, true); break;
        case Ev::ListedNone: t.Listed(0); break;
        case Ev::ListedTwo: t.Listed(2); break;
        case Ev::NoInput: t.SetInputIdle(true); break;
        case Ev::Input: t.SetInputIdle(false); break;
        case Ev::Fixed: t.SetFixedLength(true); break;
        case Ev::TimedOut: t.ConnectTimedOut(); break;
        case Ev::Load: t.LoadIssued(++seq); break;
        case Ev::Stop: t.StopIssued(++seq, 1); break;
        case Ev::StopFolder: t.StopIssued(++seq, 10); break;
        case Ev::Reply: t.CommandReplied(seq, true); break;
        case Ev::ReplyError: t.CommandReplied(seq, false); break;
        case Ev::ReplyOld: t.CommandReplied(seq - 1, true); break;
        case Ev::Start: t.StartFile(); break;
        case Ev::Loaded: t.FileLoaded(); break;
        case Ev::Restart: t.PlaybackRestart(); break;
        case Ev::Seek: t.Seek(); break;
        case Ev::EndEof: t.EndFile(R::Eof, 0); break;
        case Ev::EndStop: t.EndFile(R::Stop, 0); break;
        case Ev::EndError: t.EndFile(R::Error, 0); break;
        case Ev::EndQuit: t.EndFile(R::Quit, 0); break;
        case Ev::EndRedirect: t.EndFile(R::Redirect, 2); break;
        case Ev::EndRedirectEmpty: t.EndFile(R::Redirect, 0); break;
        case Ev::Pause: t.SetPause(true); break;
        case Ev::Unpause: t.SetPause(false); break;
        case Ev::CacheWait: t.SetPausedForCache(true); break;
        case Ev::CacheDone: t.SetPausedForCache(false); break;
        case Ev::Busy: t.SetCoreIdle(false); break;
        case Ev::Idle: t.SetCoreIdle(true); break;
        case Ev::IdleActive: t.SetIdleActive(true); break;
        }
        for (int32_t s : t.TakeChanges()) out.push_back(s);
        switch (t.TakeNext()) {
        case PlayStateTracker::Next::Nothing: break;
        case PlayStateTracker::Next::TryNext: out.push_back(kTryNext); break;
        case PlayStateTracker::Next::Reconnect: out.push_back(kReconnect); break;
        case PlayStateTracker::Next::LookInside: out.push_back(kLookInside); break;
        }
    }
    int32_t last = 0;
    for (int32_t s : out)
        if (s >= 0) last = s;
    EXPECT_EQ(last, t.State());
    return out;
}

using E = Ev;
#define PLAYING E::Load, E::Reply, E::Start, E::Loaded, E::Restart, E::Busy

template <typename T>
std::vector<T> Join(std::initializer_list<std::vector<T>> parts) {
    std::vector<T> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
template <typename T>
std::vector<T> Repeat(const std::vector<T>& part, int times) {
    std::vector<T> out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), part.begin(), part.end());
    return out;
}
// A reconnect that finds the server still away.
const std::vector<Ev> kFailedAttempt = {E::Load, E::Reply, E::Start, E::EndError};

const Case kCases[] = {
    {"opens and plays", {PLAYING}, {9, 6, 3}},
    {"core-idle may report before playback-restart", {E::Load, E::Reply, E::Start, E::Loaded, E::Busy, E::Restart}, {9, 6, 3}},
    {"end of file: media ended, then stopped", {PLAYING, E::Idle, E::EndEof}, {9, 6, 3, 8, 1}},
    {"open fails: ready", {E::Load, E::Reply, E::Start, E::EndError}, {9, 10}},
    {"stream breaks after loading: stopped", {PLAYING, E::EndError}, {9, 6, 3, 1}},
    {"loadfile refused by mpv: ready", {E::Load, E::ReplyError}, {10}},
    {"cache runs dry and refills", {PLAYING, E::CacheWait, E::CacheDone}, {9, 6, 3, 6, 3}},
    {"pause and resume", {PLAYING, E::Pause, E::Unpause}, {9, 6, 3, 2, 3}},
    {"mpv-internal seek buffers until restart", {PLAYING, E::Seek, E::Restart}, {9, 6, 3, 6, 3}},
    {"stop while playing", {PLAYING, E::Stop, E::Reply, E::EndStop}, {9, 6, 3, 1}},
    {"stop when nothing plays", {E::Stop, E::Reply}, {1}},
    {"folder: ready", {E::StopFolder, E::Reply}, {10}},
    {"folder while playing: ready, the old file's end is ignored", {PLAYING, E::StopFolder, E::Reply, E::EndStop}, {9, 6, 3, 10}},
    // The replaced file's end-file comes after the reply to the new loadfile.
    {"new URL while playing goes straight to transitioning",
     {PLAYING, E::Load, E::Reply, E::EndStop, E::Start, E::Loaded, E::Restart}, {9, 6, 3, 9, 6, 3}},
    {"events of the old file before the reply are ignored",
     {PLAYING, E::Load, E::Idle, E::EndEof, E::Reply, E::Start}, {9, 6, 3, 9}},
    {"load then stop before the file started: stopped once the stop is answered",
     {E::Load, E::Stop, E::ReplyOld, E::Start, E::EndStop, E::Reply}, {1}},
    {"stop answered, old file ending later changes nothing", {PLAYING, E::Stop, E::Reply, E::EndEof}, {9, 6, 3, 1}},
    {"playlist redirect: the inserted entries play", {E::Load, E::Reply, E::Start, E::EndRedirect, E::Start, E::Loaded, E::Restart, E::Busy}, {9, 6, 3}},
    {"playlist redirect with no entries: ready", {E::Load, E::Reply, E::Start, E::EndRedirectEmpty}, {9, 10}},
    {"mpv idle with no file of ours running: ready", {E::Load, E::Reply, E::Start, E::EndRedirect, E::IdleActive}, {9, 10}},
    {"quit changes nothing", {PLAYING, E::EndQuit}, {9, 6, 3}},
    {"properties before any file change nothing", {E::Busy, E::Pause, E::CacheWait, E::IdleActive}, {}},

    // Live network streams.
    {"live stream ends after playing: reconnecting, then playing again",
     {E::Net, PLAYING, E::EndEof, E::Load, E::Reply, E::Start, E::Loaded, E::Restart},
     {9, 6, 3, 11, kReconnect, 9, 6, 3}},
    {"live stream breaks with an error: the same", {E::Net, PLAYING, E::EndError}, {9, 6, 3, 11, kReconnect}},
    {"file of known size ends: no reconnect", {E::Net, PLAYING, E::Fixed, E::EndEof}, {9, 6, 3, 8, 1}},
    {"local file ends: no reconnect", {E::Local, PLAYING, E::EndEof}, {9, 6, 3, 8, 1}},
    {"live stream that never played ends as before", {E::Net, E::Load, E::Reply, E::Start, E::EndEof}, {9, 8, 1}},
    {"every reconnect fails: the first break's end",
     Join<Ev>({{E::Net, PLAYING, E::EndEof}, Repeat(kFailedAttempt, PlayStateTracker::kReconnects)}),
     Join<int32_t>({{9, 6, 3, 11, kReconnect}, Repeat<int32_t>({9, 11, kReconnect}, PlayStateTracker::kReconnects - 1), {9, 8, 1}})},
    {"a reconnect that plays starts the count again",
     Join<Ev>({{E::Net, PLAYING, E::EndError}, kFailedAttempt, {PLAYING, E::EndError},
           Repeat(kFailedAttempt, PlayStateTracker::kReconnects)}),
     Join<int32_t>({{9, 6, 3, 11, kReconnect, 9, 11, kReconnect, 9, 6, 3, 11, kReconnect},
           Repeat<int32_t>({9, 11, kReconnect}, PlayStateTracker::kReconnects - 1), {9, 1}})},
    {"watchdog during a reconnect counts as a failed attempt",
     {E::Net, PLAYING, E::EndError, E::Load, E::Reply, E::Start, E::TimedOut}, {9, 6, 3, 11, kReconnect, 9, 11, kReconnect}},
    {"stop during a reconnect wait: stopped, nothing more",
     {E::Net, PLAYING, E::EndError, E::Stop, E::Reply, E::IdleActive}, {9, 6, 3, 11, kReconnect, 1}},
    {"idle mpv during a reconnect wait changes nothing", {E::Net, PLAYING, E::EndError, E::IdleActive},
     {9, 6, 3, 11, kReconnect}},
    {"cache runs dry with no byte arriving: waiting, then buffering when bytes come, then playing",
     {E::Net, PLAYING, E::CacheWait, E::NoInput, E::Input, E::CacheDone}, {9, 6, 3, 6, 7, 6, 3}},
    {"the next stall starts as buffering", {E::Net, PLAYING, E::CacheWait, E::NoInput, E::CacheDone, E::CacheWait},
     {9, 6, 3, 6, 7, 3, 6}},
    {"no byte at the first connect is not waiting", {E::Net, E::Load, E::Reply, E::Start, E::Loaded, E::CacheWait, E::NoInput},
     {9, 6}},

    // Candidates tried in turn.
    {"first candidate fails: the next is tried without a state of its own",
     {E::Mms, E::Load, E::Reply, E::Start, E::EndError, E::Load, E::Reply, E::Start, E::Loaded, E::Restart, E::Busy},
     {9, kTryNext, 6, 3}},
    {"every candidate fails to connect in time: ready",
     {E::Mms, E::Load, E::Reply, E::Start, E::TimedOut, E::Load, E::Reply, E::Start, E::TimedOut,
      E::Load, E::Reply, E::Start, E::TimedOut},
     {9, kTryNext, kTryNext, 10}},
    {"watchdog before mpv answered the load", {E::Net, E::Load, E::TimedOut, E::Reply, E::Start}, {10}},
    {"watchdog once the file is loaded does nothing", {E::Net, E::Load, E::Reply, E::Start, E::Loaded, E::TimedOut}, {9, 6}},
    {"HTTP answer mpv cannot open: looked into, the entries found are tried in turn",
     {E::Http, E::Load, E::Reply, E::Start, E::EndError, E::ListedTwo, E::Load, E::Reply, E::Start, E::EndError,
      E::Load, E::Reply, E::Start, E::Loaded, E::Restart, E::Busy},
     {9, kLookInside, kTryNext, kTryNext, 6, 3}},
    {"HTTP answer with no playlist inside: ready, mpv idle meanwhile changes nothing",
     {E::Http, E::Load, E::Reply, E::Start, E::EndError, E::IdleActive, E::ListedNone},
     {9, kLookInside, 10}},
    {"every entry found inside fails: ready, looked into once",
     {E::Http, E::Load, E::Reply, E::Start, E::EndError, E::ListedTwo, E::Load, E::Reply, E::Start, E::EndError,
      E::Load, E::Reply, E::Start, E::EndError},
     {9, kLookInside, kTryNext, kTryNext, 10}},
    {"HTTP server that never answers is not looked into", {E::Http, E::Load, E::Reply, E::Start, E::TimedOut}, {9, 10}},
    {"a candidate that loaded then broke before playing ends the address",
     {E::Mms, E::Load, E::Reply, E::Start, E::Loaded, E::EndError}, {9, 6, 1}},
};

class TrackerSequence : public testing::TestWithParam<Case> {};

TEST_P(TrackerSequence, ProducesTheStates) {
    EXPECT_EQ(Feed(GetParam().events), GetParam().states);
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p)
        name += (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(PlayStateTracker, TrackerSequence, testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace orbiq::platform
