// The Jet layer's costs, each beside mdb-export of the same table in the same run:
//  - open + fill of the built-in catalogue, as the start-up does it: open with the
//    password (header check, reader process, hand-over), the categories statement and one
//    channels statement per category;
//  - open + one full table read of the engine-made V2003_test.mdb (Table1).
// Prints the median, p90 and worst of many runs; the in-process libmdb read of the
// built-in catalogue is shown too, to tell the reader process's share.
//   bench_jet [runs] [folder of the engine-made samples]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/builtin_catalogue.h"
#include "common/catalogue_file.h"
#include "platform/jet/jet_database.h"
#include "platform/jet/jet_snapshot.h"

extern char** environ;

using namespace orbiq;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

int Fill(platform::JetDatabase& db) {
    std::vector<Text> roots;
    auto rs = db.Query(TXT(catalogue::kSelectCategories.data()));
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext()) roots.push_back(rs.Field(catalogue::kCategoryField));
    int items = static_cast<int>(roots.size());
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) {
        auto ch = db.Query(TXT(catalogue::kSelectChannelsOfCategory.data()) + Text("'") + platform::JetQuoteValue(*it) +
                           Text("'"));
        for (ch.MoveFirst(); !ch.AtEnd(); ch.MoveNext()) ++items;
    }
    return items;
}

// Every field of every row of a table, as a caller reads them; the number of rows.
int ReadTable(platform::JetDatabase& db, const char* table, int columns) {
    int rows = 0;
    auto rs = db.Query(Text::FromUtf8(std::string("select * from ") + table));
    for (rs.MoveFirst(); !rs.AtEnd(); rs.MoveNext(), ++rows)
        for (int c = 1; c <= columns; ++c) rs.Field(c);
    return rows;
}

// One run of mdb-export FILE TABLE with its output thrown away; false when it failed.
bool MdbExport(const std::string& file, const std::string& table) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = "mdb-export";
    std::string fileArg = file, tableArg = table;
    char* argv[] = {program.data(), fileArg.data(), tableArg.data(), nullptr};
    pid_t pid;
    int spawned = posix_spawnp(&pid, "mdb-export", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Report(const char* what, std::vector<double> ms) {
    if (ms.empty()) return;
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.2f ms  p90 %7.2f ms  max %7.2f ms  (%zu runs)\n", what, ms[ms.size() / 2],
                ms[ms.size() * 9 / 10], ms.back(), ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    std::string samples = argc > 2 ? argv[2] : ORBIQ_JET_SAMPLES;
    auto file = (std::filesystem::temp_directory_path() / (std::string("orbiq-bench-") + catalogue::kFileName)).string();
    {
        const ByteSet& bytes = BuiltinCatalogue();
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<double> openFill, fillOnly, inProcess, exportBuiltin;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        platform::JetDatabase db;
        if (!db.Open(file, Text(catalogue::kPassword))) { std::fprintf(stderr, "open failed\n"); return 1; }
        auto t1 = Clock::now();
        if (Fill(db) != 26) { std::fprintf(stderr, "wrong tree\n"); return 1; }
        auto t2 = Clock::now();
        platform::JetSnapshot snapshot;
        platform::ReadJetSnapshotFile(file, snapshot);
        auto t3 = Clock::now();
        if (!MdbExport(file, catalogue::kChannelTable)) { std::fprintf(stderr, "mdb-export failed\n"); return 1; }
        auto t4 = Clock::now();
        openFill.push_back(Ms(t0, t2));
        fillOnly.push_back(Ms(t1, t2));
        inProcess.push_back(Ms(t2, t3));
        exportBuiltin.push_back(Ms(t3, t4));
    }
    std::printf("built-in catalogue (%zu bytes)\n", BuiltinCatalogue().size());
    Report("  open + fill (reader process)", openFill);
    Report("  fill alone (9 statements)", fillOnly);
    Report("  libmdb read in-process (all tables)", inProcess);
    Report((std::string("  mdb-export ") + catalogue::kChannelTable).c_str(), exportBuiltin);
    std::filesystem::remove(file);

    std::string engineFile = samples + "/V2003_test.mdb";
    if (!std::filesystem::exists(engineFile)) {
        std::printf("%s not found: engine-made file skipped\n", engineFile.c_str());
        return 0;
    }
    std::vector<double> openRead, readOnly, exportEngine;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        platform::JetDatabase db;
        if (!db.Open(engineFile, Text())) { std::fprintf(stderr, "open of V2003_test.mdb failed\n"); return 1; }
        auto t1 = Clock::now();
        if (ReadTable(db, "Table1", 9) != 2) { std::fprintf(stderr, "wrong Table1\n"); return 1; }
        auto t2 = Clock::now();
        if (!MdbExport(engineFile, "Table1")) { std::fprintf(stderr, "mdb-export failed\n"); return 1; }
        auto t3 = Clock::now();
        openRead.push_back(Ms(t0, t2));
        readOnly.push_back(Ms(t1, t2));
        exportEngine.push_back(Ms(t2, t3));
    }
    std::printf("V2003_test.mdb (%ju bytes, engine-made)\n", static_cast<uintmax_t>(std::filesystem::file_size(engineFile)));
    Report("  open + full read of Table1 (reader process)", openRead);
    Report("  full read of Table1 alone", readOnly);
    Report("  mdb-export Table1", exportEngine);
    return 0;
}
