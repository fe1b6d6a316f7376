// Files that are not regular files fail at once instead of blocking the caller.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <fcntl.h>
#include <thread>

#include "common/files.h"

namespace orbiq {
namespace {

TEST(FilesTest, AFifoInAFilesPlaceFailsAtOnce) {
    char folder[] = "/tmp/orbiq-files-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/iead.dll";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Text path = TextOfNativePath(folder) + Text("\\iead.dll");
    // Were a call to block, this opens the other end (for reading and for writing) after 3 s,
    // which lets it go on: the test then fails on the time instead of hanging.
    std::promise<void> checked;
    std::thread unblock([&, done = checked.get_future()] {
        if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready) return;
        int fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (fd >= 0) close(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ReadFileAt(path).empty());
    bool whole = false;
    EXPECT_TRUE(ReadFileHeadAt(path, 100, &whole).empty());
    EXPECT_FALSE(WriteFileAt(path, ByteSet{'x'}));
    EXPECT_FALSE(FileExists(path));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    checked.set_value();
    unblock.join();
    // A regular file reads back as written, whole or in part.
    const Text regular = TextOfNativePath(folder) + Text("\\a.txt");
    ASSERT_TRUE(WriteFileAt(regular, ByteSet{'a', 'b', 'c'}));
    ASSERT_TRUE(WriteFileAt(regular, ByteSet{'x', 'y'}));  // replaces, shorter
    EXPECT_EQ(ReadFileAt(regular), (ByteSet{'x', 'y'}));
    EXPECT_EQ(ReadFileHeadAt(regular, 1, &whole), (ByteSet{'x'}));
    EXPECT_FALSE(whole);
    EXPECT_EQ(ReadFileHeadAt(regular, 2, &whole), (ByteSet{'x', 'y'}));
    EXPECT_TRUE(whole);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace orbiq
