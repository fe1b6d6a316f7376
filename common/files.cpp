#include "common/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>

namespace orbiq {

namespace {

std::mutex gNativeMutex;
// Texts of native paths that their GBK form does not hold, with the native bytes.
std::map<std::string, std::string>& NativeRoots() {
    static std::map<std::string, std::string> roots;
    return roots;
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

// Only regular files are read or written: a FIFO or a device in a file's place would block
// the caller (opened with O_NONBLOCK, a FIFO without a writer or reader fails or opens at once).
bool IsRegularFile(int fd) {
    struct stat st {};
    return fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Appends a GBK path's part: "\" -> "/", doubled separators folded.
void AppendConverted(std::string& out, const std::string& gbk) {
    for (char c : GbkToUtf8(gbk)) {
        char d = c == '\\' ? '/' : c;
        if (d == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(d);
    }
}

}  // namespace

Text TextOfNativePath(const std::string& native) {
    Text text = Text::FromUtf8(native);
    if (GbkToUtf8(text.Bytes()) != native) {
        std::lock_guard lock(gNativeMutex);
        NativeRoots()[text.Bytes()] = native;  // a later path of the same text takes its place
    }
    return text;
}

std::string NativePath(const Text& path) {
    const std::string& bytes = path.Bytes();
    std::string out;
    size_t rest = 0;
    {
        std::lock_guard lock(gNativeMutex);
        const std::string* root = nullptr;
        for (const auto& [key, native] : NativeRoots()) {
            // A whole leading name: the text ends there or goes on with a separator.
            if (key.size() <= rest || bytes.compare(0, key.size(), key) != 0) continue;
            if (bytes.size() > key.size() && !IsSeparator(bytes[key.size()])) continue;
            rest = key.size();
            root = &native;
        }
        if (root) out = *root;
    }
    AppendConverted(out, bytes.substr(rest));
    return out;
}

bool FileExists(const Text& path) {
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFileAt(const Text& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool WriteFileAt(const Text& path, const ByteSet& bytes) {
    // No O_TRUNC before the type is known: a device keeps its content.
    Fd file{::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644)};
    if (!IsRegularFile(file.fd) || ::ftruncate(file.fd, 0) != 0) return false;
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(file.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

int64_t FileSizeAt(const Text& path) {
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool CreateFolderAt(const Text& path) { return ::mkdir(NativePath(path).c_str(), 0755) == 0; }

ByteSet ReadFileAt(const Text& path) { return ReadFileHeadAt(path, SIZE_MAX - 1); }

ByteSet ReadFileHeadAt(const Text& path, size_t maxBytes, bool* whole) {
    if (whole) *whole = true;
    Fd file{::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (!IsRegularFile(file.fd)) return {};
    ByteSet bytes;
    char buffer[65536];
    for (;;) {
        const size_t room = maxBytes + 1 - bytes.size();  // one byte past the limit tells "not whole"
        ssize_t n = ::read(file.fd, buffer, std::min(sizeof buffer, room));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > maxBytes) break;
    }
    if (bytes.size() > maxBytes) {
        if (whole) *whole = false;
        bytes.resize(maxBytes);
    }
    return bytes;
}

namespace {

std::string& HelperFolder() {
    static std::string folder;
    return folder;
}

}  // namespace

void SetHelperFolder(const std::string& folder) { HelperFolder() = folder; }

std::string BesideProgram(const char* name, int mode) {
    std::string beside;
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        beside.assign(self, static_cast<size_t>(n));
        beside.erase(beside.find_last_of('/') + 1);
        beside += name;
        if (access(beside.c_str(), mode) == 0) return beside;
    }
    if (!HelperFolder().empty()) {
        const std::string other = HelperFolder() + "/" + name;
        if (access(other.c_str(), mode) == 0) return other;
    }
    return beside;  // missing: a failure to start or load it names where it should be (empty when unknown)
}

}  // namespace orbiq
