// The built-in catalogue's rows, in storage order: what the build writes into the built-in
// copy, and what a read of that copy must give back.
#pragma once

#include <optional>
#include <vector>

#include "tools/jetwriter/jet_writer.h"

namespace orbiq::jet {

struct CatalogueRows {
    std::vector<std::optional<Text>> categories;
    std::vector<ChannelSpec> channels;
};

const CatalogueRows& BuiltinCatalogueRows();

}  // namespace orbiq::jet
