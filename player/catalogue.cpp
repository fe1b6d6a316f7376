// The channel catalogue: the built-in copy, the database unit, the channel tree and the choice.
#include "common/builtin_catalogue.h"
#include "common/catalogue_file.h"
#include "common/files.h"
#include "platform/jet/jet_database.h"
#include "platform/ui/program.h"
#include "platform/ui/ui.h"
#include "player/globals.h"
#include "player/main_window.h"

namespace orbiq {
namespace {

// The external database unit 外部数据库1: open from the start-up to the program's end.
platform::JetDatabase gExternalDatabase1;

// A value between single quotes: a quote inside it is doubled, as Jet SQL reads it.
Text Quoted(const Text& value) { return Text("'") + platform::JetQuoteValue(value) + Text("'"); }

}  // namespace

Text CataloguePath() { return platform::ProgramFolder() + Text(catalogue::kPathInFolder.data()); }

void WriteBuiltinCatalogueIfMissing() {
    if (!FileExists(CataloguePath())) WriteFileAt(CataloguePath(), BuiltinCatalogue());
}

void OpenCatalogue() { gExternalDatabase1.Open(NativePath(CataloguePath()), Text(catalogue::kPassword)); }

void CloseCatalogueForTests() { gExternalDatabase1.Close(); }

void FillChannelTree() {
    const UnitRef tree = MainUnit("列表1");
    platform::TreeClear(tree);
    platform::JetRecordSet categories = gExternalDatabase1.Query(TXT(catalogue::kSelectCategories.data()));
    for (categories.MoveFirst(); !categories.AtEnd(); categories.MoveNext())
        platform::TreeAddItem(tree, categories.Field(catalogue::kCategoryField));
    categories.Close();
    // The last root first: children added under root k leave roots 0 to k - 1 where they are.
    const int32_t roots = platform::TreeCount(tree);
    for (int32_t k = roots - 1; k >= 0; --k) {
        Text category = platform::TreeItemText(tree, k);
        platform::JetRecordSet channels =
            gExternalDatabase1.Query(TXT(catalogue::kSelectChannelsOfCategory.data()) + Quoted(category));
        for (channels.MoveFirst(); !channels.AtEnd(); channels.MoveNext())
            platform::TreeAddItem(tree, channels.Field(catalogue::kChannelNameField), k);
        channels.Close();
    }
}

void OnChannelTreeSelectionChanged() {
    const UnitRef tree = MainUnit("列表1");
    Text name = platform::TreeItemText(tree, tree.GetInt(Prop::SelectedIndex));
    platform::JetRecordSet rows = gExternalDatabase1.Query(TXT(catalogue::kSelectChannelByName.data()) + Quoted(name));
    // Every matching row in query order: the last one is left playing.
    for (rows.MoveFirst(); !rows.AtEnd(); rows.MoveNext()) {
        MainUnit("电视地址").Set(Prop::Text, rows.Field(catalogue::kChannelAddressField));
        MainUnit("标签2").Set(Prop::Caption, rows.Field(catalogue::kChannelNameField));
        MainUnit("播放器1").Set(Prop::URL, MainUnit("电视地址").GetText(Prop::Text));
    }
    rows.Close();
}

}  // namespace orbiq
