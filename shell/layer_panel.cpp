#include "shell/layer_panel.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <QInputDialog>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "core/blend.h"
#include "core/canvas.h"
#include "core/layer.h"
#include "document/bitmap_file.h"
#include "platform/colour.h"
#include "platform/program_folder.h"
#include "shell/command_table.h"
#include "shell/varnel_doc.h"

namespace varnel {
namespace {

constexpr const char* kUriList = "text/uri-list";
// The selected mask's frame: the colour reference 0xFF5050 (red 0x50, green 0x50, blue 0xFF).
const QColor kSelectedMaskFrame(0x50, 0x50, 0xFF);

bool Contains(int32_t left, int32_t top, int32_t width, int32_t height, QPoint p) {
  return p.x() >= left && p.x() < left + width && p.y() >= top && p.y() < top + height;
}

// Icons are drawn rather than loaded so that both states read clearly at 22 × 22 in any style.
void DrawEye(QPainter& painter, const QRect& r, bool open, const QPalette& palette) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QPointF c = QRectF(r).center();
  const qreal left = r.left() + 2.5;
  const qreal right = r.right() - 1.5;
  if (open) {
    QPainterPath outline;
    outline.moveTo(left, c.y());
    outline.quadTo(c.x(), r.top() + 2.0, right, c.y());
    outline.quadTo(c.x(), r.bottom() - 1.0, left, c.y());
    painter.setPen(QPen(palette.color(QPalette::WindowText), 1.5));
    painter.setBrush(palette.color(QPalette::Base));
    painter.drawPath(outline);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette.color(QPalette::WindowText));
    painter.drawEllipse(c, 3.5, 3.5);
  } else {
    // A closed lid with lashes, in a muted colour.
    QPainterPath lid;
    lid.moveTo(left, c.y() - 1.0);
    lid.quadTo(c.x(), c.y() + 7.0, right, c.y() - 1.0);
    painter.setPen(QPen(palette.color(QPalette::Disabled, QPalette::WindowText), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(lid);
    for (qreal dx : {-5.0, 0.0, 5.0}) painter.drawLine(QPointF(c.x() + dx, c.y() + 2.5), QPointF(c.x() + dx * 1.3, c.y() + 6.0));
  }
  painter.restore();
}

void DrawCheck(QPainter& painter, const QRect& r, bool on, const QPalette& palette) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QRectF box = QRectF(r).adjusted(4.5, 4.5, -4.5, -4.5);
  painter.setPen(QPen(palette.color(on ? QPalette::Active : QPalette::Disabled, QPalette::WindowText), 1.0));
  painter.setBrush(on ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base));
  painter.drawRect(box);
  if (on) {
    painter.setPen(QPen(palette.color(QPalette::HighlightedText), 2.0));
    painter.drawPolyline(QPolygonF({QPointF(box.left() + 3, box.center().y()), QPointF(box.center().x() - 1, box.bottom() - 3),
                                    QPointF(box.right() - 2.5, box.top() + 3)}));
  }
  painter.restore();
}

