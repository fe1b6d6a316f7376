// UpdateWindow: opened first at every start; deletes the catalogue, shows the version and
// server status, and downloads a fresh catalogue from the server the user picks.
#pragma once

#include <cstdint>

#include "common/hosts.h"
#include "common/text.h"
#include "common/unit_ref.h"
#include "platform/ui/ui.h"

namespace orbiq {

// The open (or last) UpdateWindow and the hosts it was opened with; UI thread only.
extern uint64_t gUpdateWindow;
extern RemoteHosts gUpdateHosts;
// Whether the last UpdateWindow closed itself at 100.
extern bool gUpdateCompleted;

// Every handler bound by UpdateWindow's description.
platform::Handlers UpdateWindowHandlers();
// Loads UpdateWindow modally with no parent; returns its id once it has been destroyed.
uint64_t OpenUpdateWindow(const RemoteHosts& hosts);

void OnUpdateWindowCreated();
void OnNetworkStateButtonClick();
// True when the machine is connected; either text may be left out.
bool GetInternetConnectionState(Text* connectionName = nullptr, Text* description = nullptr);
void OnServer1RadioClick();
void OnServer2RadioClick();
void OnServer3RadioClick();
void StartDatabaseDownload(const Text& sourceUrl, const Text& targetPath, const UnitRef& progressBar);
// The database task's event callback; runs on the transfer thread.
int32_t OnDatabaseTransferEvent(int32_t code, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
void OnUpdateTimerTick();
void OnUpdateCloseButtonClick();

}  // namespace orbiq
