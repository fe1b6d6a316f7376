// The user tables of a Jet file read whole through mdbtools, and the byte form in which
// the reader process hands them over. Texts are UTF-8 as mdbtools gives them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbiq::platform {

struct JetSnapshotTable {
    std::string name;
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;  // nullopt = null
};
using JetSnapshot = std::vector<JetSnapshotTable>;

// Upper bound of a serialized snapshot; a larger one counts as a failure.
inline constexpr size_t kJetSnapshotLimit = 64u << 20;

// Reads every user table with libmdb, each value as mdb-export gives it (dates in the C
// locale's form, yes/no as 1/0, objects as the empty text); false when the file is not a
// readable Jet database.
bool ReadJetSnapshotFile(const std::string& path, JetSnapshot& out);
bool ReadJetSnapshotBuffer(const unsigned char* data, size_t size, JetSnapshot& out);

std::string SerializeJetSnapshot(const JetSnapshot& snapshot);
// False for anything that is not a complete serialized snapshot.
bool ParseJetSnapshot(std::string_view bytes, JetSnapshot& out);

}  // namespace orbiq::platform
