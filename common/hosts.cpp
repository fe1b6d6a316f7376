#include "common/hosts.h"

#include "common/hosts_config.h"

namespace orbiq {

const RemoteHosts& DefaultHosts() {
    static const RemoteHosts hosts{Text(ORBIQ_SITE_HOST), Text(ORBIQ_MIRROR1_HOST), Text(ORBIQ_MIRROR2_HOST),
                                   Text(ORBIQ_DOWNLOAD_HOST), Text(ORBIQ_BOARD_HOST)};
    return hosts;
}

}  // namespace orbiq
