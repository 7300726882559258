#include "huebox/image_information_window.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace varnel::huebox {

HistogramView::HistogramView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("histogram"));
  setMinimumSize(sizeHint());
}

void HistogramView::SetCounts(const std::array<int64_t, 256>& counts) {
  m_counts = counts;
  // The counts the bars stand for, for whoever inspects the window (tests, accessibility).
  QVariantList values;
  values.reserve(256);
  for (const int64_t count : counts) values.append(QVariant::fromValue<qint64>(count));
  setProperty("counts", values);
  update();
}

void HistogramView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  painter.setPen(palette().mid().color());
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  const int64_t highest = *std::max_element(m_counts.begin(), m_counts.end());
  if (highest == 0) return;
  const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
  const double barWidth = area.width() / 256.0;
  const QColor bar = palette().text().color();
  for (int value = 0; value < 256; ++value) {
    const int64_t count = m_counts[static_cast<size_t>(value)];
    if (count == 0) continue;
    // A value that occurs at all keeps at least one pixel of height.
    const double height = std::max(1.0, area.height() * static_cast<double>(count) / static_cast<double>(highest));
    painter.fillRect(QRectF(area.left() + value * barWidth, area.bottom() - height, std::max(barWidth, 1.0), height),
                     bar);
  }
}

ImageInformationWindow::ImageInformationWindow(QWidget* owner, const ImageInformation& information)
    : QDialog(owner), m_information(information) {
  setWindowTitle(QStringLiteral("画像情報"));
  const auto value = [this](const QString& name, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
  };
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("幅:"), value(QStringLiteral("width"), QStringLiteral("%1 ピクセル").arg(information.width)));
  form->addRow(QStringLiteral("高さ:"),
               value(QStringLiteral("height"), QStringLiteral("%1 ピクセル").arg(information.height)));
  form->addRow(QStringLiteral("レイヤー数:"), value(QStringLiteral("layers"), QString::number(information.layers)));
  form->addRow(QStringLiteral("色数:"), value(QStringLiteral("colours"), QString::number(information.colourCount)));

  m_channel = new QComboBox(this);
  m_channel->setObjectName(QStringLiteral("channel"));
  m_channel->addItems({QStringLiteral("赤"), QStringLiteral("緑"), QStringLiteral("青"), QStringLiteral("アルファ")});
  form->addRow(QStringLiteral("ヒストグラム:"), m_channel);
  m_histogram = new HistogramView(this);

  auto* close = new QPushButton(QStringLiteral("OK"), this);
  close->setDefault(true);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(m_histogram, 1);
  layout->addWidget(close, 0, Qt::AlignRight);

  connect(m_channel, &QComboBox::currentIndexChanged, this, &ImageInformationWindow::ShowChannel);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  ShowChannel(0);
}

void ImageInformationWindow::ShowChannel(int channel) {
  if (channel < 0 || channel >= kHistogramChannelCount) return;
  m_histogram->SetCounts(m_information.histogram[static_cast<size_t>(channel)]);
}

}  // namespace varnel::huebox
