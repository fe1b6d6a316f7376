// Globals of the catalogue update: the transfer tasks' records, the database task and what
// its event callback records. The callback runs on the transfer thread, so what it shares is atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "common/text.h"
#include "common/unit_ref.h"
#include "platform/transfer/transfer.h"

namespace orbiq {

// A value the UI thread replaces while a transfer thread may read it.
template <typename T>
class SharedValue {
public:
    T Load() const {
        std::shared_ptr<const T> p = value_.load();
        return p ? *p : T{};
    }
    void Store(T value) { value_.store(std::make_shared<const T>(std::move(value))); }

private:
    std::atomic<std::shared_ptr<const T>> value_;
};

extern platform::TransferTask gDatabaseTask;
extern platform::TransferTaskParams gDatabaseTaskParams;  // UI thread only
extern platform::TransferTaskParams gDecoderTaskParams;   // UI thread only
extern SharedValue<UnitRef> gUpdateProgressBar;  // the bar the catalogue download moves
extern SharedValue<Text> gDatabaseFilePath;      // target of the catalogue download
extern std::atomic<int32_t> gDatabaseTotalBytes; // recorded at event 3
extern std::atomic<int32_t> gDatabaseDoneBytes;  // read at the last progress event

// The decoder download.
extern platform::TransferTask gDecoderTask;
extern Text gDecoderUrl;       // UI thread only
extern Text gDecoderFilePath;  // UI thread only
extern int64_t gDecoderStartTick;
extern std::atomic<int64_t> gDecoderTotalBytes;  // recorded at event 3; kept across openings

// Program start: both records at the component's defaults, the task empty.
void InitialiseUpdateGlobals();
// Program end: destroys the decoder task, then its texts and record, then the database task
// (no callback runs once it returns), then its texts and record.
void ReleaseUpdateGlobals();

}  // namespace orbiq
