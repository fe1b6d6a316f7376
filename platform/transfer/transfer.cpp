#include "platform/transfer/transfer.h"

#include "common/files.h"
#include "platform/net/curl_easy.h"
#include "platform/net/http_get.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>
#include <string>
#include <system_error>
#include <utility>

namespace orbiq::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long kConnectTimeoutMs = 5000;
constexpr long kLowSpeedSeconds = 30;  // a body that stalls this long fails
constexpr long kBufferBytes = 256 * 1024;
constexpr int kPollMs = 100;
constexpr auto kProgressInterval = std::chrono::milliseconds(30);
constexpr auto kSpeedSampleInterval = std::chrono::milliseconds(200);
constexpr size_t kSpeedSamples = 10;  // two seconds

std::atomic<int64_t> gRateSum{0};  // the speeds of all running downloads

class Fd {
public:
    Fd() = default;
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void Reset(int fd) { Close(); fd_ = fd; }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

bool WriteAll(int fd, const char* data, size_t size, off_t offset) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

namespace detail {

// Everything one download touches; shared by the task object and its thread.
struct TransferJob {
    TransferJob(const TransferTaskParams& p, int64_t cap)
        : params(p), maxBytes(std::clamp<int64_t>(cap, 0, kTransferMaxBytes)), multi(curl_multi_init()) {}

    void Run();
    void Download();

    TransferTaskParams params;
    const int64_t maxBytes;
    CurlMulti multi;  // curl_multi_wakeup may come from any thread
    std::atomic<bool> cancel{false};
    std::atomic<int32_t> bytesDone{0};
    std::atomic<int32_t> speed{0};
    std::atomic<bool> busy{true};

private:
    bool Begin();
    bool Write(const char* data, size_t size);
    void Emit(int32_t code, int32_t a3, int32_t a4);
    void SampleSpeed(bool force = false);
    void SetSpeed(int32_t value);
    void RemoveFile();

    static size_t OnWrite(char* data, size_t size, size_t count, void* user);

    CURL* easy_ = nullptr;
    Fd file_;
    std::string nativePath_;
    int64_t total_ = -1;  // -1 while unknown
    int64_t written_ = 0;
    bool failed_ = false;
    bool sizeReported_ = false;
    Clock::time_point lastProgress_{};
    std::deque<std::pair<Clock::time_point, int64_t>> samples_;
};

size_t TransferJob::OnWrite(char* data, size_t size, size_t count, void* user) {
    auto* job = static_cast<TransferJob*>(user);
    size_t n = size * count;
    return job->Write(data, n) ? n : 0;  // 0 aborts the transfer
}

void TransferJob::Emit(int32_t code, int32_t a3, int32_t a4) {
    if (cancel.load() || !params.eventCallback) return;
    params.eventCallback(code, 0, a3, a4, 0);
}

// The first body bytes of the final response: opens the target and, when the length is
// known, sizes the file and reports it.
bool TransferJob::Begin() {
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) return false;
    curl_off_t length = -1;
    curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length > maxBytes) return false;

