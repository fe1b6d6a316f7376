#include "update/update_globals.h"

namespace orbiq {

platform::TransferTaskParams gDatabaseTaskParams;
platform::TransferTaskParams gDecoderTaskParams;
SharedValue<UnitRef> gUpdateProgressBar;
SharedValue<Text> gDatabaseFilePath;
std::atomic<int32_t> gDatabaseTotalBytes{0};
std::atomic<int32_t> gDatabaseDoneBytes{0};
Text gDecoderUrl;
Text gDecoderFilePath;
int64_t gDecoderStartTick = 0;
std::atomic<int64_t> gDecoderTotalBytes{0};
// Defined last so that static destruction stops them before the globals their callbacks read.
platform::TransferTask gDatabaseTask;
platform::TransferTask gDecoderTask;

namespace {

void ResetUpdateGlobals() {
    platform::TransferDestroy(gDecoderTask);
    gDecoderUrl = Text();
    gDecoderFilePath = Text();
    gDecoderTaskParams = platform::DefaultTransferTaskParams();
    gDecoderStartTick = 0;
    gDecoderTotalBytes.store(0);
    platform::TransferDestroy(gDatabaseTask);
    gDatabaseTaskParams = platform::DefaultTransferTaskParams();
    gUpdateProgressBar.Store(UnitRef{});
    gDatabaseFilePath.Store(Text());
    gDatabaseTotalBytes.store(0);
    gDatabaseDoneBytes.store(0);
}

}  // namespace

void InitialiseUpdateGlobals() { ResetUpdateGlobals(); }

void ReleaseUpdateGlobals() { ResetUpdateGlobals(); }

}  // namespace orbiq
