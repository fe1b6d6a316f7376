#include "common/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace orbiq {

std::string NativePath(const Text& path) {
    std::string s = GbkToUtf8(path.Bytes());
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        char d = c == '\\' ? '/' : c;
        if (d == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(d);
    }
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
