// Files that are not regular files fail at once instead of blocking the caller.
#include <gtest/gtest.h>

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
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

// A helper is taken from beside the program whenever it is there as asked; the folder a test
// names is only the next place to look, and a helper found nowhere is named beside the program.
TEST(FilesTest, HelpersComeFromBesideTheProgramFirst) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const std::string programFolder = std::filesystem::path(std::string(self, n)).parent_path();
    char other[] = "/tmp/orbiq-helpers-XXXXXX";
    ASSERT_NE(mkdtemp(other), nullptr);
    const std::string name = "orbiq-helper-" + std::to_string(getpid());
    const std::string beside = programFolder + "/" + name, elsewhere = std::string(other) + "/" + name;
    auto put = [](const std::string& path, mode_t mode) {
        std::filesystem::remove(path);
        if (mode == 0) return;
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        chmod(path.c_str(), mode);
    };
    struct Case {
        const char* what;
        mode_t besideMode, elsewhereMode;  // 0: no such file
        int access;
        bool named;  // a folder named with SetHelperFolder
        const std::string& expected;
    } cases[] = {
        {"beside and elsewhere", 0755, 0755, X_OK, true, beside},
        {"beside but not runnable", 0644, 0755, X_OK, true, elsewhere},
        {"beside, readable is enough", 0644, 0755, R_OK, true, beside},
        {"elsewhere only", 0, 0755, X_OK, true, elsewhere},
        {"elsewhere, no folder named", 0, 0755, X_OK, false, beside},
        {"nowhere", 0, 0, X_OK, true, beside},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        put(beside, c.besideMode);
        put(elsewhere, c.elsewhereMode);
        SetHelperFolder(c.named ? other : "");
        EXPECT_EQ(BesideProgram(name.c_str(), c.access), c.expected);
    }
    std::filesystem::remove(beside);
    std::filesystem::remove_all(other);
}

}  // namespace
}  // namespace orbiq
