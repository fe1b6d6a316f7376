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
    Load, Stop, StopFolder,       // commands
    Reply, ReplyError, ReplyOld,  // reply to the latest command / to the one before it
    Start, Loaded, Restart, Seek,
    EndEof, EndStop, EndError, EndQuit, EndRedirect, EndRedirectEmpty,
    Pause, Unpause, CacheWait, CacheDone, Busy, Idle, IdleActive,
};

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
    }
    EXPECT_EQ(out.empty() ? 0 : out.back(), t.State());
    return out;
}

using E = Ev;
#define PLAYING E::Load, E::Reply, E::Start, E::Loaded, E::Restart, E::Busy

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
