// MessageBoardWindow against a board script of the test's own on 127.0.0.1: it keeps the
// messages in memory, records every request and can be told to answer with a fixed reply
// or to wait before it answers.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <QCursor>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "board/board_window.h"
#include "common/files.h"
#include "platform/ui/program.h"
#include "platform/ui/ui_widgets.h"
#include "test_support.h"
#include "listening.h"

namespace orbiq::test {

struct ScriptRequest {
    std::string ac, mdb;
    Text sql;
};

class BoardScriptStandIn {
public:
    BoardScriptStandIn() {
        server_.Post("/box/boo1/wms.asp", [this](const httplib::Request& req, httplib::Response& res) {
            res.set_content(Answer(req.body), "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = orbiq::test::ListenInBackground(server_);
    }
    ~BoardScriptStandIn() {
        server_.stop();
        thread_.join();
    }
    Text Host() const { return Text(Loopback(port_)); }

    // Messages, oldest first, as (content, time).
    void Add(const Text& content, const Text& time) {
        std::lock_guard lock(mutex_);
        messages_.push_back({content, time});
    }
    void SetReply(std::optional<std::string> reply) {
        std::lock_guard lock(mutex_);
        reply_ = std::move(reply);
    }
    void SetQueryHeader(std::string header) {
        std::lock_guard lock(mutex_);
        header_ = std::move(header);
    }
    void SetQueryDelayMs(int ms) { delayMs_ = ms; }
    std::vector<ScriptRequest> Requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    int Count(const std::string& ac) {
        int n = 0;
        for (auto& r : Requests()) n += r.ac == ac;
        return n;
    }
    int MostQueriesAtOnce() const { return mostAtOnce_; }

private:
    static int Hex(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }
    static std::string Field(const std::string& body, const std::string& name, bool decode) {
        size_t at = body.find(name + "=");
        if (at == std::string::npos) return {};
        at += name.size() + 1;
        size_t end = name == "sql" ? body.size() : body.find('&', at);
        std::string v = body.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!decode) return v;
        std::string out;
        for (size_t i = 0; i < v.size(); ++i) {
            if (v[i] == '%' && i + 2 < v.size()) {
                out += static_cast<char>(Hex(v[i + 1]) * 16 + Hex(v[i + 2]));
                i += 2;
            } else {
                out += v[i];
            }
        }
        return out;
    }
    std::string Answer(const std::string& body) {
        ScriptRequest r{Field(body, "ac", false), Field(body, "mdb", false), Text(Field(body, "sql", true))};
        if (r.ac == "show") {
            int now = ++atOnce_;
            int seen = mostAtOnce_.load();
            while (now > seen && !mostAtOnce_.compare_exchange_weak(seen, now)) {}
            if (delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_.load()));
            --atOnce_;
        }
        std::lock_guard lock(mutex_);
        requests_.push_back(r);
        if (reply_) return *reply_;
        const std::string row = "[ZOTRAMEK/row]", col = "[ZOTRAMEK/Col]";
        if (r.ac == "show") {
            std::string out = header_;
            for (auto it = messages_.rbegin(); it != messages_.rend() && it - messages_.rbegin() < 50; ++it)
                out += row + TXT("游客").Bytes() + col + it->first.Bytes() + col + it->second.Bytes();
            if (messages_.empty()) out += row;  // a table needs the row token: one empty row
            return out;
        }
        const std::string& sql = r.sql.Bytes();
        if (sql.rfind("insert into ", 0) == 0) {
            size_t open = sql.find("values ('");
            size_t mid = sql.find("','", open);
            if (mid == std::string::npos || sql.size() < 2) return "2";
            messages_.push_back({Text(sql.substr(mid + 3, sql.size() - 2 - (mid + 3))), TXT("2026年12月10日 10:00:00")});
            return "0";
        }
        if (sql.rfind("delete from ", 0) == 0) {
            messages_.clear();
            return "0";
        }
        return "2";
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<std::pair<Text, Text>> messages_;
    std::vector<ScriptRequest> requests_;
    std::optional<std::string> reply_;
    std::string header_ = TXT("客人名称").Bytes() + "[ZOTRAMEK/Col]" + TXT("留言内容").Bytes() + "[ZOTRAMEK/Col]" +
                          TXT("时间").Bytes();
    std::atomic<int> delayMs_{0};
    std::atomic<int> atOnce_{0};
    std::atomic<int> mostAtOnce_{0};
};

// Types a text into a widget one character at a time (any characters, not only ASCII).
inline void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

struct ShownBox {
    Text text, title;
};

class BoardTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        platform::SetProgramFolder(Text::FromUtf8(folder_.path().toStdString()));
        platform::SetMessageBoxResponder([this](const Text& text, int32_t, const Text& title) {
            std::lock_guard lock(boxMutex_);
            boxes_.push_back({text, title});
            return platform::kIdOk;
        });
        hosts_ = DeadHosts();
        hosts_.board = script_.Host();
    }
    void TearDown() override {
        CloseBoard();
        platform::SetMessageBoxResponder(nullptr);
    }

    // Opens the board and waits until the loading thread's list has arrived.
    void Open(bool waitForList = true) {
        int before = script_.Count("show");
        window_ = LoadMessageBoardWindow(hosts_);
        ASSERT_NE(window_, 0u);
        if (waitForList) {
            ASSERT_TRUE(WaitFor([&] { return script_.Count("show") > before; }));
            Pump(100);
        }
    }
    void CloseBoard() {
        if (window_ && platform::WindowExists(window_)) platform::DestroyWindow(window_);
        window_ = 0;
        Pump(20);
    }
    // Stops the automatic refresh, so a test's own requests are the only ones.
    void StopRefreshTimer() { U("自动刷新时钟1").Set(Prop::Interval, 0); }

    UnitRef U(const char* name) const { return UnitRef{window_, name}; }
    UnitRef Self() const { return platform::WindowRef(window_); }
    UnitRef List() const { return U("超级列表框1"); }
    QWidget* Widget(const char* name) const { return platform::WidgetOf(U(name)); }

    void WriteNameFile(const Text& name) {
        CreateFolderAt(platform::ProgramFolder() + Text("\\data\\"));
        ASSERT_TRUE(platform::WriteIniKey(UserNameFilePath(), TXT("用户信息"), TXT("姓名"), name));
    }
    std::string NameFileBytes() {
        ByteSet b = ReadFileAt(UserNameFilePath());
        return std::string(b.begin(), b.end());
    }
    std::vector<ShownBox> Boxes() {
        std::lock_guard lock(boxMutex_);
        return boxes_;
    }
    void ClearBoxes() {
        std::lock_guard lock(boxMutex_);
        boxes_.clear();
    }
    static void Pump(int ms) { WaitFor([] { return false; }, ms); }

    QTemporaryDir folder_;
    BoardScriptStandIn script_;
    RemoteHosts hosts_;
    uint64_t window_ = 0;
    std::mutex boxMutex_;
    std::vector<ShownBox> boxes_;
};

}  // namespace orbiq::test
