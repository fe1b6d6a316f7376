// Files whose rows the engine moved to other pages (an edit made them longer than the room
// left on their page), in the engine's layout: the old slot keeps a 4-byte pointer with the
// pointer flag, and the row's new data sits on another data page of the table with the
// moved flag, which a table scan passes over.
#pragma once

#include "common/catalogue_file.h"
#include "tests/jet/jet_page_edit.h"
#include "tools/jetwriter/jet_writer.h"

namespace orbiq::test {

// A file and the rows moved in it: each one's old slot (now a pointer) and its data's slot.
struct MovedRows {
    ByteSet file;
    std::vector<jet_edit::Slot> pointers, data;

    // Row `needle` given a new value for its variable column `column` (0-based among them)
    // and moved to `page` (a new page of its table when 0).
    void Move(std::string_view needle, size_t column, const std::string& value, bool compressible, size_t page = 0) {
        using namespace jet_edit;
        auto slot = FindRow(file, needle);
        if (!slot) throw std::runtime_error("no live row holds the text");
        if (page == 0) page = AppendDataPage(file, TableOf(file, slot->page));
        pointers.push_back(*slot);
        data.push_back(MoveRow(file, *slot, page, WithVarColumn(RowBytes(file, *slot), column, TextValue(value, compressible))));
    }
};

// Rows "Two" and "Three" of the engine's V2000_no-password.mdb (Table1: ID, Data) renamed
// at length and moved to two new pages of the table.
inline MovedRows EngineFileWithMovedRows(ByteSet sample) {
    MovedRows m{std::move(sample), {}, {}};
    m.Move("\xFF\xFETwo", 0, "Two, renamed at such length that it left its page", true);
    m.Move("\xFF\xFEThree", 0, "Three \xE4\xB8\x89, renamed too", true);  // 三: kept as UCS-2
    return m;
}

// The channels of the catalogue fixture, before the edits.
inline std::vector<jet::ChannelSpec> MovedRowsChannels() {
    auto t = [](const char* utf8) { return std::optional<Text>(Text::FromUtf8(utf8)); };
    return {
        {t("直播频道"), t("CCTV-4"), t("mms://live.example.cn/cctv4"), t("中文国际")},
        {t("广播电台"), t("中国之声"), t("mms://radio.example.cn/zgzs"), std::nullopt},
        {t("直播频道"), t("CCTV-9"), t("mms://live.example.cn/cctv9"), t("英语")},
        {t("广播电台"), t("经济之声"), t("mms://radio.example.cn/jjzs"), t("广播")},
    };
}

// A catalogue from our writer whose last two channels were edited (a longer address, a
// longer name) and moved by the engine to two new pages of the channel table.
inline MovedRows CatalogueWithMovedRows() {
    MovedRows m{jet::WriteCatalogue({Text::FromUtf8("直播频道"), Text::FromUtf8("广播电台")}, MovedRowsChannels(),
                                    Text(catalogue::kPassword)),
                {},
                {}};
    m.Move("cctv9", 2, "mmst://live.example.cn:1755/channels/cctv9-english-hq.asf", true);
    m.Move("jjzs", 1, "经济之声 (FM 96.6, 全天)", true);
    return m;
}

}  // namespace orbiq::test
