// Windows and units: the layer in place of the Windows user interface.
// A window is built from its description (forms/*.json); units are found by stored name.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/hosts.h"
#include "common/unit_ref.h"

namespace orbiq::platform {

using EventArgs = std::vector<int32_t>;
using Handler = std::function<void(const EventArgs&)>;

// The handlers a window's description binds to, by name.
class Handlers {
public:
    Handlers& On(const std::string& name, std::function<void()> handler);
    Handlers& OnArgs(const std::string& name, Handler handler);
    const Handler* Find(const std::string& name) const;

private:
    std::map<std::string, Handler> table_;
};

struct LoadOptions {
    uint64_t parent = 0;             // 0: no parent window
    bool modal = false;              // a modal load returns when the window has been destroyed
    bool startWindow = false;        // closing the start window ends the message loop
    const RemoteHosts* hosts = nullptr;  // fills "${SITE}" and the like in stored texts
    uint64_t* idOut = nullptr;       // receives the id before Created runs
};

// Loads a window from its description; runs Created before the window shows.
// Returns the window's id (0 when the description cannot be loaded). A modal load returns
// after the window has been destroyed.
uint64_t LoadWindow(const std::string& formName, const Handlers& handlers, const LoadOptions& options = {});
void DestroyWindow(uint64_t window);
bool WindowExists(uint64_t window);
// True when the start window was destroyed before the message loop ran.
bool StartWindowClosed();

inline UnitRef UnitIn(uint64_t window, std::string name) { return UnitRef{window, std::move(name)}; }
inline UnitRef WindowRef(uint64_t window) { return UnitRef{window, {}}; }

// Raises a unit's event as if the user had caused it (also what the widgets call).
void RaiseEvent(const UnitRef& unit, const std::string& event, const EventArgs& args = {});
// Names of the handlers a description binds that the table lacks (a loaded window's check).
std::vector<std::string> UnboundHandlers(uint64_t window);

// Tree list: items are numbered from 0 in display order (pre-order, as if all expanded).
void TreeClear(const UnitRef& tree);
void TreeAddItem(const UnitRef& tree, const Text& text, int32_t parentIndex = -1);
int32_t TreeCount(const UnitRef& tree);
Text TreeItemText(const UnitRef& tree, int32_t index);
// Selects an item by index as the user would (raises SelectionChanged).
void TreeSelect(const UnitRef& tree, int32_t index);
// Children of a given item, for checks: -1 names the top level.
std::vector<Text> TreeChildren(const UnitRef& tree, int32_t index);

// Pops up a menu unit of the window at the mouse position.
void PopupMenu(uint64_t window, const std::string& menuName);
// The captions of a menu's entries as a tree ("-" for separators), for checks.
std::vector<std::string> MenuEntries(uint64_t window, const std::string& menuName);
// Chooses a menu item by its stored name, as a click would.
bool TriggerMenuItem(uint64_t window, const std::string& itemName);

// Common dialog: shows the open-file dialog; afterwards the unit's FileName holds the choice.
void ShowOpenFileDialog(const UnitRef& dialog);
// Tests answer the dialog as the system would: the chosen file's native path, "" for a cancel.
void SetOpenFileDialogResponder(std::function<std::string()> responder);

// Gives a unit the keyboard focus; whether it holds it.
void SetUnitFocus(const UnitRef& unit);
bool UnitHasFocus(const UnitRef& unit);

// Window messages that units answer: an edit box pastes the clipboard's text, a combo box
// drops down its list (wParam 1) or closes it (0).
constexpr uint32_t kWmPaste = 0x0302;
constexpr uint32_t kCbShowDropDown = 0x014F;
int32_t SendUnitMessage(const UnitRef& unit, uint32_t message, int32_t wParam, int32_t lParam);
// Whether a combo box's list is dropped down, for checks.
bool ComboDroppedDown(const UnitRef& combo);
// The text of a combo box item by its index ("" out of range).
Text ComboItemText(const UnitRef& combo, int32_t index);

// Report list view: rows and columns counted from 0; column 0 holds a row's first cell.
// Setting the width or a cell of a column the list lacks changes nothing.
void ReportRemoveAllRows(const UnitRef& list);
int32_t ReportColumnCount(const UnitRef& list);
void ReportDeleteColumn(const UnitRef& list, int32_t column);
void ReportAppendColumn(const UnitRef& list, const Text& title, int32_t width);
void ReportSetColumnWidth(const UnitRef& list, int32_t column, int32_t width);
int32_t ReportColumnWidth(const UnitRef& list, int32_t column);  // -1 when absent
Text ReportColumnTitle(const UnitRef& list, int32_t column);
int32_t ReportAppendRow(const UnitRef& list);  // the new row's index; -1 when no list
int32_t ReportRowCount(const UnitRef& list);
void ReportSetCell(const UnitRef& list, int32_t row, int32_t column, const Text& text);
Text ReportCell(const UnitRef& list, int32_t row, int32_t column);
// Replaces every column and row in one pass, without a repaint or a selection event in
// between: one column per title, each `width` wide, then one row per entry of rows, whose
// cells go to columns 0, 1, ... (cells past the last column are passed over).
void ReportReplaceAll(const UnitRef& list, std::vector<Text> titles, int32_t width,
                      std::vector<std::vector<Text>> rows);

// Balloon tip: shows a text at a screen point for a few seconds. icon -1: none.
void ShowBalloonTip(const UnitRef& tip, int32_t x, int32_t y, const Text& text, int32_t icon = -1);
// What the tip shows now ("" when hidden) and where, for checks.
Text BalloonTipText(const UnitRef& tip);
void BalloonTipPoint(const UnitRef& tip, int32_t* x, int32_t* y);

// Installs the unit backend; called once by the program's start.
void InstallUnitBackend();

}  // namespace orbiq::platform
