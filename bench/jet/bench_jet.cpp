// Open + fill of the built-in catalogue, as the start-up does it: open with the password
// (header check, reader process, hand-over), the categories statement and one channels
// statement per category. Prints the median and worst of many runs, and the same read
// done in-process (libmdb alone) for comparison.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/jet/jet_database.h"
#include "platform/jet/jet_snapshot.h"
#include "tools/jetwriter/builtin_catalogue.h"

using namespace orbiq;
using Clock = std::chrono::steady_clock;

namespace {

int Fill(platform::JetDatabase& db) {
    std::vector<Text> roots;
    auto rs = db.Query(TXT("select * from 电视分类 "));
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) roots.push_back(rs.Field(1));
    int items = static_cast<int>(roots.size());
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) {
        auto ch = db.Query(TXT("select * from 电视列表 where 分类='") + platform::JetQuoteValue(*it) + Text("'"));
        for (ch.MoveFirst(); !ch.AtEnd(); ch.MoveNext()) ++items;
    }
    return items;
}

void Report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %.2f ms  p90 %.2f ms  max %.2f ms  (%zu runs)\n", what, ms[ms.size() / 2],
                ms[ms.size() * 9 / 10], ms.back(), ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    auto file = (std::filesystem::temp_directory_path() / "orbiq-bench-iead.dll").string();
    {
        const ByteSet& bytes = BuiltinCatalogue();
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<double> openFill, fillOnly, inProcess;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        platform::JetDatabase db;
        if (!db.Open(file, Text("58204731"))) { std::fprintf(stderr, "open failed\n"); return 1; }
        auto t1 = Clock::now();
        if (Fill(db) != 26) { std::fprintf(stderr, "wrong tree\n"); return 1; }
        auto t2 = Clock::now();
        platform::JetSnapshot snapshot;
        platform::ReadJetSnapshotFile(file, snapshot);
        auto t3 = Clock::now();
        openFill.push_back(std::chrono::duration<double, std::milli>(t2 - t0).count());
        fillOnly.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        inProcess.push_back(std::chrono::duration<double, std::milli>(t3 - t2).count());
    }
    Report("open + fill (reader process)", openFill);
    Report("fill alone (9 statements)", fillOnly);
    Report("libmdb read in-process", inProcess);
    std::filesystem::remove(file);
    return 0;
}
