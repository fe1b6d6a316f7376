#include "update/decoder_window.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <vector>

#include "common/files.h"
#include "common/unit_ref.h"
#include "platform/transfer/transfer.h"
#include "platform/ui/program.h"
#include "update/update_globals.h"

namespace orbiq {

uint64_t gDecoderWindow = 0;

namespace {

RemoteHosts gDecoderHosts;
// The window the transfer thread may write to; 0 once it has closed.
std::atomic<uint64_t> gDecoderEventWindow{0};

UnitRef DecoderUnit(const char* name) { return UnitRef{gDecoderWindow, name}; }

const Text& VerifyingText() { return TXT("正在效验版本!"); }

double RoundTo2(double value) { return std::round(value * 100.0) / 100.0; }

Text Megabytes(int64_t bytes) { return DecoderNumberText(RoundTo2(static_cast<double>(bytes) / 1048576.0)); }

// The tick count as the signed 32-bit value the system keeps, widened.
int64_t SignedTick() { return static_cast<int32_t>(platform::TickCount()); }

}  // namespace

Text DecoderNumberText(double value) {
    if (value == 0.0) value = 0.0;  // no "-0"
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return Text(buffer);
}

uint64_t OpenDecoderDownloadWindow(const RemoteHosts& hosts) {
    gDecoderHosts = hosts;
    platform::LoadOptions options;
    options.modal = true;
    options.hosts = &gDecoderHosts;
    options.idOut = &gDecoderWindow;
    uint64_t id = platform::LoadWindow("decoder_download_window", DecoderWindowHandlers(), options);
    gDecoderEventWindow.store(0);
    return id;
}

void OnDecoderDownloadWindowCreated() {
    gDecoderEventWindow.store(gDecoderWindow);
    platform::EnableVisualStyles(1);
    gDecoderUrl = Text("http://") + gDecoderHosts.download + Text("/") + Text(kDecoderPath);
    gDecoderFilePath = platform::DownloadFolderPath();
    if (!gDecoderFilePath.Empty()) {
        const std::vector<Text> parts = CutText(gDecoderFilePath, Text("\\"));
        if (parts.back().Find(Text(".")) == -1) gDecoderFilePath += CutText(gDecoderUrl, Text("/")).back();
    }
    OnDecoderDownloadButtonClick();
}

void OnDecoderDownloadButtonClick() {
    if (DecoderUnit("按钮1").GetText(Prop::Caption) == TXT("安装")) {
        platform::OpenOrRunFile(gDecoderFilePath);
        return;
    }
    platform::TransferTaskParams& p = gDecoderTaskParams;
    p.field1 = 4096;
    p.sourceUrl = gDecoderUrl;
    p.field7 = 999999999;
    p.field11 = 1000;
    p.field6 = DecoderUnit("组合框").GetInt(Prop::Value);  // the item value at SelectedIndex
    p.localPath = gDecoderFilePath;
    p.field8 = 5000;
    p.field9 = 5001;
    p.field10 = 10000;
    p.field12 = 20480;
    p.eventCallback = &OnDecoderTransferEvent;
    p.infoCallback = &OnDecoderTransferInfo;
    p.userName = Text();
    p.password = Text();
    platform::TransferStart(gDecoderTask, gDecoderTaskParams);
    DecoderUnit("按钮1").Set(Prop::Disabled, true);
    DecoderUnit("标签大小").Set(Prop::Caption, TXT("正在连接下载服务器..."));
    DecoderUnit("时钟1").Set(Prop::Interval, int32_t{1000});
    DecoderUnit("时钟").Set(Prop::Interval, int32_t{50});
    gDecoderStartTick = SignedTick();
}

// Touches only atomics and queued unit writes: it must never wait for the UI thread.
int32_t OnDecoderTransferEvent(int32_t code, int32_t, int32_t a3, int32_t, int32_t) {
    if (code == platform::kTransferSizeKnown) {
        gDecoderTotalBytes.store(a3);
    } else if (code == platform::kTransferFinished) {
        const uint64_t window = gDecoderEventWindow.load();
        if (window != 0) {
            UnitRef button{window, "按钮1"};
            button.Set(Prop::Caption, TXT("安装"));
            button.Set(Prop::Disabled, false);
        }
    }
    return 0;
}

void OnDecoderTransferInfo(int32_t, const Text&, const Text&, int32_t, int32_t) {}

void OnDecoderProgressTimerTick() {
    const UnitRef bar = DecoderUnit("进度条1");
    const int64_t total = gDecoderTotalBytes.load();
    if (total != 0) {
        const double done = platform::TransferBytesDone(gDecoderTask);
        bar.Set(Prop::Position, static_cast<int32_t>(done * 1000.0 / static_cast<double>(total)));
    }
    if (bar.GetInt(Prop::Position) > 990) {
        DecoderUnit("标签进度").Set(Prop::Caption, Text());
        DecoderUnit("标签大小").Set(Prop::Caption, Text());
        DecoderUnit("标签速度").Set(Prop::Caption, VerifyingText());
        bar.Set(Prop::Position, int32_t{1000});
    }
}

void OnDecoderStatusTimerTick() {
    const int64_t total = gDecoderTotalBytes.load();
    if (DecoderUnit("标签速度").GetText(Prop::Caption) == VerifyingText()) {
        if (FileSizeAt(gDecoderFilePath) != total) return;
        // Elapsed time modulo 2^32, so a tick count that wraps in between still counts right.
        const uint32_t elapsed = static_cast<uint32_t>(SignedTick()) - static_cast<uint32_t>(gDecoderStartTick);
        DecoderUnit("标签大小").Set(Prop::Caption, TXT("文件大小:") + Megabytes(total) + Text("M"));
        DecoderUnit("标签时间").Set(Prop::Caption,
                                   TXT("总耗时:") + DecoderNumberText(RoundTo2(elapsed / 1000.0)) + TXT("秒"));
        DecoderUnit("标签进度").Set(Prop::Caption, TXT("已完成:100%"));
        DecoderUnit("时钟").Set(Prop::Interval, int32_t{0});
        DecoderUnit("时钟1").Set(Prop::Interval, int32_t{0});
        return;
    }
    if (total == 0) return;
    const int32_t position = DecoderUnit("进度条1").GetInt(Prop::Position);
    DecoderUnit("标签进度").Set(Prop::Caption, TXT("已下载:") + DecoderNumberText(position / 10.0) + Text("%"));
    const int64_t done = platform::TransferBytesDone(gDecoderTask);
    DecoderUnit("标签大小").Set(Prop::Caption, TXT("进度：") + Megabytes(done) + Text("M/") + Megabytes(total) + Text("M"));
    DecoderUnit("标签速度").Set(Prop::Caption,
                               TXT("速度：") + Text::Number(platform::TransferSpeed(gDecoderTask) / 1024) + TXT("KB/秒 "));
    const int64_t left = total - platform::TransferBytesDone(gDecoderTask);
    const int32_t rate = platform::TransferRate();
    if (rate == 0) return;
    const int64_t seconds = left / rate;
    if (seconds != 0) DecoderUnit("标签时间").Set(Prop::Caption, TXT("剩余时间:") + Text::Number(seconds) + TXT("秒"));
}

void OnDecoderCancelButtonClick() {
    const int32_t position = DecoderUnit("进度条1").GetInt(Prop::Position);
    if (position != 1000 && position != 0) {
        if (platform::MessageBox(TXT("任务下载中...是否强行结束当前下载?"), platform::kMbOkCancel, TXT("提示:")) !=
            platform::kIdOk)
            return;
        ByteSet discarded;
        platform::TransferStop(gDecoderTask, discarded, 2);
    }
    platform::DestroyWindow(gDecoderWindow);
}

platform::Handlers DecoderWindowHandlers() {
    platform::Handlers h;
    h.On("OnDecoderDownloadWindowCreated", OnDecoderDownloadWindowCreated)
        .On("OnDecoderDownloadButtonClick", OnDecoderDownloadButtonClick)
        .On("OnDecoderCancelButtonClick", OnDecoderCancelButtonClick)
        .On("OnDecoderProgressTimerTick", OnDecoderProgressTimerTick)
        .On("OnDecoderStatusTimerTick", OnDecoderStatusTimerTick);
    return h;
}

}  // namespace orbiq
