#include "common/builtin_catalogue.h"
#include "common/catalogue_file.h"
#include "common/files.h"
#include "player_fixture.h"
#include "tools/jetwriter/jet_writer.h"
#include "update/update_globals.h"

namespace orbiq::test {
namespace {

using Tree = std::vector<std::pair<std::string, std::vector<std::string>>>;

std::optional<Text> T(const char* s) { return s ? std::optional<Text>(Text::FromUtf8(s)) : std::nullopt; }

class CatalogueTest : public MainWindowTest {
protected:
    // Writes a catalogue file where the start-up will find it, then starts.
    void StartWith(const ByteSet& file) {
        Start(DeadHosts(), [this, file] { ASSERT_TRUE(WriteFileAt(CataloguePathIn(), file)); });
    }
    Text CataloguePathIn() const { return Folder() + Text(catalogue::kPathInFolder.data()); }

    static Tree ReadTree() {
        Tree tree;
        const UnitRef list = MainUnit("列表1");
        int32_t index = 0;
        for (const Text& root : platform::TreeChildren(list, -1)) {
            std::vector<std::string> children;
            for (const Text& c : platform::TreeChildren(list, index)) children.push_back(c.ToUtf8());
            tree.emplace_back(root.ToUtf8(), children);
            index += 1 + static_cast<int32_t>(children.size());
        }
        return tree;
    }
    // Selects the item with this text (display order), as a click would.
    static void Choose(const char* text) {
        const UnitRef list = MainUnit("列表1");
        for (int32_t i = 0; i < platform::TreeCount(list); ++i)
            if (platform::TreeItemText(list, i) == Text::FromUtf8(text)) { platform::TreeSelect(list, i); return; }
        ADD_FAILURE() << "no item " << text;
    }
};

const Tree kBuiltinTree = {
    {"直播频道", {"CCTV-4", "CCTV-9", "阳光卫视", "星空卫视", "河北卫视", "CCTV-新闻"}},
    {"电视剧场", {"天龙八部"}},
    {"电影频道", {"港台电影联播", "精品影院"}},
    {"综艺娱乐", {"综艺1"}},
    {"音乐频道", {"音乐1"}},
    {"体育频道", {"体育1"}},
    {"资讯频道", {"澳门新闻台"}},
    {"广播电台", {"中国之声", "经济之声", "音乐之声", "天津交通广播", "北京音乐台"}},
};

TEST_F(CatalogueTest, TheBuiltInCopyIsWrittenWhenMissingAndFillsTheTree) {
    Start(DeadHosts());
    EXPECT_EQ(ReadFileAt(CataloguePathIn()), BuiltinCatalogue());
    EXPECT_EQ(ReadTree(), kBuiltinTree);
}

// Mirror one misbehaves: whatever it answers that is no catalogue leaves no file behind the
// update window (left with Esc), so the start-up writes and shows the built-in copy.
TEST_F(CatalogueTest, AMirrorAnsweringNoCatalogueEndsWithTheBuiltInTree) {
    constexpr uint64_t kPastTheCap = (uint64_t{64} << 20) + 1;
    struct Case {
        const char* what;
        std::function<void(site::SiteServer&)> serve;
        bool downloaded;
    };
    const std::string path = "orbiq/Mdb/iead.dll";
    const Case cases[] = {
        {"an HTML error page with status 200",
         [&](site::SiteServer& s) { s.SetMirror1File(path, "<html><body><h1>Service Unavailable</h1></body></html>"); }, false},
        {"a zero-length body", [&](site::SiteServer& s) { s.SetMirror1File(path, ""); }, false},
        {"a 2-byte body", [&](site::SiteServer& s) { s.SetMirror1File(path, "ok"); }, false},
        {"a body past the cap", [&](site::SiteServer& s) { s.SetMirror1Junk(path, kPastTheCap, false); }, false},
        {"a catalogue", [](site::SiteServer&) {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LocalSite site;
        c.serve(site.server);
        bool leftover = true;
        Start(site.hosts, [&] {
            platform::RaiseEvent(UnitRef{gUpdateWindow, "单选框1"}, "Click");
            if (c.downloaded) {
                EXPECT_TRUE(WaitFor([] { return !platform::WindowExists(gUpdateWindow); }, 10000));
                return;
            }
            EXPECT_TRUE(WaitFor([] { return !platform::TransferBusy(gDatabaseTask); }, 20000));
            Pump(200);
            EXPECT_TRUE(platform::WindowExists(gUpdateWindow));
            leftover = FileExists(CataloguePathIn());
        });
        if (c.downloaded) {
            EXPECT_EQ(ReadTree(), (Tree{{"直播频道", {"本地测试台", "彩条频道"}}, {"广播电台", {"本地之声"}}, {"音乐频道", {"钟声"}}}));
        } else {
            EXPECT_FALSE(leftover);
            EXPECT_EQ(ReadFileAt(CataloguePathIn()), BuiltinCatalogue());
            EXPECT_EQ(ReadTree(), kBuiltinTree);
        }
        TearDown();
        SetUp();
    }
}

TEST_F(CatalogueTest, AFullStartShowsTheDownloadedCatalogue) {
    LocalSite site;
    Start(site.hosts, [] {
        // The user picks mirror one; the window closes itself once its bar reads 100.
        platform::RaiseEvent(UnitRef{gUpdateWindow, "单选框1"}, "Click");
        EXPECT_TRUE(WaitFor([] { return !platform::WindowExists(gUpdateWindow); }, 10000));
    });
    EXPECT_TRUE(gUpdateCompleted);
    Tree expected = {{"直播频道", {"本地测试台", "彩条频道"}}, {"广播电台", {"本地之声"}}, {"音乐频道", {"钟声"}}};
    EXPECT_EQ(ReadTree(), expected);
}

TEST_F(CatalogueTest, ChoosingAChannelPlaysItsAddress) {
    Start(DeadHosts());
    Choose("CCTV-9");
    Text address = MainUnit("电视地址").GetText(Prop::Text);
    EXPECT_EQ(address.Left(6), Text("mms://"));
    EXPECT_EQ(MainUnit("标签2").GetText(Prop::Caption), Text("CCTV-9"));
    ASSERT_FALSE(Player()->urls.empty());
    EXPECT_EQ(Player()->urls.back(), address);
    // The null address of 音乐1 gives the empty URL, which stops playback.
    Choose("音乐1");
    EXPECT_TRUE(MainUnit("电视地址").GetText(Prop::Text).Empty());
    EXPECT_TRUE(Player()->urls.back().Empty());
    Choose("综艺1");
    EXPECT_EQ(Player()->urls.back(), Text("1"));
    // A category item is looked up as a channel name and matches nothing.
    size_t writes = Player()->urls.size();
    Choose("直播频道");
    EXPECT_EQ(Player()->urls.size(), writes);
}

TEST_F(CatalogueTest, AnExistingFileIsNeverOverwritten) {
    ByteSet own = jet::WriteCatalogue({T("甲")}, {{T("甲"), T("一"), T("http://a/"), T("x")}}, Text(catalogue::kPassword));
    StartWith(own);
    EXPECT_EQ(ReadFileAt(CataloguePathIn()), own);
    EXPECT_EQ(ReadTree(), (Tree{{"甲", {"一"}}}));
}

TEST_F(CatalogueTest, BadFilesGiveAnEmptyTree) {
    ByteSet good = jet::WriteCatalogue({T("甲")}, {{T("甲"), T("一"), T("x"), T("x")}}, Text(catalogue::kPassword));
    ByteSet truncated(good.begin(), good.begin() + good.size() / 2);
    ByteSet noise(8192);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
    ByteSet notJet = Text("Standard Jet DB? no, a text file").ToBytes();
    struct Case { const char* what; ByteSet file; };
    const Case cases[] = {
        {"zero-length", {}},
        {"truncated", truncated},
        {"random", noise},
        {"not Jet", notJet},
        {"wrong password", jet::WriteCatalogue({T("甲")}, {{T("甲"), T("一"), T("x"), T("x")}}, Text("12345678"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartWith(c.file);
        EXPECT_EQ(platform::TreeCount(MainUnit("列表1")), 0);
        EXPECT_EQ(ReadFileAt(CataloguePathIn()), c.file);  // the built-in copy was not written over it
        TearDown();
        SetUp();
    }
}

TEST_F(CatalogueTest, TreeFollowsTheTablesAsStored) {
    struct Case {
        const char* what;
        std::vector<std::optional<Text>> categories;
        std::vector<jet::ChannelSpec> channels;
        Tree tree;
    };
    const Case cases[] = {
        {"no categories", {}, {{T("甲"), T("一"), T("x"), T("x")}}, {}},
        {"a category without channels, a channel of no category",
         {T("甲"), T("乙")}, {{T("甲"), T("一"), T("x"), T("x")}, {T("丙"), T("孤"), T("x"), T("x")}},
         {{"甲", {"一"}}, {"乙", {}}}},
        {"duplicate category names", {T("甲"), T("甲")},
         {{T("甲"), T("一"), T("x"), T("x")}, {T("甲"), T("二"), T("x"), T("x")}},
         {{"甲", {"一", "二"}}, {"甲", {"一", "二"}}}},
        {"null names read as empty", {T("甲"), std::nullopt}, {{T("甲"), std::nullopt, T("x"), T("x")}},
         {{"甲", {""}}, {"", {}}}},
        {"quotes in names", {T("它's")}, {{T("它's"), T("Bob's TV"), T("x"), T("x")}}, {{"它's", {"Bob's TV"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartWith(jet::WriteCatalogue(c.categories, c.channels, Text(catalogue::kPassword)));
        EXPECT_EQ(ReadTree(), c.tree);
        TearDown();
        SetUp();
    }
}

TEST_F(CatalogueTest, TwoChannelsOfOneNameLeaveTheSecondPlaying) {
    StartWith(jet::WriteCatalogue({T("甲"), T("乙")},
                                  {{T("甲"), T("同名"), T("http://first/"), T("x")},
                                   {T("乙"), T("同名"), T("http://second/"), T("x")}},
                                  Text(catalogue::kPassword)));
    Choose("同名");
    EXPECT_EQ(Player()->urls, (std::vector<Text>{Text("http://first/"), Text("http://second/")}));
    EXPECT_EQ(MainUnit("电视地址").GetText(Prop::Text), Text("http://second/"));
}

TEST_F(CatalogueTest, AChannelNameWithAQuoteCanBePlayed) {
    StartWith(jet::WriteCatalogue({T("甲")}, {{T("甲"), T("Bob's TV"), T("http://bob/"), T("x")}}, Text(catalogue::kPassword)));
    Choose("Bob's TV");
    ASSERT_FALSE(Player()->urls.empty());
    EXPECT_EQ(Player()->urls.back(), Text("http://bob/"));
    EXPECT_EQ(MainUnit("标签2").GetText(Prop::Caption), Text("Bob's TV"));
}

}  // namespace
}  // namespace orbiq::test