void DrawMaskSymbol(QPainter& painter, const QRect& r, bool on, const QPalette& palette) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  const QRectF box = QRectF(r).adjusted(3.5, 3.5, -3.5, -3.5);
  const qreal radius = box.width() / 3;
  if (on) {
    // A mask: a grey square with a dark round hole.
    painter.setPen(QPen(palette.color(QPalette::WindowText), 1.0));
    painter.setBrush(QColor(0xB0, 0xB0, 0xB0));
    painter.drawRect(box);
    painter.setBrush(palette.color(QPalette::WindowText));
    painter.drawEllipse(box.center(), radius, radius);
  } else {
    // Hidden masks: only a dashed outline of the square and the hole.
    painter.setPen(QPen(palette.color(QPalette::Disabled, QPalette::WindowText), 1.0, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
    painter.drawEllipse(box.center(), radius, radius);
  }
  painter.restore();
}

QImage MaskImage(const LayerMaskList& masks, int32_t index) {
  const std::array<uint32_t, 32 * 32> pixels = masks.Thumbnail(index);
  QImage image(LayerPanel::kMaskSize, LayerPanel::kMaskSize, QImage::Format_ARGB32);
  for (int y = 0; y < LayerPanel::kMaskSize; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < LayerPanel::kMaskSize; ++x) {
      const uint32_t c = pixels[static_cast<size_t>(y * 32 + x)] & 0xFFFFFFu;
      // Magenta is the thumbnail's transparent colour.
      row[x] = c == 0xFF00FFu ? 0u : (0xFF000000u | c);
    }
  }
  return image;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

LayerMimeData::LayerMimeData(const QObject* panel, CVarnelDoc* document, const Layer* layer)
    : m_panel(panel), m_document(document), m_layer(layer) {}

QStringList LayerMimeData::formats() const { return {QString::fromLatin1(kUriList)}; }

bool LayerMimeData::hasFormat(const QString& mimeType) const { return mimeType == QLatin1String(kUriList); }

QString LayerMimeData::CachedFile() const {
  if (m_written) return m_path;
  m_written = true;
  // The drag may outlive the layer (the document closed, the layer deleted): write only a
  // layer that is still in its canvas.
  if (!m_document) return m_path;
  const Canvas& canvas = m_document->GetCanvas();
  for (int32_t i = 0; i < canvas.LayerCount(); ++i) {
    if (canvas.GetLayer(i) != m_layer) continue;
    const std::string path = WritablePath(kFileName);
    if (WriteBitmap24(path, *m_layer) == 0) m_path = QString::fromStdString(path);
    break;
  }
  return m_path;
}

QVariant LayerMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
  if (mimeType != QLatin1String(kUriList)) return {};
  const QString path = CachedFile();
  if (path.isEmpty()) return {};
  const QUrl url = QUrl::fromLocalFile(path);
  switch (type.id()) {
    case QMetaType::QByteArray:
      return url.toEncoded() + "\r\n";
    case QMetaType::QString:
      return QString::fromLatin1(url.toEncoded()) + "\r\n";
    default:
      return QVariantList{url};
  }
}

// ---------------------------------------------------------------------------------------------

// The owner-drawn list: a scroll area whose viewport the panel paints and whose events the
// panel handles.
class LayerListView : public QAbstractScrollArea {
 public:
  explicit LayerListView(LayerPanel& panel) : QAbstractScrollArea(&panel), m_panel(panel) {
    setObjectName("LayerList");
    viewport()->setObjectName("LayerListViewport");
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(LayerPanel::kItemHeight / 2);
    horizontalScrollBar()->setSingleStep(16);
  }

  QPoint Offset() const { return {horizontalScrollBar()->value(), verticalScrollBar()->value()}; }
  int ContentWidth() const { return m_contentWidth; }

  void SetContentSize(int width, int height) {
    m_contentWidth = width;
    m_contentHeight = height;
    UpdateRanges();
    viewport()->update();
  }

