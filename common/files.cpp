#include "common/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
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
    std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int64_t FileSizeAt(const Text& path) {
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool CreateFolderAt(const Text& path) { return ::mkdir(NativePath(path).c_str(), 0755) == 0; }

ByteSet ReadFileAt(const Text& path) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) return {};
    return ByteSet(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ByteSet ReadFileHeadAt(const Text& path, size_t maxBytes, bool* whole) {
    if (whole) *whole = true;
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) return {};
    ByteSet bytes(maxBytes + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    if (whole) *whole = got <= maxBytes;
    bytes.resize(std::min(got, maxBytes));
    return bytes;
}

}  // namespace orbiq
