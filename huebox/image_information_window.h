#pragma once
// "画像情報": the picture-information window PaintMsg opens over the image the program hands
// Huebox. Size, layers and colour count as text; the histogram of one channel, chosen in a
// list, drawn as bars scaled to its highest count.

#include <QDialog>
#include <QVariantList>

#include "huebox/image_information.h"

class QComboBox;

namespace varnel::huebox {

class HistogramView : public QWidget {
  Q_OBJECT

 public:
  explicit HistogramView(QWidget* parent);
  void SetCounts(const std::array<int64_t, 256>& counts);
  QSize sizeHint() const override { return {256 + 2, 128 + 2}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<int64_t, 256> m_counts{};
};

class ImageInformationWindow : public QDialog {
  Q_OBJECT

 public:
  ImageInformationWindow(QWidget* owner, const ImageInformation& information);

 private:
  void ShowChannel(int channel);

  ImageInformation m_information;
  QComboBox* m_channel;
  HistogramView* m_histogram;
};

}  // namespace varnel::huebox
