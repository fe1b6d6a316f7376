// MessageBoardWindow: the message board opened from MainWindow's chat items: login with a
// remembered name, the latest 50 messages, sending, the staff mode and edge docking.
#pragma once

#include <cstdint>
#include <memory>

#include "common/hosts.h"
#include "common/text.h"
#include "platform/ui/ui.h"
#include "remotedb/remote_db.h"

namespace orbiq {

// Loads the message board, not modally and with no parent; returns at once.
uint64_t LoadMessageBoardWindow(const RemoteHosts& hosts);

// The board window loaded last (0 before the first opening).
extern uint64_t gMessageBoardWindow;

// The board's server record, replaced at every opening. A request works on the copy it took,
// so a new opening does not take the record away from a request still under way.
std::shared_ptr<const RemoteDbServer> BoardServer();

// The handlers of one board window, by the window's id.
void OnMessageBoardWindowCreated(uint64_t window, const RemoteHosts& hosts);
void OnMessageBoardWindowMoved(uint64_t window);
void OnMessageBoardWindowResized(uint64_t window);
void OnLoginButtonClick(uint64_t window);
void OnUserNameBoxKeyDown(uint64_t window, const platform::EventArgs& args);
void OnUserNameBoxLeftButtonDown(uint64_t window);
void OnAutoRefreshTimerTick(uint64_t window);
void OnBoardCloseButtonClick(uint64_t window);
void RefreshMessageList(uint64_t window);
void FitMessageListColumns(uint64_t window);

void OnSendButtonClick(uint64_t window);
void OnMessageEditKeyDown(uint64_t window, const platform::EventArgs& args);
void OnMessageEditTextChanged(uint64_t window);
void OnMessageEditLeftButtonDown(uint64_t window);
void OnChatLabelLeftButtonDown(uint64_t window);
void OnCannedTextButtonClick(uint64_t window);
void OnCannedTextComboSelectionChanged(uint64_t window);
void OnMessageListDoubleClick(uint64_t window);
void OnMessageListSelectionChanged(uint64_t window);
void SendBoardMessage(uint64_t window);
void DeleteGuestMessages(uint64_t window);

void OnEdgeHideTimerTick(uint64_t window);

// The reply-code warnings, installed as the remote client's handlers.
void WarnIllegalOperation();
void WarnDatabaseMissing();
void WarnSqlError();
void WarnSendingTooFast();

// Fixed texts the board sends and compares.
const Text& BoardMessageQuery();
const Text& BoardPlaceholder();    // "每次只能发送30个汉字"
const Text& ModeratorCode();       // "*746"
const Text& StaffName();           // "ORBIQ管理员"
Text UserNameFilePath();           // program folder + "\data\\server.dat"

}  // namespace orbiq
