#pragma once
// The desktop program's commands, written down once: each row is a menu, a separator, a place
// filled at run time, or a command with its id, its label (with "\tshortcut" where it has
// one), its handler and its enabled and checked rules. The menus, their shortcuts, the layer
// panel's buttons and the tests all read this table; a new command is a new row.

#include <cstdint>
#include <span>
#include <string>

namespace varnel {

class Canvas;
class CMainFrame;
class CVarnelApp;
class DocumentCommands;

// What handlers and rules work with: the main frame, the document commands and the picture of
// the active window.
struct CommandContext {
  CVarnelApp& app;
  CMainFrame& frame;
  DocumentCommands& commands;
  const Canvas* ActiveCanvas() const;
};

using CommandHandler = void (*)(CommandContext& context, int id);
using CommandRule = bool (*)(const CommandContext& context, int id);

// Places in the menus that the main frame fills at run time.
enum class MenuPlace : int {
  kRecentFiles,      // "最近使ったファイル(&F)", the recently used files
  kBrushKinds,       // "ブラシの種類", the brush kinds and the presets folder
  kConsoleToggle,    // the debug console's show/hide item
  kMessageLevels,    // "メッセージレベル", the debug levels 1…6
  kWindowList,       // the open pictures, one item each, the active one checked
};

struct CommandRow {
  enum class Kind : uint8_t { kMenu, kEnd, kSeparator, kCommand, kPlace };

  Kind kind = Kind::kCommand;
  int id = 0;                     // a command's id; a place's MenuPlace
  const char* label = "";         // a menu's title or a command's label
  const char* objectName = "";    // a menu's object name
  CommandHandler run = nullptr;   // null: shown but not yet available (disabled)
  CommandRule enabled = nullptr;  // null: always
  CommandRule checked = nullptr;  // non-null: the item is checkable and shows this
  int group = 0;                  // items with the same non-zero group check one another out
  const char* tip = "";           // the item's tool tip
  const char* keys = "";          // a shortcut the label does not carry

  constexpr CommandRow Checked(CommandRule rule, int exclusiveGroup = 0) const {
    CommandRow row = *this;
    row.checked = rule;
    row.group = exclusiveGroup;
    return row;
  }
  constexpr CommandRow Tip(const char* text) const {
    CommandRow row = *this;
    row.tip = text;
    return row;
  }
  constexpr CommandRow Keys(const char* sequence) const {
    CommandRow row = *this;
    row.keys = sequence;
    return row;
  }
  bool IsComing() const { return kind == Kind::kCommand && run == nullptr; }
};

std::span<const CommandRow> CommandTable();
// The command row of an id; null when there is none.
const CommandRow* FindCommand(int id);
// A command's label without its mnemonic and its shortcut ("新規レイヤ(&N)\tCtrl+L" gives
// "新規レイヤ"), as buttons and tool tips show it.
std::string CommandText(int id);
// The shortcut of a label ("…\tShift + ↑" gives "Shift+Up"), as Qt writes it; empty without.
std::string LabelShortcut(const char* label);

}  // namespace varnel
