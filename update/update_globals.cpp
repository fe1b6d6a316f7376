#include "update/update_globals.h"

namespace orbiq {

platform::TransferTaskParams gDatabaseTaskParams;
platform::TransferTaskParams gDecoderTaskParams;
SharedValue<UnitRef> gUpdateProgressBar;
SharedValue<Text> gDatabaseFilePath;
std::atomic<int32_t> gDatabaseTotalBytes{0};
std::atomic<int32_t> gDatabaseDoneBytes{0};
// Defined last so that static destruction stops it before the globals its callback reads.
platform::TransferTask gDatabaseTask;

namespace {

void ResetUpdateGlobals() {
    platform::TransferDestroy(gDatabaseTask);
    gDatabaseTaskParams = platform::DefaultTransferTaskParams();
    gDecoderTaskParams = platform::DefaultTransferTaskParams();
    gUpdateProgressBar.Store(UnitRef{});
    gDatabaseFilePath.Store(Text());
    gDatabaseTotalBytes.store(0);
    gDatabaseDoneBytes.store(0);
}

}  // namespace

void InitialiseUpdateGlobals() { ResetUpdateGlobals(); }

void ReleaseUpdateGlobals() { ResetUpdateGlobals(); }

}  // namespace orbiq
