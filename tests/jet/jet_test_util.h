// Test helpers: a scratch folder, files from byte sets, running a command for its output.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text.h"

namespace orbiq::test {

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbiq-jet-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    // Writes the bytes to a file in the folder and gives its path.
    std::string Write(const std::string& name, const ByteSet& bytes) const {
        std::string file = path_ + "/" + name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Standard output of a shell command (UTF-8 from mdbtools). The command runs under a UTF-8
// locale whatever the test's own, since the mdbtools programs take Chinese table names.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* p = popen(("export LC_ALL=C.UTF-8; " + command).c_str(), "r");
    if (!p) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    pclose(p);
    return out;
}

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q.push_back(c);
    }
    return q + "'";
}

}  // namespace orbiq::test
