// The channel catalogue file, one spelling of each of its facts: its name in the program
// folder, its password, its two tables with their columns, and the statements that read it.
// Names are UTF-8 source texts (TXT or Text::FromUtf8 gives their GBK text); fields count
// from 1, as a record set reads them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace orbiq::catalogue {

// Texts joined at compile time, with the closing zero: Joined("a", "b").data() reads "ab".
template <size_t... N>
constexpr auto Joined(const char (&... parts)[N]) {
    std::array<char, (N + ... + 1) - sizeof...(N)> joined{};
    size_t at = 0;
    for (std::string_view part : {std::string_view(parts, N - 1)...})
        for (char c : part) joined[at++] = c;
    return joined;
}

// The file: the program folder (no trailing backslash) followed by kPathInFolder.
inline constexpr char kFileName[] = "iead.dll";
inline constexpr auto kPathInFolder = Joined("\\", kFileName);
// Where the download servers keep their copies, below each server's root.
inline constexpr auto kMirror1Path = Joined("orbiq/Mdb/", kFileName);
inline constexpr auto kMirror2Path = Joined(kFileName);
inline constexpr auto kSitePath = Joined("SJ/", kFileName);
// Every catalogue file is opened with this password and no other.
inline constexpr char kPassword[] = "58204731";

// The category table: one row per category.
inline constexpr char kCategoryTable[] = "电视分类";
inline constexpr char kCategoryColumn[] = "分类";
inline constexpr int kCategoryField = 1;
inline constexpr int kCategoryColumns = 1;
inline constexpr int kCategoryMaxChars = 50;

// The channel table: one row per channel.
inline constexpr char kChannelTable[] = "电视列表";
inline constexpr auto& kChannelCategoryColumn = kCategoryColumn;  // a category's name, by value
inline constexpr char kChannelNameColumn[] = "列表";
inline constexpr char kChannelAddressColumn[] = "地址";
inline constexpr char kChannelIntroductionColumn[] = "介绍";
inline constexpr int kChannelCategoryField = 1;
inline constexpr int kChannelNameField = 2;
inline constexpr int kChannelAddressField = 3;
inline constexpr int kChannelIntroductionField = 4;
inline constexpr int kChannelColumns = 4;
inline constexpr int kChannelMaxChars = 255;  // each of its columns

// The statements. The two lookups end at "=": the value follows between single quotes.
// The categories statement ends in a blank, the whole channel table's in none.
inline constexpr auto kSelectCategories = Joined("select * from ", kCategoryTable, " ");
inline constexpr auto kSelectChannels = Joined("select * from ", kChannelTable);
inline constexpr auto kSelectChannelsOfCategory =
    Joined("select * from ", kChannelTable, " where ", kChannelCategoryColumn, "=");
inline constexpr auto kSelectChannelByName = Joined("select * from ", kChannelTable, " where ", kChannelNameColumn, "=");

}  // namespace orbiq::catalogue
