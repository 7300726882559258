#pragma once
// "フィルタ/効果", Sievehost's own filter dialog: the name-interface filters of its library list
// in a tree, six sliders with their names and value texts, the 140-pixel preview, "プレビュー",
// "COPY PARAM", and OK, which runs the chosen filter on the image with the progress bar and
// "中止". The work is in sievehost/filter_session.h; this class only wires it to widgets.

#include <QDialog>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sdk/varnel_image.h"
#include "sievehost/filter_session.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;

namespace varnel::sievehost {

class PreviewFrame;

class FilterDialog : public QDialog {
  Q_OBJECT

 public:
  // The control ids of the design, as object names for the tests.
  static constexpr int kPreviewFrameId = 8003, kPreviewId = 8010, kFirstSliderId = 8011, kFirstNameId = 8017,
                       kFirstValueId = 8023, kCopyParamId = 8029, kAbortId = 8034, kProgressId = 8035,
                       kCommentId = 8036;

  FilterDialog(QWidget* owner, ImageDescriptor& head, const SievehostLibraryList& libraries);

  void accept() override;
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The filter chosen in the tree and its parameters.
  struct Choice {
    const SievehostLibrary* library = nullptr;
    std::string libraryName;
    std::string filterName;
    std::vector<SievehostParameter> parameters;
  };

  void SelectItem(QTreeWidgetItem* item);
  void ShowValueTexts();
  void RefreshPreview();
  void CopyParam();
  std::vector<int32_t> Values() const;

  ImageDescriptor& m_head;
  const SievehostLibraryList& m_libraries;
  std::optional<Choice> m_choice;
  SievehostPreview m_preview;
  SievehostFilterRun* m_run = nullptr;

  QTreeWidget* m_tree;
  PreviewFrame* m_frame;
  std::array<QSlider*, kSievehostSlots> m_sliders{};
  std::array<QLabel*, kSievehostSlots> m_names{};
  std::array<QLabel*, kSievehostSlots> m_values{};
  QProgressBar* m_progress;
  QPushButton* m_abort;
};

}  // namespace varnel::sievehost
