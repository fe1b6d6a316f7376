// orbiq_jet_reader FILE: reads the user tables of a Jet file through mdbtools and writes
// them, serialized, to standard output. Runs as a child of the player so that a damaged
// file cannot take the player down.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include "platform/jet/jet_snapshot.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORBIQ_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ORBIQ_SANITIZED 1
#endif
#endif
#ifndef ORBIQ_SANITIZED
#define ORBIQ_SANITIZED 0
#endif

#if ORBIQ_SANITIZED
// The sanitizer's own memory limits stand in for the address-space limit, which would refuse
// its shadow memory.
extern "C" const char* __asan_default_options() { return "hard_rss_limit_mb=1024:max_allocation_size_mb=1024"; }
extern "C" const char* __tsan_default_options() { return "hard_rss_limit_mb=1024"; }
#endif

int main(int argc, char** argv) {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#if !ORBIQ_SANITIZED
    rlimit memory{1ul << 30, 1ul << 30};
    setrlimit(RLIMIT_AS, &memory);
#endif
    rlimit cpu{10, 10};
    setrlimit(RLIMIT_CPU, &cpu);
    if (argc != 2) return 2;
    // libmdb prints to standard output on some damaged files: keep that out of the snapshot.
    int out = fcntl(1, F_DUPFD_CLOEXEC, 3);
    int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (out < 0 || devNull < 0 || dup2(devNull, 1) < 0) return 1;
    close(devNull);

    orbiq::platform::JetSnapshot snapshot;
    if (!orbiq::platform::ReadJetSnapshotFile(argv[1], snapshot)) return 1;
    std::string bytes = orbiq::platform::SerializeJetSnapshot(snapshot);
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = write(out, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 1;
        done += static_cast<size_t>(n);
    }
    return 0;
}
