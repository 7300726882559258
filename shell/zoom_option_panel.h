#pragma once
// The zoom tool's option panel: "倍率(%)" shows the active view's zoom and "適用" gives the view
// the zoom typed there, about the middle of what it shows.

#include <QPointer>
#include <QWidget>
#include <functional>

class QPushButton;
class QSpinBox;

namespace varnel {

class CVarnelView;

class ZoomOptionPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMinPercent = 1;
  static constexpr int kMaxPercent = 3200;

  // activeView answers the view the panel works on (null: none).
  explicit ZoomOptionPanel(std::function<CVarnelView*()> activeView, QWidget* parent = nullptr);

  // Shows the active view's zoom and follows its changes from now on.
  void Refresh();
  void Apply();

 private:
  std::function<CVarnelView*()> m_activeView;
  QPointer<CVarnelView> m_followed;
  QSpinBox* m_percent;
  QPushButton* m_apply;
};

}  // namespace varnel
