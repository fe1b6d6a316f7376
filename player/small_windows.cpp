#include "player/small_windows.h"

#include "common/percent_encoding.h"
#include "common/window_rounding.h"
#include "platform/ui/program.h"
#include "player/globals.h"

namespace orbiq {

uint64_t gAboutWindow = 0;
uint64_t gSponsorWindow = 0;
uint64_t gReportWindow = 0;

namespace {

UnitRef ReportUnit(const char* name) { return UnitRef{gReportWindow, name}; }

// Loads a window modally, with no parent; returns once it has been destroyed.
void LoadModal(const char* form, const platform::Handlers& handlers, uint64_t* id) {
    platform::LoadOptions options;
    options.modal = true;
    options.hosts = &gHosts;
    options.idOut = id;
    platform::LoadWindow(form, handlers, options);
    *id = 0;
}

// The site's address, "abc.asp?msg=" and the labelled fields in this order; the value is
// percent-encoded so that the script reads back exactly what was typed ("&", "#", "%" and
// line breaks included).
Text ReportAddress(const Text& siteAddress, const Text& description, const Text& channel, const Text& email,
                   const Text& category) {
    const Text report = TXT("频道错误描述:") + description + TXT(":错误频道") + channel + TXT(":联系方式") + email +
                        TXT(":错误频道分类") + category;
    return siteAddress + Text("abc.asp?msg=") + Text(PercentEncode(report.Bytes(), NotUnreserved));
}

}  // namespace

// ---- AboutWindow ----

platform::Handlers AboutWindowHandlers() {
    platform::Handlers h;
    h.On("OnAboutWindowCreated", OnAboutWindowCreated).On("OnAboutCloseButtonClick", OnAboutCloseButtonClick);
    return h;
}

void OnAboutItemClick() { LoadModal("about_window", AboutWindowHandlers(), &gAboutWindow); }

void OnAboutWindowCreated() { RoundWindowTopCorners(platform::WindowRef(gAboutWindow)); }

void OnAboutCloseButtonClick() { platform::DestroyWindow(gAboutWindow); }

// ---- SponsorWindow ----

platform::Handlers SponsorWindowHandlers() {
    platform::Handlers h;
    h.On("OnSponsorWindowCreated", OnSponsorWindowCreated);
    return h;
}

void OnSponsorButtonClick() {
    platform::MessageBox(TXT("非常感谢您对我们的赞助,请点击广告就是对我们的赞助"), platform::kMbOk);
    LoadModal("sponsor_window", SponsorWindowHandlers(), &gSponsorWindow);
}

void OnSponsorWindowCreated() {}

// ---- ChannelErrorReportWindow ----

platform::Handlers ReportWindowHandlers() {
    platform::Handlers h;
    h.On("OnChannelErrorReportWindowCreated", OnChannelErrorReportWindowCreated)
        .On("OnReportButtonClick", OnReportButtonClick)
        .On("OnReportCloseButtonClick", OnReportCloseButtonClick);
    return h;
}

void OnReportChannelItemClick() {
    LoadModal("channel_error_report_window", ReportWindowHandlers(), &gReportWindow);
}

// The tree's position and key state are not used, nor is its selection.
void OnChannelTreeRightButtonDown() { OnReportChannelItemClick(); }

void OnChannelErrorReportWindowCreated() { RoundWindowTopCorners(platform::WindowRef(gReportWindow)); }

void OnReportButtonClick() {
    const Text description = ReportUnit("编辑框1").GetText(Prop::Text);
    const Text channel = ReportUnit("编辑框3").GetText(Prop::Text);
    const Text email = ReportUnit("编辑框2").GetText(Prop::Text);
    const Text category = ReportUnit("编辑框4").GetText(Prop::Text);
    ReportUnit("超文本浏览框1").Set(Prop::URL, ReportAddress(gHosts.SiteAddress(), description, channel, email, category));
    // Shown at once: the report's outcome is never looked at.
    platform::MessageBox(TXT("感谢您对我们的支持,您提交的频道我们会在2个工作日内完成修复,并且通过您提供的Email地址发送给您反馈结果."),
                         platform::kMbOk, TXT("反馈成功"));
}

void OnReportCloseButtonClick() { platform::DestroyWindow(gReportWindow); }

}  // namespace orbiq
