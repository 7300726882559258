#pragma once
// The object palette "オブジェクトパレット": tool states kept as reusable entries. Each entry is a
// tool state file ("Varnel.Embedded." + the tool's name, then the tool's state) in the folder
// "Object" below the program folder, named by the entry, so ツール状態の読み込み opens entries
// too and they travel as files. 登録 keeps the state of the tool in use, 適用 (or a double click)
// selects the entry's tool and gives it the state; entries copy and paste through the
// clipboard as "CF_VN_OBJECT". The window keeps its place in OBJECTPALUIXPOS/OBJECTPALUIyPOS.

#include <QWidget>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace varnel {

class DocumentCommands;
class Profile;

inline constexpr const char* kObjectPaletteTitle = "オブジェクトパレット";
inline constexpr const char* kObjectPaletteXPosKey = "OBJECTPALUIXPOS";
inline constexpr const char* kObjectPaletteYPosKey = "OBJECTPALUIyPOS";  // lower-case y, as stored
inline constexpr const char* kObjectEntryExtension = ".vpo";

struct ObjectEntry {
  std::string name;      // the file's name without extension
  std::string toolName;  // from the file's first line
  std::string path;
};

// The entries of a folder, sorted by name; files whose first line names no tool are left out.
std::vector<ObjectEntry> ListObjectEntries(const std::string& folder);
// A name made usable as a file name: path separators and control characters become "_", an
// empty name "object"; the entry must not leave its folder.
std::string ObjectFileName(const std::string& name);

class ObjectPalette : public QWidget {
  Q_OBJECT
 public:
  ObjectPalette(DocumentCommands& commands, Profile& profile, std::string folder, QWidget* parent = nullptr);

  const std::vector<ObjectEntry>& Entries() const { return m_entries; }
  // 登録 under name (asked for when empty); an entry of the same name is replaced only when
  // the user says so.
  bool AddEntry(std::string name);
  // 適用: the entry's tool takes its state.
  void ApplyEntry(int index);
  // 削除, after the user has said yes: the entry's file is gone for good.
  bool DeleteEntry(int index);
  bool RenameEntry(int index, const std::string& name);
  void CopyEntry(int index) const;
  // A copied entry becomes an entry of this palette (its name made unique).
  bool PasteEntry();
  void Reload();
  // 登録 is offered only while the tool in use has settings to keep.
  void ToolChanged();

 protected:
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  int Current() const;
  std::string UniqueName(std::string name) const;

  DocumentCommands& m_commands;
  Profile& m_profile;
  std::string m_folder;
  std::vector<ObjectEntry> m_entries;
  QListWidget* m_list = nullptr;
  QPushButton* m_add = nullptr;
  // 適用, 削除, 名前の変更 and コピー: they work on the chosen entry, so only with one chosen.
  std::vector<QPushButton*> m_entryButtons;
  bool m_placed = false;
};

}  // namespace varnel
