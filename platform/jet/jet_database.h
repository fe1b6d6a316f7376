// The Jet engine as the catalogue uses it: open a Jet 4 file with its password, run the
// catalogue's select statements into materialised record sets. Texts are GBK.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/jet/jet_snapshot.h"

namespace orbiq::platform {

// A query's result, materialised.
class JetRecordSet {
public:
    bool AtEnd() const;  // true at once for a failed query
    void MoveFirst();
    void MoveNext();
    // 1-based; null or out of range reads as the empty text.
    Text Field(int column) const;
    bool FieldIsNull(int column) const;
    void Close();

private:
    friend class JetDatabase;
    std::vector<std::vector<std::optional<Text>>> rows_;
    size_t current_ = 0;
};

class JetDatabase {
public:
    // False when the file is missing, not Jet 4, damaged, or the password does not
    // match the one stored in it (a file without a password opens with any).
    bool Open(const std::string& nativePath, const Text& password);
    bool IsOpen() const;
    // Takes "select * from T" and "select * from T where C='V'" (bare or [bracketed]
    // names, '' for a quote inside V). Text comparison ignores case, as Jet's does; a
    // null never equals anything. Anything else yields an empty record set.
    JetRecordSet Query(const Text& sql);
    void Close();
    // Opens on tables already read (what Open does once the reader process is done).
    void OpenSnapshot(JetSnapshot snapshot);

private:
    struct Table {
        std::string foldedName;
        std::vector<std::string> foldedColumns;
        std::vector<std::vector<std::optional<std::string>>> utf8Rows;
        std::vector<std::vector<std::optional<Text>>> rows;
    };
    std::vector<Table> tables_;
    bool open_ = false;
};

// Doubles single quotes so a value can sit between '...' in a statement.
Text JetQuoteValue(const Text& value);

namespace jet_internal {
// Runs the reader process on a file: the serialized snapshot, or nullopt when the
// process failed, crashed or ran out of time.
std::optional<std::string> RunJetReader(const std::string& path, int timeoutMs);
// The same with a given reader program.
std::optional<std::string> RunJetReader(const std::string& reader, const std::string& path, int timeoutMs);
// The parsed form of a statement Query accepts (UTF-8).
struct Select {
    std::string table;
    std::optional<std::string> whereColumn, whereValue;
};
std::optional<Select> ParseSelect(const std::string& utf8);
}  // namespace jet_internal

}  // namespace orbiq::platform