  QSize sizeHint() const override { return {240, 300}; }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    const QPoint offset = Offset();
    painter.translate(-offset);
    m_panel.PaintList(painter, event->rect().translated(offset));
  }
  void resizeEvent(QResizeEvent* event) override {
    QAbstractScrollArea::resizeEvent(event);
    UpdateRanges();
  }
  void scrollContentsBy(int, int) override { viewport()->update(); }
  void mousePressEvent(QMouseEvent* event) override { m_panel.ListPress(*event); }
  void mouseMoveEvent(QMouseEvent* event) override { m_panel.ListMove(*event); }
  void mouseReleaseEvent(QMouseEvent* event) override { m_panel.ListRelease(*event); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { m_panel.ListDoubleClick(*event); }
  bool viewportEvent(QEvent* event) override {
    if (event->type() == QEvent::ToolTip) {
      auto* help = static_cast<QHelpEvent*>(event);
      const QString tip = m_panel.ToolTipAt(help->pos() + Offset());
      if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
      } else {
        QToolTip::showText(help->globalPos(), tip, viewport());
      }
      return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
  }
  void dragEnterEvent(QDragEnterEvent* event) override { m_panel.ListDragEnter(*event); }
  void dragMoveEvent(QDragMoveEvent* event) override { m_panel.ListDragMove(*event); }
  void dropEvent(QDropEvent* event) override { m_panel.ListDrop(*event); }

 private:
  void UpdateRanges() {
    const QSize view = viewport()->size();
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setRange(0, std::max(0, m_contentWidth - view.width()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setRange(0, std::max(0, m_contentHeight - view.height()));
  }

  LayerPanel& m_panel;
  int m_contentWidth = 0;
  int m_contentHeight = 0;
};

// ---------------------------------------------------------------------------------------------

LayerPanel::LayerPanel(QWidget* parent)
    : QWidget(parent),
      m_list(new LayerListView(*this)),
      m_modeBox(new QComboBox(this)),
      m_opacityBox(new QSpinBox(this)),
      m_opacitySlider(new QSlider(Qt::Horizontal, this)) {
  setObjectName("LayerPanel");

  m_modeBox->setObjectName("BlendModeBox");
  for (const BlendModeEntry& entry : kBlendModes)
    m_modeBox->addItem(QString::fromUtf8(entry.name.data(), static_cast<qsizetype>(entry.name.size())), ModeNumber(entry.mode));
  m_opacityBox->setObjectName("OpacityBox");
  m_opacityBox->setRange(0, 100);
  m_opacityBox->setSuffix("%");
  m_opacitySlider->setObjectName("OpacitySlider");
  m_opacitySlider->setRange(0, 100);
  m_opacitySlider->setPageStep(10);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(3);
  layout->addWidget(m_list, 1);

  auto* modeRow = new QHBoxLayout;
  modeRow->addWidget(new QLabel("モード", this));
  modeRow->addWidget(m_modeBox, 1);
  layout->addLayout(modeRow);

  auto* opacityRow = new QHBoxLayout;
  opacityRow->addWidget(new QLabel("不透明度", this));
  opacityRow->addWidget(m_opacitySlider, 1);
  opacityRow->addWidget(m_opacityBox);
  layout->addLayout(opacityRow);

  // Short texts on the buttons; the tips are the commands' own labels.
  struct Button {
    const char* objectName;
    const char* text;
    int id;
  };
  static constexpr Button kButtons[] = {
      {"NewLayerButton", "新規レイヤ", kCmdNewLayer},
      {"DuplicateLayerButton", "複製", kCmdDuplicateLayer},
      {"MoveLayerUpButton", "上へ", kCmdMoveLayerUp},
      {"MoveLayerDownButton", "下へ", kCmdMoveLayerDown},
      {"DeleteLayersButton", "削除", kCmdDeleteLayers},
  };
  auto* buttonRow = new QHBoxLayout;
  buttonRow->setSpacing(1);
  for (const Button& b : kButtons) {
    auto* button = new QToolButton(this);
    button->setObjectName(b.objectName);
    button->setText(QString::fromUtf8(b.text));
    button->setToolTip(QString::fromStdString(CommandText(b.id)));
    button->setAutoRaise(true);
    const int id = b.id;
    connect(button, &QToolButton::clicked, this, [this, id] { emit commandRequested(id); });
    buttonRow->addWidget(button);
  }
  buttonRow->addStretch(1);
  layout->addLayout(buttonRow);

  connect(m_modeBox, &QComboBox::currentIndexChanged, this, &LayerPanel::OnModeChosen);
  connect(m_opacityBox, &QSpinBox::valueChanged, this, &LayerPanel::OnOpacityChosen);
  connect(m_opacitySlider, &QSlider::valueChanged, this, &LayerPanel::OnOpacityChosen);

  Refresh();
}

LayerPanel::~LayerPanel() = default;

QAbstractScrollArea* LayerPanel::List() const { return m_list; }

void LayerPanel::SetDocument(CVarnelDoc* document) {
  if (m_document == document) {
    Refresh();
    return;
  }
  if (m_document) disconnect(m_document, nullptr, this, nullptr);
  m_document = document;
  ForgetLayers();
  if (document) {
    connect(document, &QObject::destroyed, this, &LayerPanel::OnDocumentDestroyed);
    connect(document, &CVNDocument::pictureChanged, this, &LayerPanel::OnPictureChanged);
  }
  m_list->verticalScrollBar()->setValue(0);
  m_list->horizontalScrollBar()->setValue(0);
  Refresh();
}

void LayerPanel::OnDocumentDestroyed() {
  // The document's canvas is already gone here: forget every pointer into it, touch nothing.
  m_document = nullptr;
  ForgetLayers();
  Refresh();
}

void LayerPanel::ForgetLayers() {
  m_states.clear();
  m_thumbnails.clear();
  m_selection.clear();
  m_anchor = nullptr;
  m_lastActive = nullptr;
  m_pressItem = -1;
}

void LayerPanel::OnPictureChanged() {
  // Painting goes to the active layer; its thumbnail is rebuilt when next drawn.
  if (!m_document) return;
  auto found = m_thumbnails.find(m_document->GetCanvas().ActiveLayer());
  if (found != m_thumbnails.end()) found->second.stale = true;
  m_list->viewport()->update();
}

Layer* LayerPanel::LayerAt(int32_t item) const { return m_document ? m_document->GetCanvas().GetLayer(item) : nullptr; }

int32_t LayerPanel::Count() const { return m_document ? m_document->GetCanvas().LayerCount() : 0; }

int32_t LayerPanel::IndexOf(const Layer* layer) const {
  if (!layer) return -1;
  for (int32_t i = 0, n = Count(); i < n; ++i)
    if (LayerAt(i) == layer) return i;
  return -1;
}

int32_t LayerPanel::ActiveItem() const {
  if (!m_document) return -1;
  const Canvas& canvas = m_document->GetCanvas();
  const int32_t active = canvas.ActiveIndex();
  return active >= 0 && active < canvas.LayerCount() ? active : -1;
}

const LayerPanel::ItemState* LayerPanel::StateOf(int32_t item) const {
  auto found = m_states.find(LayerAt(item));
  return found == m_states.end() ? nullptr : &found->second;
}

LayerPanel::ItemState& LayerPanel::StateFor(int32_t item) { return m_states[LayerAt(item)]; }

uint32_t LayerPanel::DisplayFlags(int32_t item) const {
  const ItemState* state = StateOf(item);
  return state ? state->flags : 0;
}

int32_t LayerPanel::SelectedMask(int32_t item) const {
  const ItemState* state = StateOf(item);
  const Layer* layer = LayerAt(item);
  if (!state || !layer || state->selectedMask >= layer->Masks().Count()) return -1;
  return state->selectedMask;
}

// ---------------------------------------------------------------------------------------------
// Geometry. Every item is 50 pixels high but the active one, which is 65.

int32_t LayerPanel::ThumbnailSide(int32_t item) const { return item == ActiveItem() ? kActiveThumbnail : kThumbnail; }

int32_t LayerPanel::ItemHeight(int32_t item) const { return item == ActiveItem() ? kActiveItemHeight : kItemHeight; }

int32_t LayerPanel::ItemTop(int32_t item) const {
  const int32_t active = ActiveItem();
  return item * kItemHeight + (active >= 0 && item > active ? kActiveItemHeight - kItemHeight : 0);
}

int32_t LayerPanel::ItemAt(int32_t y) const {
  const int32_t count = Count();
  if (y < 0 || count == 0) return -1;
  const int32_t active = ActiveItem();
  int32_t item;
  if (active < 0 || y < active * kItemHeight)
    item = y / kItemHeight;
  else if (y < active * kItemHeight + kActiveItemHeight)
    item = active;
  else
    item = active + 1 + (y - active * kItemHeight - kActiveItemHeight) / kItemHeight;
  return item < count ? item : -1;
}

LayerPanel::Hit LayerPanel::HitTest(QPoint contentPoint) const {
  Hit hit;
  hit.item = ItemAt(contentPoint.y());
  if (hit.item < 0) return hit;
  const QPoint p(contentPoint.x(), contentPoint.y() - ItemTop(hit.item));
  const int32_t t = ThumbnailSide(hit.item);
  const uint32_t flags = DisplayFlags(hit.item);
  // The order in which the parts are tried is fixed: second toggle, thumbnail, visibility,
  // mask toggle, masks.
  if (Contains(27 + t, 26, kIconSize, kIconSize, p)) {
    hit.part = Part::kSecondToggle;
  } else if (Contains(27, 4, t, t, p)) {
    hit.part = Part::kThumbnail;
  } else if (Contains(27 + t, 4, kIconSize, kIconSize, p)) {
    hit.part = Part::kVisibility;
  } else if (Contains(5, 4 + t / 2 - 11, kIconSize, kIconSize, p)) {
    hit.part = Part::kMaskToggle;
  } else {
    hit.part = Part::kItem;
    if (flags & kFlagShowMasks) {
      const int32_t masks = LayerAt(hit.item)->Masks().Count();
      for (int32_t m = 0; m < masks; ++m) {
        if (Contains(49 + t + kMaskPitch * m, 4, kMaskSize, kMaskSize, p)) {
          hit.part = Part::kMask;
          hit.mask = m;
          break;
        }
      }
    }
  }
  return hit;
}

namespace {

// Where an item's text starts: right of the icons, or of the masks while they are shown.
int32_t TextLeft(int32_t t, uint32_t flags, int32_t masks) {
  return 49 + t + ((flags & LayerPanel::kFlagShowMasks) ? LayerPanel::kMaskPitch * masks : 0) + 6;
}

QString InfoText(const Layer& layer) {
  const std::string_view mode = BlendModeName(layer.BlendMode());
  return QString("%1  %2%").arg(QString::fromUtf8(mode.data(), static_cast<qsizetype>(mode.size()))).arg(layer.Opacity());
}

}  // namespace

int32_t LayerPanel::ContentWidth() const {
  const QFontMetrics metrics = m_list->viewport()->fontMetrics();
  int32_t width = 0;
  for (int32_t i = 0, n = Count(); i < n; ++i) {
    const Layer& layer = *LayerAt(i);
    const int32_t text = std::max(metrics.horizontalAdvance(QString::fromStdString(layer.Name())),
                                  metrics.horizontalAdvance(InfoText(layer)));
    width = std::max(width, TextLeft(ThumbnailSide(i), DisplayFlags(i), layer.Masks().Count()) + text + 6);
  }
  return width;
}

void LayerPanel::UpdateGeometry() {
  const int32_t count = Count();
  const int32_t height = count * kItemHeight + (ActiveItem() >= 0 ? kActiveItemHeight - kItemHeight : 0);
  m_list->SetContentSize(ContentWidth(), height);
}

// ---------------------------------------------------------------------------------------------
// Thumbnails: sampled straight from the layer's rows at the size shown, never a full copy.

const QImage& LayerPanel::ThumbnailImage(const Layer& layer, int32_t side) {
  Thumbnail& thumbnail = m_thumbnails[&layer];
  if (!thumbnail.stale && thumbnail.side == side) return thumbnail.image;
  thumbnail.side = side;
  thumbnail.stale = false;
  if (thumbnail.image.width() != side) thumbnail.image = QImage(side, side, QImage::Format_RGB32);
  const int64_t width = layer.Width();
  const int64_t height = layer.Height();
  if (width < 1 || height < 1) {
    thumbnail.image.fill(QColor(0x80, 0x80, 0x80));
    return thumbnail.image;
  }
  for (int32_t y = 0; y < side; ++y) {
    // The nearest source pixel to the centre of each thumbnail pixel.
    const uint32_t* row = layer.Row(static_cast<int32_t>((2 * y + 1) * height / (2 * side)));
    auto* out = reinterpret_cast<QRgb*>(thumbnail.image.scanLine(y));
    for (int32_t x = 0; x < side; ++x) {
      out[x] = OverChecker(row[(2 * x + 1) * width / (2 * side)], x, y, 4);
    }
  }
  return thumbnail.image;
}

void LayerPanel::DropThumbnails() {
  for (auto& [layer, thumbnail] : m_thumbnails) thumbnail.stale = true;
}

// ---------------------------------------------------------------------------------------------
// Painting.

void LayerPanel::PaintList(QPainter& painter, const QRect& contentArea) {
  const int32_t count = Count();
  if (count == 0) return;
  // Measuring every name is left to UpdateGeometry; painting uses the width it found.
  const int32_t width = std::max(m_list->viewport()->width() + m_list->Offset().x(), m_list->ContentWidth());
  int32_t first = ItemAt(std::max(0, contentArea.top()));
  if (first < 0) return;
  for (int32_t item = first; item < count; ++item) {
    const int32_t top = ItemTop(item);
    if (top > contentArea.bottom()) break;
    painter.save();
    painter.translate(0, top);
    PaintItem(painter, item, width);
    painter.restore();
  }
}

void LayerPanel::PaintItem(QPainter& painter, int32_t item, int32_t width) {
  const Layer& layer = *LayerAt(item);
  const QPalette& pal = m_list->palette();
  const int32_t t = ThumbnailSide(item);
  const int32_t height = ItemHeight(item);
  const uint32_t flags = DisplayFlags(item);

  if (m_selection.count(&layer)) {
    QColor highlight = pal.color(QPalette::Highlight);
    highlight.setAlpha(70);
    painter.fillRect(0, 0, width, height, highlight);
  }
  painter.setPen(pal.color(QPalette::Mid));
  painter.drawLine(0, height - 1, width - 1, height - 1);

  // Thumbnail: the layer stretched into the square inside a one-pixel frame.
  painter.drawImage(QPoint(28, 5), ThumbnailImage(layer, t - 2));
  painter.setPen(item == ActiveItem() ? QColor(0xFF, 0, 0) : QColor(0, 0, 0));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(27, 4, t - 1, t - 1);

  DrawEye(painter, QRect(27 + t, 4, kIconSize, kIconSize), layer.IsVisible(), pal);
  DrawCheck(painter, QRect(27 + t, 26, kIconSize, kIconSize), flags & kFlagSecond, pal);
  DrawMaskSymbol(painter, QRect(5, 4 + t / 2 - 11, kIconSize, kIconSize), flags & kFlagShowMasks, pal);

  const int32_t masks = layer.Masks().Count();
  if (flags & kFlagShowMasks) {
    const int32_t selected = SelectedMask(item);
    for (int32_t m = 0; m < masks; ++m) {
      const int32_t x = 49 + t + kMaskPitch * m;
      painter.drawImage(QPoint(x, 4), MaskImage(layer.Masks(), m));
      if (m == selected) {
        painter.setPen(QPen(kSelectedMaskFrame, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(x - 1, 3, kMaskSize + 2, kMaskSize + 2));
      }
    }
  }

  const int32_t textLeft = TextLeft(t, flags, masks);
  painter.setPen(pal.color(QPalette::Text));
  painter.drawText(QRect(textLeft, 4, width, 18), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(layer.Name()));
  painter.setPen(pal.color(QPalette::Disabled, QPalette::Text));
  painter.drawText(QRect(textLeft, 22, width, 18), Qt::AlignLeft | Qt::AlignVCenter, InfoText(layer));
}

// ---------------------------------------------------------------------------------------------
// Clicks and selection.

void LayerPanel::SelectByClick(int32_t item, Qt::KeyboardModifiers modifiers) {
  const Layer* layer = LayerAt(item);
  if (!layer) return;
  const bool control = modifiers & Qt::ControlModifier;
  if (modifiers & Qt::ShiftModifier) {
    int32_t anchor = IndexOf(m_anchor);
    if (anchor < 0) {
      anchor = item;
      m_anchor = layer;
    }
    if (!control) m_selection.clear();
    // From the anchor toward the clicked item, until the selection is full.
    const int32_t step = item >= anchor ? 1 : -1;
    for (int32_t i = anchor;; i += step) {
      if (m_selection.size() >= kMaxSelection && !m_selection.count(LayerAt(i))) break;
      m_selection.insert(LayerAt(i));
      if (i == item) break;
    }
  } else if (control) {
    if (!m_selection.erase(layer) && m_selection.size() < kMaxSelection) m_selection.insert(layer);
    m_anchor = layer;
  } else {
    m_selection.clear();
    m_selection.insert(layer);
    m_anchor = layer;
  }
  m_list->viewport()->update();
}

std::vector<int32_t> LayerPanel::SelectedIndices() const {
  std::vector<int32_t> indices;
  for (int32_t i = 0, n = Count(); i < n && indices.size() < kMaxSelection; ++i)
    if (m_selection.count(LayerAt(i))) indices.push_back(i);
  return indices;
}

void LayerPanel::SetSelectedIndices(const std::vector<int32_t>& indices) {
  m_selection.clear();
  for (int32_t index : indices) {
    if (m_selection.size() >= kMaxSelection) break;
    if (const Layer* layer = LayerAt(index)) m_selection.insert(layer);
  }
  m_list->viewport()->update();
}

void LayerPanel::Activate(int32_t item, Qt::KeyboardModifiers modifiers) {
  Canvas& canvas = m_document->GetCanvas();
  canvas.SetActiveLayer(item);
  m_lastActive = canvas.ActiveLayer();
  SelectByClick(item, modifiers);
  UpdateGeometry();
  SyncControls();
  emit layersChanged();
}

void LayerPanel::ListPress(QMouseEvent& event) {
  m_pressItem = -1;
  if (!m_document || event.button() != Qt::LeftButton) return;
  const QPoint point = event.position().toPoint();
  const Hit hit = HitTest(point + m_list->Offset());
  if (hit.item < 0) return;
  m_pressItem = hit.item;
  m_pressPoint = point;
  Canvas& canvas = m_document->GetCanvas();
  Layer& layer = *canvas.GetLayer(hit.item);

  switch (hit.part) {
    case Part::kSecondToggle:
      StateFor(hit.item).flags ^= kFlagSecond;
      m_list->viewport()->update();
      break;
    case Part::kThumbnail:
      Activate(hit.item, event.modifiers());
      break;
    case Part::kVisibility:
      layer.SetVisible(!layer.IsVisible());
      m_document->SetModifiedFlag(true);
      RecomposeLayer(layer);
      m_list->viewport()->update();
      emit layersChanged();
      break;
    case Part::kMaskToggle:
      StateFor(hit.item).flags ^= kFlagShowMasks;
      UpdateGeometry();
      break;
    case Part::kMask:
      StateFor(hit.item).selectedMask = hit.mask;
      m_list->viewport()->update();
      emit maskSelected(hit.item, hit.mask);
      break;
    case Part::kItem:
      // A plain click on the row's name works as on the thumbnail: a painter clicks a layer to
      // paint on it. With Ctrl or Shift it only builds the selection for merging and deleting.
      if (!(event.modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) Activate(hit.item, event.modifiers());
      else SelectByClick(hit.item, event.modifiers());
      break;
    case Part::kNone:
      break;
  }
}

void LayerPanel::ListMove(QMouseEvent& event) {
  if (m_pressItem < 0 || !(event.buttons() & Qt::LeftButton)) return;
  const QPoint d = event.position().toPoint() - m_pressPoint;
  if (std::abs(d.x()) + std::abs(d.y()) <= kDragDistance) return;
  const int32_t item = m_pressItem;
  m_pressItem = -1;
  StartDrag(item);
}

void LayerPanel::ListRelease(QMouseEvent&) { m_pressItem = -1; }

// A double click on the name gives the layer a new one; the name travels in the layer file.
void LayerPanel::RenameLayer(int32_t item) {
  Layer* layer = LayerAt(item);
  if (layer == nullptr) return;
  bool ok = false;
  const QString name = QInputDialog::getText(this, QString::fromUtf8("レイヤ名の変更"), QString::fromUtf8("名前"),
                                             QLineEdit::Normal, QString::fromStdString(layer->Name()), &ok);
  // The document may have gone while the dialog was open.
  if (!ok || !m_document || LayerAt(item) != layer || name.toStdString() == layer->Name()) return;
  layer->SetName(name.toStdString());
  m_document->SetModifiedFlag(true);
  m_list->viewport()->update();
  emit layersChanged();
}

void LayerPanel::ListDoubleClick(QMouseEvent& event) {
  if (!m_document || event.button() != Qt::LeftButton) return;
  const Hit hit = HitTest(event.position().toPoint() + m_list->Offset());
  if (hit.part == Part::kItem) {
    RenameLayer(hit.item);
    return;
  }
  if (hit.part != Part::kMask) return;
  // A mask counts only while it is on; switching it is how a painter sees it work.
  Layer& layer = *m_document->GetCanvas().GetLayer(hit.item);
  LayerMaskList& masks = layer.Masks();
  masks.SetMaskEnabled(hit.mask, !masks.IsEnabled(hit.mask));
  m_document->SetModifiedFlag(true);
  RecomposeLayer(layer);
  m_list->viewport()->update();
  emit layersChanged();
}

QString LayerPanel::ToolTipAt(QPoint contentPoint) const {
  switch (HitTest(contentPoint).part) {
    case Part::kThumbnail: return "クリックでこのレイヤに描画します";
    case Part::kVisibility: return "レイヤの表示/非表示を切り替えます";
    case Part::kSecondToggle: return "レイヤに印を付けます (表示だけの目印です)";
    case Part::kMaskToggle: return "レイヤマスクの一覧を表示/非表示します";
    case Part::kMask: return "クリックで選択 (マスク編集モードで編集します)、ダブルクリックで有効/無効を切り替えます";
    default: return {};
  }
}

void LayerPanel::StartDrag(int32_t item) {
  Layer* layer = LayerAt(item);
  if (!layer) return;
  // Qt deletes a drag after its exec; the object must live on the heap.
  QPointer<QDrag> drag = new QDrag(m_list);
  drag->setMimeData(new LayerMimeData(this, m_document, layer));
  drag->setPixmap(QPixmap::fromImage(ThumbnailImage(*layer, kThumbnail - 2)));
  if (execDrag) {
    execDrag(*drag);
    if (drag) drag->deleteLater();
  } else {
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
  }
}

std::optional<std::pair<int32_t, int32_t>> LayerPanel::DropSwap(const QMimeData* data, QPoint viewportPoint) const {
  const auto* layerData = qobject_cast<const LayerMimeData*>(data);
  if (!layerData || layerData->Panel() != this || !m_document || layerData->Document() != m_document) return std::nullopt;
  const int32_t source = IndexOf(layerData->SourceLayer());
  const int32_t target = ItemAt(viewportPoint.y() + m_list->Offset().y());
  if (source < 0 || target < 0 || source == target) return std::nullopt;
  return std::make_pair(source, target);
}

void LayerPanel::ListDragEnter(QDragEnterEvent& event) {
  const auto* layerData = qobject_cast<const LayerMimeData*>(event.mimeData());
  if (layerData && layerData->Panel() == this && layerData->Document() == m_document) {
    event.setDropAction(Qt::MoveAction);
    event.accept();
  } else {
    event.ignore();
  }
}

void LayerPanel::ListDragMove(QDragMoveEvent& event) {
  if (DropSwap(event.mimeData(), event.position().toPoint())) {
    event.setDropAction(Qt::MoveAction);
    event.accept();
  } else {
    event.ignore();
  }
}

void LayerPanel::ListDrop(QDropEvent& event) {
  const auto swap = DropSwap(event.mimeData(), event.position().toPoint());
  if (!swap) {
    event.ignore();
    return;
  }
  event.setDropAction(Qt::MoveAction);
  event.accept();
  SwapItems(swap->first, swap->second);
}

bool LayerPanel::SwapItems(int32_t a, int32_t b) {
  if (!m_document) return false;
  Canvas& canvas = m_document->GetCanvas();
  const Layer* active = canvas.ActiveLayer();
  if (!canvas.SwapLayers(a, b)) return false;
  // The swap keeps the active index, which would hand the active role to the other layer; the
  // layer being worked on stays active, as the move commands keep it.
  const int32_t activeNow = IndexOf(active);
  if (activeNow >= 0 && activeNow != canvas.ActiveIndex()) canvas.SetActiveLayer(activeNow);
  m_document->SetModifiedFlag(true);
  Refresh();
  m_document->UpdateAllViews();
  emit layersChanged();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Refresh, and the mode and opacity controls.

void LayerPanel::PruneState() {
  std::unordered_set<const Layer*> present;
  for (int32_t i = 0, n = Count(); i < n; ++i) present.insert(LayerAt(i));
  std::erase_if(m_states, [&](const auto& entry) { return !present.count(entry.first); });
  std::erase_if(m_thumbnails, [&](const auto& entry) { return !present.count(entry.first); });
  std::erase_if(m_selection, [&](const Layer* layer) { return !present.count(layer); });
  if (!present.count(m_anchor)) m_anchor = nullptr;
}

void LayerPanel::Refresh() {
  const bool hadSelection = !m_selection.empty();
  PruneState();
  DropThumbnails();
  if (m_document) {
    // When the active layer changed behind the panel (a command, undo, a new document), the
    // selection follows it, so that the next command acts on the layer the painter sees.
    const Layer* active = m_document->GetCanvas().ActiveLayer();
    if (active != m_lastActive || (hadSelection && m_selection.empty())) {
      m_selection.clear();
      if (active) m_selection.insert(active);
      m_anchor = active;
    }
    m_lastActive = active;
  } else {
    m_lastActive = nullptr;
  }
  m_pressItem = -1;
  UpdateGeometry();
  SyncControls();
  m_list->viewport()->update();
}

void LayerPanel::SyncControls() {
  const Layer* layer = m_document ? m_document->GetCanvas().ActiveLayer() : nullptr;
  m_syncing = true;
  const int32_t mode = layer ? ModeNumber(layer->BlendMode()) : 0;
  m_modeBox->setCurrentIndex(mode >= 0 && mode < kBlendModeCount ? mode : -1);
  m_opacityBox->setValue(layer ? layer->Opacity() : 100);
  m_opacitySlider->setValue(layer ? layer->Opacity() : 100);
  m_syncing = false;
  m_modeBox->setEnabled(layer != nullptr);
  m_opacityBox->setEnabled(layer != nullptr);
  m_opacitySlider->setEnabled(layer != nullptr);
}

void LayerPanel::RecomposeLayer(const Layer& layer) {
  if (!m_document) return;
  // Only what the layer covers can change; Compose cuts it to the canvas.
  if (layer.Width() > 0 && layer.Height() > 0) m_document->GetCanvas().Compose(layer.Bounds());
  m_document->UpdateAllViews();
}

void LayerPanel::OnModeChosen(int index) {
  if (m_syncing || !m_document || index < 0 || index >= kBlendModeCount) return;
  Layer* layer = m_document->GetCanvas().ActiveLayer();
  if (!layer || layer->BlendMode() == BlendMode{index}) return;
  layer->SetBlendMode(BlendMode{index});
  m_document->SetModifiedFlag(true);
  RecomposeLayer(*layer);
  UpdateGeometry();
  emit layersChanged();
}

void LayerPanel::OnOpacityChosen(int value) {
  if (m_syncing) return;
  // Keep the spin box and the slider showing the same value.
  m_syncing = true;
  m_opacityBox->setValue(value);
  m_opacitySlider->setValue(value);
  m_syncing = false;
  if (!m_document) return;
  Layer* layer = m_document->GetCanvas().ActiveLayer();
  if (!layer || layer->Opacity() == value) return;
  layer->SetOpacity(value);
  m_document->SetModifiedFlag(true);
  RecomposeLayer(*layer);
  UpdateGeometry();
  emit layersChanged();
}

}  // namespace varnel
