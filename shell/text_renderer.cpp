#include "shell/text_renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cmath>
#include <iterator>

namespace varnel {
namespace {

constexpr int kMaxSide = 32767;  // the raster engine's coordinates stay exact below this
constexpr int64_t kMaxPixels = int64_t{1} << 28;
// CJK fonts put the top of their ideographic em box 0.88 em above the baseline.
constexpr double kEmBoxAscent = 0.88;

// Characters that have a glyph of their own for vertical writing, with its presentation form.
struct VerticalForm {
  char16_t horizontal;
  char16_t vertical;
};
constexpr VerticalForm kVerticalForms[] = {
    {u'\u3001', u'\uFE11'}, {u'\u3002', u'\uFE12'}, {u'\uFF0C', u'\uFE10'}, {u'\uFF1A', u'\uFE13'},  // 、。，：
    {u'\uFF1B', u'\uFE14'}, {u'\uFF01', u'\uFE15'}, {u'\uFF1F', u'\uFE16'}, {u'\u2026', u'\uFE19'},  // ；！？…
    {u'\u2025', u'\uFE30'}, {u'\u2014', u'\uFE31'}, {u'\u2013', u'\uFE32'}, {u'\uFF3F', u'\uFE33'},  // ‥—–＿
    {u'\uFF08', u'\uFE35'}, {u'\uFF09', u'\uFE36'}, {u'\uFF5B', u'\uFE37'}, {u'\uFF5D', u'\uFE38'},  // （）｛｝
    {u'\u3014', u'\uFE39'}, {u'\u3015', u'\uFE3A'}, {u'\u3010', u'\uFE3B'}, {u'\u3011', u'\uFE3C'},  // 〔〕【】
    {u'\u300A', u'\uFE3D'}, {u'\u300B', u'\uFE3E'}, {u'\u3008', u'\uFE3F'}, {u'\u3009', u'\uFE40'},  // 《》〈〉
    {u'\u300C', u'\uFE41'}, {u'\u300D', u'\uFE42'}, {u'\u300E', u'\uFE43'}, {u'\u300F', u'\uFE44'},  // 「」『』
    {u'\uFF3B', u'\uFE47'}, {u'\uFF3D', u'\uFE48'}, {u'\u3016', u'\uFE17'}, {u'\u3017', u'\uFE18'},  // ［］〖〗
};
// Characters without a vertical form that lie along the column: turned a quarter clockwise.
constexpr char16_t kTurned[] = {u'\u30FC', u'\u301C', u'\uFF5E', u'\uFF0D', u'\u2015', u'\u2010'};  // ー〜～－―‐

QString VerticalGlyph(const QString& character) {
  if (character.size() != 1) return character;
  const char16_t c = character.front().unicode();
  for (const VerticalForm& form : kVerticalForms)
    if (form.horizontal == c) return QString(QChar(form.vertical));
  return character;
}

bool IsTurned(const QString& character) {
  return character.size() == 1 && std::find(std::begin(kTurned), std::end(kTurned), character.front().unicode()) !=
                                      std::end(kTurned);
}

QFont MakeFont(const TextSettings& settings) {
  QFont font(QString::fromStdString(settings.font));
  font.setPixelSize(std::clamp(settings.size, kTextSizeMinimum, kTextSizeMaximum));
  font.setBold(settings.bold);
  font.setItalic(settings.italic);
  // Coverage is one value a pixel: grey anti-aliasing, never the colour fringes of subpixel.
  font.setStyleStrategy(settings.antialias ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                                           : QFont::NoAntialias);
  return font;
}

QStringList Lines(const std::string& text) {
  QStringList lines = QString::fromStdString(text).split(u'\n');
  for (QString& line : lines)
    if (line.endsWith(u'\r')) line.chop(1);
  return lines;
}

QStringList Characters(const QString& line) {
  QStringList characters;
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line);
  for (qsizetype from = 0, to; (to = finder.toNextBoundary()) > from; from = to) characters.append(line.mid(from, to - from));
  return characters;
}

// An image for a block of width × height with room of pad all round, transparent, or null when
// too large. The raster engine draws text into 32-bit images several times faster than into
// 8-bit ones; the alpha is the coverage.
QImage BlockImage(double width, double height, int pad) {
  const double w = std::ceil(width) + 2.0 * pad, h = std::ceil(height) + 2.0 * pad;
  if (!(w <= kMaxSide && h <= kMaxSide) || w * h > double(kMaxPixels)) return {};
  QImage image(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
  if (!image.isNull()) image.fill(Qt::transparent);
  return image;
}

// The inked part of the image (black drawn on transparency: a pixel is 0 or its alpha alone) as
// a mask whose (0, 0) is the image's (pad, pad).
CoverageMask InkedPart(const QImage& image, int pad) {
  const int width = image.width(), height = image.height();
  const auto inked = [](uint32_t pixel) { return pixel != 0; };
  int left = width, top = -1, right = -1, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    const uint32_t* first = std::find_if(row, row + width, inked);
    if (first == row + width) continue;
    const uint32_t* last = std::find_if(std::make_reverse_iterator(row + width), std::make_reverse_iterator(first), inked).base();
    left = std::min(left, int(first - row));
    right = std::max(right, int(last - row) - 1);
    if (top < 0) top = y;
    bottom = y;
  }
  CoverageMask mask;
  if (top < 0) return mask;
  mask.bounds = Rect{left, top, right, bottom}.Offset(-pad, -pad);
  const size_t maskWidth = size_t(right - left + 1);
  mask.coverage.resize(maskWidth * size_t(bottom - top + 1));
  uint8_t* out = mask.coverage.data();
  for (int y = top; y <= bottom; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y)) + left;
    for (size_t x = 0; x < maskWidth; ++x) *out++ = uint8_t(row[x] >> 24);
  }
  return mask;
}

}  // namespace

