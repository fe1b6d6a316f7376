// The file-transfer component: downloads a URL to a local file on a thread of its own and
// reports the size (3), progress (16) and the end (4) through the task's event callback.
#pragma once

#include "common/text.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace orbiq::platform {

// Event codes passed as the first argument of the event callback.
inline constexpr int32_t kTransferSizeKnown = 3;  // a3: the total in bytes; the file is at full size
inline constexpr int32_t kTransferFinished = 4;   // a3: the total
inline constexpr int32_t kTransferProgress = 16;  // a3: bytes done, a4: the total

using TransferEventCallback = int32_t (*)(int32_t code, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
using TransferInfoCallback = void (*)(int32_t, const Text&, const Text&, int32_t, int32_t);

// The parameter record of a task, initialised with the component's defaults. The component
// reads sourceUrl, localPath and eventCallback; the other fields are carried, not interpreted.
struct TransferTaskParams {
    int32_t field1 = 1;
    Text sourceUrl;
    Text localPath;  // GBK; "\" and "/" both separate folders
    Text userName{"anonymous"};
    Text password{"guest@example.com"};
    int32_t field6 = 1;
    int32_t field7 = 0;
    int32_t field8 = 20000;
    int32_t field9 = 20000;
    int32_t field10 = 20000;
    int32_t field11 = 1000;
    int32_t field12 = 20480;
    int32_t field13 = 1024;
    TransferInfoCallback infoCallback = nullptr;
    TransferEventCallback eventCallback = nullptr;
    Text field16;
    int32_t field17 = 1;
    Text field18{".exe|.rar|.zip|.gif|.jpg|.mp3|.rm"};
    Text field19;
    uint32_t field20 = 0;
};

// The record in its default state (the same as a default-constructed one).
TransferTaskParams DefaultTransferTaskParams();

namespace detail {
struct TransferJob;
}

// The most a download may bring when its start names no smaller cap.
inline constexpr int64_t kTransferMaxBytes = INT32_MAX;

// One task object; starting it again replaces its download.
// Start, Stop and Destroy belong to one controlling thread; the event callback may ask
// BytesDone, Speed and Rate. A callback must not wait for the thread that stops or
// destroys its task (post to it instead), since stopping waits for the callback to return.
class TransferTask {
public:
    TransferTask() = default;
    ~TransferTask();
    TransferTask(const TransferTask&) = delete;
    TransferTask& operator=(const TransferTask&) = delete;

private:
    friend void TransferStart(TransferTask&, const TransferTaskParams&, int64_t);
    friend int32_t TransferBytesDone(const TransferTask&);
    friend int32_t TransferSpeed(const TransferTask&);
    friend bool TransferBusy(const TransferTask&);
    friend void TransferStop(TransferTask&, ByteSet&, int32_t);
    friend void TransferDestroy(TransferTask&);

    std::shared_ptr<detail::TransferJob> Job() const;
    void Halt();  // cancels the running download and waits for its thread

    mutable std::mutex mutex_;  // guards job_
    std::shared_ptr<detail::TransferJob> job_;
    std::thread worker_;
};

// Starts downloading params.sourceUrl (http or https) to params.localPath and returns at once.
// Event 3 comes once the length is known (for a body without a length: at its end), with the
// file already at that size; 16 follows each write at most every 30 ms and once at the end;
// 4 only when every announced byte is on disk. A failed or cancelled download reports no
// further event and removes the file it created. A download whose announced length or
// received bytes pass maxBytes (at most 2^31-1) is a failure: it stops there.
void TransferStart(TransferTask& task, const TransferTaskParams& params, int64_t maxBytes = kTransferMaxBytes);

// Bytes written to the target file by the last download (0 before any).
int32_t TransferBytesDone(const TransferTask& task);

// True while the task's download runs (before its last event has returned).
bool TransferBusy(const TransferTask& task);

// The task's speed in bytes per second, averaged over the last two seconds; 0 when idle.
int32_t TransferSpeed(const TransferTask& task);

// The speed of every running download together, in bytes per second.
int32_t TransferRate();

// Ends the task's download without further events. leftover comes back empty; mode is unused.
void TransferStop(TransferTask& task, ByteSet& leftover, int32_t mode);

// Stops the task and releases it. Safe on a task never started or already destroyed;
// once it returns no callback of the task runs any more.
void TransferDestroy(TransferTask& task);

}  // namespace orbiq::platform
