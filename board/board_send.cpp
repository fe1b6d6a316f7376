// Sending, the staff mode, canned texts, copying and the posting-time tip.
#include "board/board_units.h"
#include "board/board_window.h"
#include "platform/ui/program.h"

namespace orbiq {
namespace {

constexpr int32_t kRed = 255;
constexpr int32_t kBlack = 0;

UnitRef MessageEdit(uint64_t window) { return BoardUnit(window, "留言内容编辑框1"); }
UnitRef SendButton(uint64_t window) { return BoardUnit(window, "留言发送按钮1"); }
UnitRef ChatLabel(uint64_t window) { return BoardUnit(window, "留言内容说明标签1"); }

}  // namespace

void OnMessageEditKeyDown(uint64_t window, const platform::EventArgs& args) {
    if (!args.empty() && args[0] == 13) OnSendButtonClick(window);
}

void OnSendButtonClick(uint64_t window) {
    if (SendButton(window).GetText(Prop::Caption) == TXT("发送")) SendBoardMessage(window);
    else DeleteGuestMessages(window);
}

void SendBoardMessage(uint64_t window) {
    const UnitRef box = MessageEdit(window);
    platform::SetUnitFocus(box);
    const Text name = BoardUnit(window, "用户名字编辑框2").GetText(Prop::Text);
    const Text text = box.GetText(Prop::Text);
    if (text == BoardPlaceholder()) {
        box.Set(Prop::Text, Text());
        return;
    }
    if (text.Empty()) {
        platform::MessageBox(TXT("请输入内容"), platform::kMbOk, TXT("提示"));
        return;
    }
    // Quotes doubled, so no name or text can end the value early.
    const Text record =
        TXT("客人名称='游客'|留言内容='") + DoubleQuotes(name) + TXT(" 说: ") + DoubleQuotes(text) + Text("'");
    const auto server = BoardServer();
    if (!InsertRemoteRecord(*server, TXT("留言列表"), record)) return;
    if (!platform::WindowExists(window)) return;  // closed while the insert waited
    box.Set(Prop::Text, Text());
    RefreshMessageList(window);
}

void DeleteGuestMessages(uint64_t window) {
    ChatLabel(window).Set(Prop::TextColour, kBlack);
    MessageEdit(window).Set(Prop::Text, Text());
    const auto server = BoardServer();
    DeleteRemoteRecords(*server, TXT("留言列表"), TXT("客人名称='游客'"));
    if (!platform::WindowExists(window)) return;
    RefreshMessageList(window);
    const UnitRef label = ChatLabel(window);
    if (label.GetText(Prop::Caption) == TXT("客服在线：")) label.Set(Prop::Caption, TXT("客服在线："));
    else label.Set(Prop::Caption, TXT("聊天内容："));
}

void OnMessageEditTextChanged(uint64_t window) {
    const UnitRef label = ChatLabel(window);
    if (MessageEdit(window).GetText(Prop::Text) == ModeratorCode()) {
        SendButton(window).Set(Prop::Caption, TXT("删除"));
        if (label.GetText(Prop::Caption) == TXT("客服在线：")) {
            label.Set(Prop::Caption, TXT("客服在线："));
        } else {
            label.Set(Prop::TextColour, kRed);
            label.Set(Prop::Caption, TXT("客服上线："));
        }
        return;
    }
    SendButton(window).Set(Prop::Caption, TXT("发送"));
}

void OnMessageEditLeftButtonDown(uint64_t) {}

void OnChatLabelLeftButtonDown(uint64_t window) {
    const UnitRef label = ChatLabel(window);
    if (label.GetText(Prop::Caption) == TXT("客服上线：")) {
        label.Set(Prop::TextColour, kRed);
        label.Set(Prop::Caption, TXT("客服在线："));
        const UnitRef nameBox = BoardUnit(window, "用户名字编辑框2");
        nameBox.Set(Prop::MaxLength, 50);
        nameBox.Set(Prop::Text, StaffName());
        MessageEdit(window).Set(Prop::Text, Text());
        return;
    }
    platform::SendUnitMessage(MessageEdit(window), platform::kWmPaste, 0, 0);
}

void OnCannedTextButtonClick(uint64_t window) {
    platform::SendUnitMessage(BoardUnit(window, "组合框1"), platform::kCbShowDropDown, 1, 0);
    MessageEdit(window).Set(Prop::Text, Text());
}

void OnCannedTextComboSelectionChanged(uint64_t window) {
    const UnitRef combo = BoardUnit(window, "组合框1");
    MessageEdit(window).Set(Prop::Text, platform::ComboItemText(combo, combo.GetInt(Prop::SelectedIndex)));
}

void OnMessageListDoubleClick(uint64_t window) {
    const UnitRef list = BoardUnit(window, "超级列表框1");
    platform::SetClipboardText(platform::ReportCell(list, list.GetInt(Prop::SelectedIndex), 1));
    platform::MessageBox(TXT("内容以成功复制到剪帖板"));
}

void OnMessageListSelectionChanged(uint64_t window) {
    int32_t x = 0, y = 0;
    platform::CursorPosition(&x, &y);
    const UnitRef list = BoardUnit(window, "超级列表框1");
    const Text text = platform::ReportCell(list, list.GetInt(Prop::SelectedIndex), 2) + TXT(" 发表");
    platform::ShowBalloonTip(BoardUnit(window, "气球提示框1"), x, y, text, -1);
}

}  // namespace orbiq
