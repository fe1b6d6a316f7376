// libFuzzer target: a file as the catalogue open sees it. Runs the header check, the
// checked libmdb read that the reader process does (here in-process, so that the
// sanitizers see it), the hand-over format, and the catalogue's statements. Seed it with
// the engine-made files and the built-in catalogue (see tests/fuzz/README.md).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/catalogue_file.h"
#include "platform/jet/jet_database.h"
#include "platform/jet/jet_header.h"
#include "platform/jet/jet_snapshot.h"

using namespace orbiq;
using namespace orbiq::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadJet4Password(data, size);
    JetSnapshot parsed;  // the same bytes as a reader's output
    ParseJetSnapshot(std::string_view(reinterpret_cast<const char*>(data), size), parsed);

    JetSnapshot snapshot;
    if (!ReadJetSnapshotBuffer(data, size, snapshot)) return 0;
    std::string serialized = SerializeJetSnapshot(snapshot);
    JetSnapshot back;
    if (!ParseJetSnapshot(serialized, back)) std::abort();

    JetDatabase db;
    db.OpenSnapshot(std::move(back));
    JetRecordSet categories = db.Query(TXT(catalogue::kSelectCategories.data()));
    std::vector<Text> names;
    for (categories.MoveFirst(); !categories.AtEnd(); categories.MoveNext())
        names.push_back(categories.Field(catalogue::kCategoryField));
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        JetRecordSet channels =
            db.Query(TXT(catalogue::kSelectChannelsOfCategory.data()) + Text("'") + JetQuoteValue(*it) + Text("'"));
        for (channels.MoveFirst(); !channels.AtEnd(); channels.MoveNext()) {
            const Text name = JetQuoteValue(channels.Field(catalogue::kChannelNameField));
            JetRecordSet byName = db.Query(TXT(catalogue::kSelectChannelByName.data()) + Text("'") + name + Text("'"));
            for (byName.MoveFirst(); !byName.AtEnd(); byName.MoveNext()) byName.Field(catalogue::kChannelAddressField);
        }
    }
    return 0;
}