CoverageMask RenderTextCoverage(const TextSettings& settings) {
  const QStringList lines = Lines(settings.text);
  const QFont font = MakeFont(settings);
  const QFontMetricsF metrics(font);
  const int em = font.pixelSize();
  // Italic slants and bearings may reach past the block; an em of room all round holds them.
  const int pad = em;
  const double spacing = std::ceil(metrics.lineSpacing());

  QImage image;
  if (!settings.vertical) {
    double width = 0;
    for (const QString& line : lines) width = std::max(width, metrics.horizontalAdvance(line));
    image = BlockImage(width, spacing * double(lines.size()), pad);
    if (image.isNull()) return {};
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, settings.antialias);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (qsizetype i = 0; i < lines.size(); ++i)
      painter.drawText(QPointF(pad, pad + double(i) * spacing + metrics.ascent()), lines[i]);
  } else {
    std::vector<QStringList> columns;
    qsizetype cells = 0;
    for (const QString& line : lines) {
      columns.push_back(Characters(line));
      cells = std::max(cells, columns.back().size());
    }
    image = BlockImage(spacing * double(columns.size()), double(em) * double(cells), pad);
    if (image.isNull()) return {};
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, settings.antialias);
    painter.setRenderHint(QPainter::Antialiasing, settings.antialias);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const double emBoxMiddle = (kEmBoxAscent - 0.5) * em;  // above the baseline
    for (size_t c = 0; c < columns.size(); ++c) {
      const double middleX = pad + spacing * double(columns.size() - 1 - c) + spacing / 2;
      for (qsizetype k = 0; k < columns[c].size(); ++k) {
        const QString glyph = VerticalGlyph(columns[c][k]);
        const double advance = metrics.horizontalAdvance(glyph);
        const double middleY = pad + double(em) * (double(k) + 0.5);
        if (IsTurned(glyph)) {
          // The middle of the glyph's em box goes to the middle of the cell.
          painter.save();
          painter.translate(middleX, middleY);
          painter.rotate(90);
          painter.drawText(QPointF(-advance / 2, emBoxMiddle), glyph);
          painter.restore();
        } else {
          painter.drawText(QPointF(middleX - advance / 2, middleY + emBoxMiddle), glyph);
        }
      }
    }
  }
  return InkedPart(image, pad);
}

}  // namespace varnel
