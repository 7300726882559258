#pragma once
// The options dialog オプション (ツール → オプション...): the program's own settings on four pages,
// 全般, 表示, ブラシ and ペン. OK writes every value to the settings file at once and hands it to
// the running program; キャンセル changes nothing. The dialog only collects the values:
// ApplyOptions does the work, for the dialog, for tests and for any later command.

#include <QDialog>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "platform/colour.h"
#include "settings/app_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace varnel {

struct CommandContext;
class CVarnelApp;

namespace cmd {
// ツール → オプション..., a number from the free range the command table draws on.
inline constexpr int kOptions = 33400;
}  // namespace cmd

// Two settings the dialog keeps beside the application's, in the same section.
inline constexpr const char* kPenEraserKey = "PENERASER";        // entry index + 1
inline constexpr const char* kBrushSizeStepKey = "BRUSHSIZESTEP";  // pixels per ブラシサイズ+4/-4

// The ranges values are held to. A new image side must fit its 16 bits of NEWIMAGESIZE, and
// a side of 0 gives no picture; an interval of 0 would put every ruler mark on one spot; the
// debug console knows levels 1…6; the pen eraser has 15 entries; a size step beyond the largest
// brush side says nothing more.
inline constexpr int32_t kMaxNewImageSide = 65535;
inline constexpr int32_t kMaxRulerInterval = 65535;
inline constexpr int32_t kPenEraserEntryCount = 15;
inline constexpr int32_t kDefaultPenEraser = 1;  // 消しゴム
inline constexpr int32_t kDefaultBrushSizeStep = 4;

// An entry of "Penデバイス消しゴムの割り当て", in stored order, with the tool slot it puts on
// the pen's eraser end.
struct PenEraserEntry {
  const char* label;
  int32_t toolSlot;
};
std::span<const PenEraserEntry> PenEraserEntries();
// The tool slot of a stored assignment (1…15; anything else counts as 消しゴム).
int32_t PenEraserToolSlot(int32_t assignment);

// The stored assignment and size step, held to their ranges; the defaults when missing.
int32_t PenEraserAssignment(const Profile& profile);
int32_t BrushSizeStep(const Profile& profile);

// Every value the dialog edits, by the key it is stored under.
struct OptionValues {
  bool singleInstance = false;        // MUTEX (at the next start)
  bool backupSave = false;            // BACKUPSAVE
  int32_t newImageWidth = 300;        // NEWIMAGESIZE, high 16 bits
  int32_t newImageHeight = 300;       // NEWIMAGESIZE, low 16 bits
  ColourRef marginColor{static_cast<uint32_t>(kDefaultMarginColor)};  // MarginColor
  bool brushCursor = false;           // BRUSHCURSORON
  bool showDragObject = false;        // SHOWDRAGOBJECT
  bool rulers = false;                // RULERON
  int32_t rulerTicInterval = 5;       // RULERTICINTEVAL
  int32_t rulerCaptionInterval = 100; // RULERCAPTIONINTERVAL
  int32_t regionViewMode = 0;         // REGIONVIEWMODE, 0…6 as the menu 領域外表示
  std::string susieFolder{};          // SusieFolder
  int32_t debugLevel = 1;             // DebugLevel, 1…6
  int32_t penEraser = kDefaultPenEraser;          // PENERASER, 1…15
  int32_t brushSizeStep = kDefaultBrushSizeStep;  // BRUSHSIZESTEP, 1…256
  int32_t autosaveMinutes = 3;                    // AUTOSAVEMINUTES, 0 (off)…1440, from the next start

  bool operator==(const OptionValues&) const = default;
};

// Every value held to its range.
OptionValues ClampOptions(OptionValues values);
// What the settings hold now, clamped; a stored new image size with a side of 0 reads as the
// shipped 300 × 300, the size the program makes from it.
OptionValues ReadOptions(const AppSettings& settings, const Profile& profile);
// Clamps the values and writes them into settings and, key by key, into the profile. Only these
// keys are written: the rest of the file (window placement, brush size, colours) stays as the
// program last wrote it.
void ApplyOptions(const OptionValues& values, AppSettings& settings, Profile& profile);
// ApplyOptions on the application's settings and profile, then hands what changed to the
// running program: the debug level, the picture plug-in folder, the views and the menus.
void ApplyOptionsToProgram(CVarnelApp& app, const OptionValues& values);

// The handler of ツール → オプション...: the dialog over the current settings; OK applies.
void RunOptionsDialog(CommandContext& context, int id);

class OptionsDialog : public QDialog {
  Q_OBJECT

 public:
  // Asks the user for a colour; nothing when the dialog was cancelled.
  using ColourChooser = std::function<std::optional<ColourRef>(ColourRef initial, QWidget* parent)>;

  explicit OptionsDialog(const OptionValues& initial, QWidget* parent = nullptr);

  // What the pages show, clamped (a number still being typed counts as entered).
  OptionValues Values() const;

  // The margin colour's dialog (QColorDialog unless replaced, as tests do).
  void SetColourChooser(ColourChooser chooser) { m_chooser = std::move(chooser); }

 private:
  QWidget* BuildGeneralPage();
  QWidget* BuildViewPage();
  QWidget* BuildBrushPage();
  QWidget* BuildPenPage();
  void ChooseMarginColour();
  void ChooseSusieFolder();
  void ShowMarginColour();

  OptionValues m_initial;
  ColourRef m_marginColor;
  ColourChooser m_chooser;
  QCheckBox* m_singleInstance = nullptr;
  QCheckBox* m_backupSave = nullptr;
  QSpinBox* m_newImageWidth = nullptr;
  QSpinBox* m_newImageHeight = nullptr;
  QLineEdit* m_susieFolder = nullptr;
  QSpinBox* m_debugLevel = nullptr;
  QSpinBox* m_autosaveMinutes = nullptr;
  QPushButton* m_marginButton = nullptr;
  QCheckBox* m_brushCursor = nullptr;
  QCheckBox* m_showDragObject = nullptr;
  QCheckBox* m_rulers = nullptr;
  QSpinBox* m_rulerTicInterval = nullptr;
  QSpinBox* m_rulerCaptionInterval = nullptr;
  QComboBox* m_regionViewMode = nullptr;
  QSpinBox* m_brushSizeStep = nullptr;
  QComboBox* m_penEraser = nullptr;
};

// Tests answer the dialog: the hook gets it once it is built (not yet shown) and answers
// QDialog::Accepted or Rejected in place of its event loop.
void SetOptionsDialogHookForTesting(std::function<int(OptionsDialog&)> hook);

}  // namespace varnel
