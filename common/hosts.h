// The remote side's host names. Compiled in; tests build their own table.
#pragma once

#include "common/text.h"

namespace orbiq {

struct RemoteHosts {
    Text site;      // product web site, host[:port]
    Text mirror1;   // mirror server one
    Text mirror2;   // mirror server two
    Text download;  // decoder download host
    Text board;     // message-board script host

    // "http://" + site + "/": the product web site's address, to which file names are appended.
    Text SiteAddress() const { return Text("http://") + site + Text("/"); }
};

// The table the build was configured with.
const RemoteHosts& DefaultHosts();

}  // namespace orbiq
