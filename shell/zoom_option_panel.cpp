#include "shell/zoom_option_panel.h"

#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "shell/panel_widgets.h"
#include "shell/varnel_view.h"
#include "tools/zoom_tool.h"

namespace varnel {

ZoomOptionPanel::ZoomOptionPanel(std::function<CVarnelView*()> activeView, QWidget* parent)
    : QWidget(parent), m_activeView(std::move(activeView)) {
  setObjectName("ZoomOptionPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(MakeTitle(this, kZoomToolName));
  auto* form = new QFormLayout;
  m_percent = MakeSpin(this, "ZoomPercent", kMinPercent, kMaxPercent);
  form->addRow("倍率(%)", m_percent);
  layout->addLayout(form);
  m_apply = new QPushButton("適用", this);
  m_apply->setObjectName("ZoomApply");
  layout->addWidget(m_apply);
  layout->addStretch(1);
  connect(m_apply, &QPushButton::clicked, this, &ZoomOptionPanel::Apply);
  Refresh();
}

void ZoomOptionPanel::Refresh() {
  CVarnelView* view = m_activeView ? m_activeView() : nullptr;
  if (view != m_followed) {
    if (m_followed) disconnect(m_followed, nullptr, this, nullptr);
    m_followed = view;
    if (view != nullptr) connect(view, &CVarnelView::zoomChanged, this, &ZoomOptionPanel::Refresh);
  }
  m_apply->setEnabled(view != nullptr);
  if (view == nullptr) return;
  const double percent = std::round(view->Zoom() * 100.0);
  m_percent->setValue(static_cast<int>(std::clamp(percent, double{kMinPercent}, double{kMaxPercent})));
}

void ZoomOptionPanel::Apply() {
  CVarnelView* view = m_activeView ? m_activeView() : nullptr;
  if (view == nullptr) return;
  // A value still being typed counts.
  m_percent->interpretText();
  view->ZoomAboutCentre(m_percent->value() / 100.0);
}

}  // namespace varnel
