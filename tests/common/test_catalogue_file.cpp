// The catalogue file's facts read whole: the names, the password and the statements the
// handlers send, to the letter (the categories statement ends in a blank), and the columns
// at their places.
#include <gtest/gtest.h>

#include <cstring>
#include <string_view>

#include "common/catalogue_file.h"

namespace orbiq::catalogue {
namespace {

template <size_t N>
std::string_view Whole(const std::array<char, N>& joined) {
    EXPECT_EQ(joined[N - 1], '\0');
    EXPECT_EQ(std::strlen(joined.data()), N - 1) << "a zero inside";
    return std::string_view(joined.data(), N - 1);
}

TEST(CatalogueFile, NamesPathsAndPassword) {
    EXPECT_EQ(Whole(kPathInFolder), "\\iead.dll");
    EXPECT_EQ(std::string_view(kFileName), "iead.dll");
    EXPECT_EQ(Whole(kMirror1Path), "orbiq/Mdb/iead.dll");
    EXPECT_EQ(Whole(kMirror2Path), "iead.dll");
    EXPECT_EQ(Whole(kSitePath), "SJ/iead.dll");
    EXPECT_EQ(std::string_view(kPassword), "58204731");
    EXPECT_EQ(std::string_view(kCategoryTable), "电视分类");
    EXPECT_EQ(std::string_view(kChannelTable), "电视列表");
}

TEST(CatalogueFile, StatementsToTheLetter) {
    EXPECT_EQ(Whole(kSelectCategories), "select * from 电视分类 ");
    EXPECT_EQ(Whole(kSelectChannels), "select * from 电视列表");
    EXPECT_EQ(Whole(kSelectChannelsOfCategory), "select * from 电视列表 where 分类=");
    EXPECT_EQ(Whole(kSelectChannelByName), "select * from 电视列表 where 列表=");
}

TEST(CatalogueFile, ColumnsInTheirPlaces) {
    struct Case {
        std::string_view name;
        int field;
        std::string_view expectedName;
        int expectedField;
    };
    const Case cases[] = {
        {kCategoryColumn, kCategoryField, "分类", 1},
        {kChannelCategoryColumn, kChannelCategoryField, "分类", 1},
        {kChannelNameColumn, kChannelNameField, "列表", 2},
        {kChannelAddressColumn, kChannelAddressField, "地址", 3},
        {kChannelIntroductionColumn, kChannelIntroductionField, "介绍", 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.name, c.expectedName);
        EXPECT_EQ(c.field, c.expectedField) << c.expectedName;
    }
    EXPECT_EQ(kCategoryColumns, 1);
    EXPECT_EQ(kChannelColumns, 4);
    EXPECT_EQ(kCategoryMaxChars, 50);
    EXPECT_EQ(kChannelMaxChars, 255);
}

}  // namespace
}  // namespace orbiq::catalogue
