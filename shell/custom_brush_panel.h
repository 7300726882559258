#pragma once
// The custom brush panel ("カスタムブラシ設定"): a modeless tool window with a tab per group of
// the custom brush's parameters, and the dialog that saves them as a preset.
//
// The panel holds one CustomBrushParams. A control writes its field only when the user changes
// it, so values read from a file that a control cannot show (a stroke count of 12, a shape file
// that is missing) come back out of Params() as they went in.

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "brush/brush_preset.h"
#include "brush/brush_settings.h"
#include "platform/colour.h"
#include "platform/record_field.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;
class QWidget;

namespace varnel {

inline constexpr const char* kCustomBrushPanelTitle = "カスタムブラシ設定";
inline constexpr const char* kPresetSaveDialogTitle = "ブラシ設定の保存";
// The note of the colour range tab, with its line break as the program has always kept it.
inline constexpr const char* kColourRangeNote = "カラーモードがHSV\r\nRGB範囲の時のみ適用";
// Appended to a shape or texture name that the folder no longer holds.
inline constexpr const char* kMissingFileSuffix = " (見つかりません)";

// "ブラシ設定の保存": the group (an editable list of the existing group folders) and the name.
class PresetSaveDialog : public QDialog {
  Q_OBJECT

 public:
  PresetSaveDialog(const std::vector<std::string>& groups, const std::string& group, const std::string& name,
                   QWidget* parent = nullptr);

  QComboBox* GroupBox() const { return m_group; }
  QLineEdit* NameEdit() const { return m_name; }
  // As typed, UTF-8.
  std::string Group() const;
  std::string Name() const;

 private:
  QComboBox* m_group;
  QLineEdit* m_name;
};

class CustomBrushPanel : public QDialog {
  Q_OBJECT

 public:
  // brushFolder: the program's Brush folder (it holds Shape/, Texture/ and Presets/).
  explicit CustomBrushPanel(std::string brushFolder, QWidget* parent = nullptr);

  // The values the controls hold.
  CustomBrushParams Params() const { return m_params; }
  // Shows p; never calls onChanged.
  void SetParams(const CustomBrushParams& p);
  // Rescans Shape/ and Texture/.
  void ReloadLists();
  // The two colours shown on the colour range tab.
  void SetColours(ColourRef foreground, ColourRef background);

  // The dialog the save button opens: the presets folder's groups, the group saved to last and
  // the next proposed name.
  std::unique_ptr<PresetSaveDialog> MakeSaveDialog();
  // Saves Params() under the dialog's group and name (the proposal advances either way) and
  // calls onPresetSaved when a file was written. Answers its path, or nothing.
  std::optional<std::string> SaveFromDialog(const PresetSaveDialog& dialog);

  QTabWidget* Tabs() const { return m_tabs; }

  // Called after every change the user makes (the main frame copies the values and rebuilds
  // the brush at once).
  std::function<void(const CustomBrushParams&)> onChanged;
  // Called after a preset was written (the main frame rebuilds its preset menu).
  std::function<void(const std::string& path)> onPresetSaved;

 private:
  // A control and the field of the parameters it edits (spin box, combo box or check box).
  struct Binding {
    QWidget* control;
    RecordField<CustomBrushParams> field;
  };

  void Build();
  QWidget* BuildShapePage();
  QWidget* BuildTexturePage();
  QWidget* BuildColourRangePage();
  QWidget* BuildDensityPage();
  QWidget* BuildBackgroundPage();
  QWidget* BuildBlendPage();
  QWidget* BuildVariationPage();
  QWidget* BuildOtherPage();
  QWidget* BuildStrokePage();
  void Bind(QWidget* control, RecordField<CustomBrushParams> field);
  void ShowParams();
  void ShowFileChoices();
  void UpdateEnabled();
  void Changed();
  void OpenSaveDialog();

  std::string m_brushFolder;
  CustomBrushParams m_params;
  PresetNamer m_namer;
  std::string m_lastGroup;
  bool m_refreshing = false;
  std::vector<Binding> m_bindings;
  QTabWidget* m_tabs = nullptr;
  QListWidget* m_shapes = nullptr;
  QListWidget* m_textures = nullptr;
  QComboBox* m_colourMode = nullptr;
  QComboBox* m_bumpAngle = nullptr;
  QWidget* m_colourRange = nullptr;
  QLabel* m_foreground = nullptr;
  QLabel* m_background = nullptr;
  QSpinBox* m_inkRefill = nullptr;
  QSpinBox* m_backgroundAmount = nullptr;
  QComboBox* m_variationMode = nullptr;
  QLabel* m_variationLabels[3] = {};
  QSpinBox* m_variation[3] = {};
  QSpinBox* m_positionVariation = nullptr;
  QComboBox* m_jitterMode = nullptr;
  QLabel* m_jitterLabels[3] = {};
  QSpinBox* m_jitter[3] = {};
};

}  // namespace varnel