    nativePath_ = NativePath(params.localPath);
    file_.Reset(::open(nativePath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file_.Valid()) return false;
    if (length >= 0) {
        if (::ftruncate(file_.Get(), static_cast<off_t>(length)) != 0) return false;
        total_ = length;
        sizeReported_ = true;
        Emit(kTransferSizeKnown, static_cast<int32_t>(total_), static_cast<int32_t>(total_));
    }
    return true;
}

bool TransferJob::Write(const char* data, size_t size) {
    if (cancel.load() || failed_) return false;
    if (!file_.Valid() && !Begin()) {
        failed_ = true;
        return false;
    }
    int64_t limit = total_ >= 0 ? total_ : maxBytes;
    if (written_ + static_cast<int64_t>(size) > limit ||
        !WriteAll(file_.Get(), data, size, static_cast<off_t>(written_))) {
        failed_ = true;
        return false;
    }
    written_ += static_cast<int64_t>(size);
    bytesDone.store(static_cast<int32_t>(written_));
    auto now = Clock::now();
    if (sizeReported_ && now - lastProgress_ >= kProgressInterval) {
        lastProgress_ = now;
        Emit(kTransferProgress, static_cast<int32_t>(written_), static_cast<int32_t>(total_));
    }
    return true;
}

void TransferJob::SetSpeed(int32_t value) {
    int32_t old = speed.exchange(value);
    gRateSum.fetch_add(static_cast<int64_t>(value) - old);
}

void TransferJob::SampleSpeed(bool force) {
    auto now = Clock::now();
    if (!force && !samples_.empty() && now - samples_.back().first < kSpeedSampleInterval) return;
    samples_.emplace_back(now, written_);
    if (samples_.size() > kSpeedSamples + 1) samples_.pop_front();
    const auto& [t0, b0] = samples_.front();
    double seconds = std::chrono::duration<double>(now - t0).count();
    if (seconds <= 0.0) return;
    double rate = static_cast<double>(written_ - b0) / seconds;
    SetSpeed(static_cast<int32_t>(rate > INT32_MAX ? INT32_MAX : rate));
}

// Removes the file this download created, unless something else now sits at its name.
void TransferJob::RemoveFile() {
    if (!file_.Valid()) return;
    struct stat mine {}, named {};
    bool same = ::fstat(file_.Get(), &mine) == 0 && ::stat(nativePath_.c_str(), &named) == 0 &&
                mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
    file_.Close();
    if (same) ::unlink(nativePath_.c_str());
}

void TransferJob::Run() {
    Download();
    busy.store(false);
}

void TransferJob::Download() {
    CurlEasy easy = NewCurlEasy("http,https");
    easy_ = easy.get();
    if (!easy_ || !multi) return;
    CURL* c = easy_;
    curl_easy_setopt(c, CURLOPT_URL, params.sourceUrl.CStr());
    curl_easy_setopt(c, CURLOPT_QUICK_EXIT, 1L);  // a cancelled name look-up is not waited for
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);  // one download per connection: nothing idles open afterwards
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kBufferBytes);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));  // an announced length past it fails at the headers
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &TransferJob::OnWrite);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);

    CURLM* m = multi.get();
    curl_multi_add_handle(m, c);
    samples_.emplace_back(Clock::now(), 0);
    int running = 1;
    while (!cancel.load()) {
        if (curl_multi_perform(m, &running) != CURLM_OK || running == 0) break;
        curl_multi_poll(m, nullptr, 0, kPollMs, nullptr);
        SampleSpeed();
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(m, &queued))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == c) result = msg->data.result;
    curl_multi_remove_handle(m, c);
    SetSpeed(0);

    bool ok = !cancel.load() && !failed_ && result == CURLE_OK;
    if (ok && !file_.Valid()) ok = Begin();  // an empty body never reached the write callback
    if (ok && total_ >= 0 && written_ != total_) ok = false;
    if (!ok) {
        RemoveFile();
        return;
    }
    if (!sizeReported_) {  // no length announced: the total is what arrived
        total_ = written_;
        Emit(kTransferSizeKnown, static_cast<int32_t>(total_), static_cast<int32_t>(total_));
    }
    file_.Close();
    Emit(kTransferProgress, static_cast<int32_t>(written_), static_cast<int32_t>(total_));
    Emit(kTransferFinished, static_cast<int32_t>(total_), static_cast<int32_t>(total_));
}

}  // namespace detail

TransferTaskParams DefaultTransferTaskParams() { return TransferTaskParams{}; }

TransferTask::~TransferTask() { TransferDestroy(*this); }

std::shared_ptr<detail::TransferJob> TransferTask::Job() const {
    std::lock_guard lock(mutex_);
    return job_;
}

void TransferTask::Halt() {
    auto job = Job();
    if (job) {
        job->cancel.store(true);
        if (job->multi) curl_multi_wakeup(job->multi.get());
    }
    if (!worker_.joinable()) return;
    if (worker_.get_id() == std::this_thread::get_id())
        worker_.detach();  // called from the task's own callback; the thread ends after it
    else
        worker_.join();
}

void TransferStart(TransferTask& task, const TransferTaskParams& params, int64_t maxBytes) {
    EnsureCurlGlobal();
    task.Halt();
    auto job = std::make_shared<detail::TransferJob>(params, maxBytes);
    {
        std::lock_guard lock(task.mutex_);
        task.job_ = job;
    }
    try {
        task.worker_ = std::thread([job] { job->Run(); });
    } catch (const std::system_error&) {
        job->busy.store(false);  // no thread, no download
    }
}

int32_t TransferBytesDone(const TransferTask& task) {
    auto job = task.Job();
    return job ? job->bytesDone.load() : 0;
}

bool TransferBusy(const TransferTask& task) {
    auto job = task.Job();
    return job && job->busy.load();
}

int32_t TransferSpeed(const TransferTask& task) {
    auto job = task.Job();
    return job ? job->speed.load() : 0;
}

int32_t TransferRate() {
    int64_t sum = gRateSum.load();
    return static_cast<int32_t>(sum < 0 ? 0 : sum > INT32_MAX ? INT32_MAX : sum);
}

void TransferStop(TransferTask& task, ByteSet& leftover, int32_t /*mode*/) {
    task.Halt();
    leftover.clear();
}

void TransferDestroy(TransferTask& task) {
    task.Halt();
    std::lock_guard lock(task.mutex_);
    task.job_.reset();
}

}  // namespace orbiq::platform
