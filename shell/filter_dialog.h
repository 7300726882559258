#pragma once
// "フィルタ": the modeless filter dialog over the filter host. The tree lists the libraries of
// Filter/ and their filters; six parameter slots (name, scroll bar, value text) show the
// selected filter's first six parameters (a seventh and later run at their defaults); the frame
// shows the live preview on a scaled copy of the active layer; "実行" runs the filter on the
// document inside the modal "Progress" dialog; "CopyParameter" puts the batch line of the call
// on the clipboard; "拡張設定" opens the library's own settings.

#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "filters/filter_host.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QTreeWidget;

namespace varnel {

class CMainFrame;
class CVarnelDoc;
class Profile;
class FilterPreviewFrame;
class FilterSlotScrollBar;

// The dialog's place: profile section "Settings", left and top of the window.
inline constexpr const char* kFilterDialogXKey = "FILTERUIXPOS";
inline constexpr const char* kFilterDialogYKey = "FILTERUIYPOS";
inline constexpr int32_t kFilterDialogDefaultPosition = 50;

class FilterDialog : public QDialog {
  Q_OBJECT

 public:
  // libraries outlive the dialog (the program's are kept until exit); activeDocument answers
  // the picture the preview and "実行" work on (null: nothing happens). The position is read
  // from the profile here and written back when the dialog goes.
  FilterDialog(const FilterLibraryList& libraries, Profile& profile, std::function<CVarnelDoc*()> activeDocument,
               QWidget* parent = nullptr);
  ~FilterDialog() override;

  // After "実行" changed a picture (its views are redrawn and it is marked modified first).
  std::function<void(CVarnelDoc& doc)> onApplied;

  // The filter of the selected tree item; no value before a filter item was chosen.
  const std::optional<FilterSelection>& Selection() const { return m_selection; }
  // The values a run passes now: the slots' positions, then the defaults.
  std::vector<int32_t> CurrentValues() const;
  const ImageSurface& PreviewSurface() const { return m_preview.Surface(); }

  void Apply();
  void CopyParameter();
  void OpenExtendedSettings();

 private:
  struct Slot {
    QLabel* name = nullptr;
    FilterSlotScrollBar* bar = nullptr;
    QLabel* value = nullptr;
  };

  void OnTreeSelection();
  void LoadPreviewSource();
  void RunPreview();
  void OnScrollAction(int slot, int qtAction);
  // The "Progress" dialog around one real run.
  void RunInProgress(FilterProgress& progress, const std::function<void()>& run);

  const FilterLibraryList& m_libraries;
  Profile& m_profile;
  std::function<CVarnelDoc*()> m_activeDocument;
  QTreeWidget* m_tree = nullptr;
  std::array<Slot, kFilterSlots> m_slots{};
  FilterPreviewFrame* m_frame = nullptr;
  FilterPreview m_preview;
  std::optional<FilterSelection> m_selection;
  int32_t m_parameterCount = 0;
};

// The modal "Progress" dialog of a real run: a bar 0…100 and "中断". When first shown it starts
// a 50 ms timer; on the first tick it calls run once, then closes with OK.
class FilterProgressDialog : public QDialog {
  Q_OBJECT

 public:
  FilterProgressDialog(FilterProgress& progress, std::function<void()> run, QWidget* parent);

  // For tests: called once the dialog is shown, before the run starts.
  static inline std::function<void(FilterProgressDialog&)> shownHookForTesting;
  QPushButton* AbortButton() const { return m_abort; }
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  FilterProgress& m_progress;
  std::function<void()> m_run;
  QProgressBar* m_bar;
  QPushButton* m_abort;
  int m_timer = 0;
  bool m_started = false;
};

// "フィルタ/効果(&F)": the main window's filter dialog is made hidden on first use over the
// program's Filter/ libraries; each use then shows it when hidden and hides it when shown.
void ToggleFilterDialog(CMainFrame& frame, Profile& profile);
// Whether the main window's filter dialog is visible (the menu item's check).
bool IsFilterDialogShown(const CMainFrame& frame);

}  // namespace varnel
