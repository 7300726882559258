#include "macrolet/script_objects_p.h"

#include <QFile>
#include <QFileInfo>
#include <QJSEngine>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "document/bitmap_file.h"
#include "document/file_io.h"
#include "document/picture_loader.h"
#include "macrolet/script_pixels.h"

namespace varnel::script {
namespace {

constexpr int32_t kLargestSide = 65535;

// Every walk is clipped to the pixels GetPixel of the source and SetPixel of the destination
// could reach, so a huge width from a script costs nothing and changes nothing more.
struct Walk {
  int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // source rect, right and bottom excluded
  int64_t dx = 0, dy = 0;                  // destination minus source
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

Walk ClipWalk(const ImageSurface& destination, const ImageSurface& source, int32_t xDest, int32_t yDest,
              int32_t width, int32_t height, int32_t xSrc, int32_t ySrc) {
  Walk walk;
  walk.dx = static_cast<int64_t>(xDest) - xSrc;
  walk.dy = static_cast<int64_t>(yDest) - ySrc;
  walk.x0 = std::max<int64_t>({xSrc, 0, -walk.dx});
  walk.y0 = std::max<int64_t>({ySrc, 0, -walk.dy});
  walk.x1 = std::min<int64_t>({static_cast<int64_t>(xSrc) + width, source.Width(), destination.Width() - walk.dx});
  walk.y1 = std::min<int64_t>({static_cast<int64_t>(ySrc) + height, source.Height(), destination.Height() - walk.dy});
  return walk;
}

bool HasExtension(const QString& fileName, std::initializer_list<const char*> extensions) {
  const QString suffix = QFileInfo(fileName).suffix();
  for (const char* e : extensions)
    if (suffix.compare(QLatin1String(e), Qt::CaseInsensitive) == 0) return true;
  return false;
}

// A file for the script's own writes: "BM", the file header, the info header and the pixel
// memory as it is (bottom row first).
bool WriteRawBitmap(const QString& fileName, const ImageSurface& image) {
  const uint32_t pixelBytes = static_cast<uint32_t>(image.Width()) * static_cast<uint32_t>(image.Height()) * 4u;
  uint8_t head[14] = {'B', 'M'};
  const uint32_t fileSize = 14 + 40 + pixelBytes, offset = 14 + 40;
  std::memcpy(head + 2, &fileSize, 4);
  std::memcpy(head + 10, &offset, 4);
  VarnelBitmapInfoHeader info = image.Descriptor()->header;
  static_assert(sizeof(info) == 40);
  // Through the checked writer: a short write (a full disk) fails and leaves no cut-off file.
  try {
    FileWriter file;
    if (!file.TryCreate(fileName.toStdString())) return false;
    file.Write(head, sizeof head);
    file.Write(&info, sizeof info);
    file.WriteDirect(image.Bits(), pixelBytes);
    file.Commit();
    return true;
  } catch (const FileError&) {
    return false;
  }
}

// The control's own reader answers in its own words.
QString BitmapMessage(const std::string& readerMessage) {
  if (readerMessage == kNotABitmap) return QStringLiteral("not bmp");
  if (readerMessage == kCompressedBitmap) return QStringLiteral("no support : compressed bmp");
  if (readerMessage == kPaletteUnreadable) return QStringLiteral("palette missing");
  return QStringLiteral("cant load");
}

// The bytes of an ArrayBuffer, or of the stretch of one that a typed array or DataView covers.
bool BytesOf(const QJSValue& value, QByteArray& bytes) {
  if (value.isObject() && value.property(QStringLiteral("buffer")).isObject()) {
    const QVariant whole = value.property(QStringLiteral("buffer")).toVariant();
    if (whole.typeId() != QMetaType::QByteArray) return false;
    const QByteArray all = whole.toByteArray();
    const double offset = value.property(QStringLiteral("byteOffset")).toNumber();
    const double length = value.property(QStringLiteral("byteLength")).toNumber();
    if (!(offset >= 0 && length >= 0 && offset + length <= all.size())) return false;
    bytes = all.mid(static_cast<qsizetype>(offset), static_cast<qsizetype>(length));
    return true;
  }
  const QVariant variant = value.toVariant();
  if (variant.typeId() != QMetaType::QByteArray) return false;
  bytes = variant.toByteArray();
  return true;
}

}  // namespace

int32_t ToInt32(double value) {
  if (!std::isfinite(value)) return 0;
  const double truncated = std::trunc(value);
  const double wrapped = std::fmod(truncated, 4294967296.0);
  const double positive = wrapped < 0 ? wrapped + 4294967296.0 : wrapped;
  return static_cast<int32_t>(static_cast<uint32_t>(positive));
}

namespace {

// The script side of GetPixel and SetPixel. setup(generation, source) answers the
// function that gives an image wrapper its two members. Each keeps a view of its image's pixel
// memory in its closure, where no script reaches it, and fetches it again whenever the
// generation count moved (an image got other pixel memory). Without a view (no pixels, memory
// not shared) they ask the host pixel by pixel. Arguments go through ToInt32 (|0) as the
// members' i32 arguments do; the script's 0xAABBGGRR is the memory's 0xAARRGGBB with red and
// blue swapped.
constexpr char kPixelFunctions[] = R"((function (generationBuffer, source) {
  // Taken now, before any script runs: a script that replaced Int32Array would otherwise be
  // handed the view.
  var I32 = Int32Array, generation = new I32(generationBuffer);
  return function (image) {
    var seen = -1, px = null, w = 0, h = 0;
    function refresh() {
      seen = generation[0];
      var buffer = source.View(image);
      px = buffer ? new I32(buffer) : null;
      w = px ? source.Width(image) : 0;
      h = px ? source.Height(image) : 0;
    }
    // Arguments are converted first: their valueOf may run script code that gives the image
    // other pixels, and nothing of the script may run between the check and the access.
    // Too few arguments are refused as the other members refuse them, rather than taken as 0.
    image.GetPixel = function (x, y) {
      if (arguments.length < 2) throw new TypeError("Insufficient arguments");
      x |= 0;
      y |= 0;
      if (generation[0] !== seen) refresh();
      if (px === null) return source.GetPixel(image, x, y);
      if (x < 0 || y < 0 || x >= w || y >= h) return 0;
      var p = px[(h - 1 - y) * w + x];
      return (p & 0xFF00FF00) | (p >>> 16 & 0xFF) | (p & 0xFF) << 16;
    };
    image.SetPixel = function (x, y, rgb) {
      if (arguments.length < 3) throw new TypeError("Insufficient arguments");
      x |= 0;
      y |= 0;
      var v = rgb | 0;
      if (generation[0] !== seen) refresh();
      if (px === null) return source.SetPixel(image, x, y, v);
      if (x < 0 || y < 0 || x >= w || y >= h) return 1;
      px[(h - 1 - y) * w + x] = (v & 0xFF00FF00) | (v >>> 16 & 0xFF) | (v & 0xFF) << 16;
      return 0;
    };
  };
}))";

// An ArrayBuffer over memory the caller keeps alive for as long as the engine may touch it.
QJSValue BufferOver(QJSEngine& engine, const void* memory, qsizetype bytes) {
  return engine.toScriptValue(QByteArray::fromRawData(static_cast<const char*>(memory), bytes));
}

// Whether an ArrayBuffer made over outside memory writes that memory rather than a copy; the
// pixel views depend on it.
bool EngineSharesOutsideMemory(QJSEngine& engine) {
  alignas(4) int32_t probe = 0;
  QJSValue write = engine.evaluate(QStringLiteral("(function (b) { new Int32Array(b)[0] = 0x5A17; })"));
  write.call({BufferOver(engine, &probe, sizeof probe)});
  return probe == 0x5A17;
}

}  // namespace

Context::Context(QJSEngine& engine, const ScriptServices& services) : engine(engine), services(services) {
  m_source = new PixelSource(engine, EngineSharesOutsideMemory(engine));
  QJSEngine::setObjectOwnership(m_source, QJSEngine::CppOwnership);
  m_install = engine.evaluate(QString::fromLatin1(kPixelFunctions))
                  .call({BufferOver(engine, m_generation, sizeof m_generation), engine.newQObject(m_source)});
}

Context::~Context() { delete m_source; }

void Context::Expose(Image* image) { m_install.call({engine.newQObject(image)}); }

QJSValue PixelSource::View(QObject* object) const {
  const auto* image = qobject_cast<Image*>(object);
  ImageSurface* surface = image ? image->Surface() : nullptr;
  if (!m_shared || !surface || !surface->Bits()) return QJSValue(QJSValue::NullValue);
  const int32_t w = surface->Width(), h = surface->Height();
  const uint64_t bytes = static_cast<uint64_t>(w) * static_cast<uint64_t>(h) * 4u;
  // Rows bottom first and back to back, as the script side counts them; larger pictures than
  // an ArrayBuffer may hold go pixel by pixel.
  auto* bottom = reinterpret_cast<uint32_t*>(surface->Bits());
  if (w < 1 || h < 1 || bytes > 0x7FFFFFFFu || surface->Row(h - 1) != bottom ||
      surface->Row(0) != bottom + static_cast<size_t>(h - 1) * static_cast<size_t>(w))
    return QJSValue(QJSValue::NullValue);
  return BufferOver(m_engine, bottom, static_cast<qsizetype>(bytes));
}

int PixelSource::Width(QObject* object) const {
  const auto* image = qobject_cast<Image*>(object);
  return image && image->Surface() ? image->Surface()->Width() : 0;
}

int PixelSource::Height(QObject* object) const {
  const auto* image = qobject_cast<Image*>(object);
  return image && image->Surface() ? image->Surface()->Height() : 0;
}

double PixelSource::GetPixel(QObject* object, double x, double y) const {
  auto* image = qobject_cast<Image*>(object);
  return image ? image->GetPixel(x, y) : 0;
}

int PixelSource::SetPixel(QObject* object, double x, double y, double rgb) const {
  auto* image = qobject_cast<Image*>(object);
  return image ? image->SetPixel(x, y, rgb) : 1;
}

void Context::ThrowFailure(const QString& description) {
  engine.throwError(QJSValue::GenericError, description.isEmpty() ? QStringLiteral("E_FAIL") : description);
}

ImageSurface* Context::HostImage(int32_t handle) const {
  if (handle < 1 || static_cast<size_t>(handle) > hostImages.size()) return nullptr;
  return hostImages[static_cast<size_t>(handle) - 1];
}

// ---- IVNImage ----

Image::Image(Context& context, ImageSurface* borrowed, int32_t handle) : m_context(context) { Attach(borrowed, handle); }

void Image::Attach(ImageSurface* borrowed, int32_t handle) {
  m_context.SurfacesChanged();
  m_own.reset();
  m_surface = borrowed;
  m_handle = handle;
}

bool Image::Fail(const char* what) {
  m_context.ThrowFailure(what ? QString::fromUtf8(what) : QString());
  return false;
}

int Image::CX() const {
  const int32_t w = m_surface && m_surface->Bits() ? m_surface->Width() : 0;
  return w >= 65536 ? 0 : w;
}

int Image::CY() const {
  const int32_t h = m_surface && m_surface->Bits() ? m_surface->Height() : 0;
  return h >= 65536 ? 0 : h;
}

int Image::SetPixel(double x, double y, double rgb) {
  const int32_t ix = ToInt32(x), iy = ToInt32(y);
  if (!m_surface || ix < 0 || iy < 0 || ix >= m_surface->Width() || iy >= m_surface->Height()) return 1;
  uint32_t* row = m_surface->Row(iy);
  if (!row) return 1;
  row[ix] = SwapRedBlue(static_cast<uint32_t>(ToInt32(rgb)));
  return 0;
}

double Image::GetPixel(double x, double y) {
  const int32_t ix = ToInt32(x), iy = ToInt32(y);
  if (!m_surface || ix < 0 || iy < 0 || ix >= m_surface->Width() || iy >= m_surface->Height()) return 0;
  const uint32_t* row = m_surface->Row(iy);
  if (!row) return 0;
  return static_cast<int32_t>(SwapRedBlue(row[ix]));
}

int Image::SetImageData(double bmInfo, double bmData) {
  const int32_t info = ToInt32(bmInfo), data = ToInt32(bmData);
  if (info == 0 && data == 0) {
    Attach(nullptr, 0);
    return 0;
  }
  ImageSurface* host = info == data ? m_context.HostImage(info) : nullptr;
  if (!host) return Fail(nullptr);
  Attach(host, info);
  return 0;
}

int Image::Create(double cx, double cy) {
  const int32_t w = ToInt32(cx), h = ToInt32(cy);
  if (w < 1 || w > kLargestSide || h < 1 || h > kLargestSide) return Fail(nullptr);
  auto created = std::make_unique<ImageSurface>();
  if (created->Create({w, h}) != 0) return Fail(nullptr);
  return Own(std::move(created));
}

int Image::Load(const QString& fileName) {
  auto loaded = std::make_unique<ImageSurface>();
  std::string message;
  const std::string path = fileName.toStdString();
  if (fileName.contains(QChar(u'\0'))) return Fail("cant load");
  if (HasExtension(fileName, {"bmp", "dib", "vrb"})) {
    if (!QFile::exists(fileName)) return Fail("cant load");
    if (ReadBitmapFile(path, *loaded, message) != 0) return Fail(BitmapMessage(message).toUtf8().constData());
  } else if (LoadPicture(path, *loaded, message) != 0) {
    return Fail("cant load");
  }
  return Own(std::move(loaded));
}

int Image::Own(std::unique_ptr<ImageSurface> surface) {
  // A script's image keeps no undo history of its own.
  surface->DiscardBackups();
  m_context.SurfacesChanged();
  m_own = std::move(surface);
  m_surface = m_own.get();
  m_handle = 0;
  return 0;
}

int Image::Save(const QString& fileName) {
  if (!m_surface || !m_surface->Bits()) return Fail(nullptr);
  // The system takes a name only up to a NUL: "a\0b.bmp" would write a file named "a".
  if (fileName.contains(QChar(u'\0'))) return Fail(nullptr);
  if (HasExtension(fileName, {"bmp"})) return WriteRawBitmap(fileName, *m_surface) ? 0 : Fail(nullptr);
  return WritePicture(fileName.toStdString(), *m_surface) == PictureWrite::kWritten ? 0 : Fail(nullptr);
}

int Image::Copy(double xDest, double yDest, double width, double height, QObject* srcImage, double xSrc,
                double ySrc) {
  const Image* source = qobject_cast<Image*>(srcImage);
  if (!m_surface || !m_surface->Bits() || !source || !source->m_surface || !source->m_surface->Bits())
    return Fail(nullptr);
  const Walk walk = ClipWalk(*m_surface, *source->m_surface, ToInt32(xDest), ToInt32(yDest), ToInt32(width),
                             ToInt32(height), ToInt32(xSrc), ToInt32(ySrc));
  if (walk.Empty()) return 0;
  // Pixel by pixel in the walk's order, so a copy within one image reads what earlier steps wrote.
  for (int64_t y = walk.y0; y < walk.y1; ++y) {
    const uint32_t* from = source->m_surface->Row(static_cast<int32_t>(y));
    uint32_t* to = m_surface->Row(static_cast<int32_t>(y + walk.dy)) + walk.dx;
    for (int64_t x = walk.x0; x < walk.x1; ++x) to[x] = from[x];
  }
  return 0;
}

int Image::BlendImage(double xDest, double yDest, double width, double height, QObject* srcImage, double xSrc,
                      double ySrc, double opa, double useAlpha, double operation) {
  const Image* source = qobject_cast<Image*>(srcImage);
  if (!m_surface || !m_surface->Bits() || !source || !source->m_surface || !source->m_surface->Bits())
    return Fail(nullptr);
  const std::array<int32_t, 256> weights = BlendWeights(ToInt32(opa), ToInt32(useAlpha) != 0);
  const int32_t op = ToInt32(operation);
  const Walk walk = ClipWalk(*m_surface, *source->m_surface, ToInt32(xDest), ToInt32(yDest), ToInt32(width),
                             ToInt32(height), ToInt32(xSrc), ToInt32(ySrc));
  if (walk.Empty()) return 0;
  for (int64_t y = walk.y0; y < walk.y1; ++y) {
    const uint32_t* from = source->m_surface->Row(static_cast<int32_t>(y));
    uint32_t* to = m_surface->Row(static_cast<int32_t>(y + walk.dy)) + walk.dx;
    for (int64_t x = walk.x0; x < walk.x1; ++x) {
      const uint32_t s = from[x];
      to[x] = BlendPixel(op, to[x], s, weights[s >> 24]);
    }
  }
  return 0;
}

QObject* Image::CreateColor() { return new Color; }

// Channels 0 red, 1 green, 2 blue, 3 alpha (as the script layout orders them); the source
// channel goes through the operation into the destination channel, weighted by the source's
// alpha channel value (srcAlphaChannel −1: no alpha weighting) times opa as BlendImage weighs.
int Image::BlendChannel(double xDest, double yDest, double width, double height, double destChannel,
                        QObject* srcImage, double xSrc, double ySrc, double srcChannel, double srcAlphaChannel,
                        double opa, double operation) {
  const Image* source = qobject_cast<Image*>(srcImage);
  const int32_t to = ToInt32(destChannel), from = ToInt32(srcChannel), alpha = ToInt32(srcAlphaChannel);
  if (!m_surface || !m_surface->Bits() || !source || !source->m_surface || !source->m_surface->Bits() || to < 0 ||
      to > 3 || from < 0 || from > 3 || alpha < -1 || alpha > 3)
    return Fail(nullptr);
  const std::array<int32_t, 256> weights = BlendWeights(ToInt32(opa), alpha >= 0);
  const int32_t op = ToInt32(operation);
  const Walk walk = ClipWalk(*m_surface, *source->m_surface, ToInt32(xDest), ToInt32(yDest), ToInt32(width),
                             ToInt32(height), ToInt32(xSrc), ToInt32(ySrc));
  if (walk.Empty()) return 0;
  const int toShift = to * 8, fromShift = from * 8, alphaShift = std::max(alpha, 0) * 8;
  for (int64_t y = walk.y0; y < walk.y1; ++y) {
    const uint32_t* src = source->m_surface->Row(static_cast<int32_t>(y));
    uint32_t* dst = m_surface->Row(static_cast<int32_t>(y + walk.dy)) + walk.dx;
    for (int64_t x = walk.x0; x < walk.x1; ++x) {
      const uint32_t d = SwapRedBlue(dst[x]), s = SwapRedBlue(src[x]);
      const uint32_t dByte = (d >> toShift) & 0xFF, sByte = (s >> fromShift) & 0xFF;
      // The channel as a grey pixel through the per-byte rule; any byte of the result will do.
      const int32_t byteOp = op < 9 || (op >= 11 && op <= 13) ? op : 0;
      const uint32_t grey =
          BlendPixel(byteOp, dByte * 0x010101u, sByte * 0x010101u, weights[(s >> alphaShift) & 0xFF]) & 0xFF;
      dst[x] = SwapRedBlue((d & ~(0xFFu << toShift)) | (grey << toShift));
    }
  }
  return 0;
}

QJSValue Image::GetRow(double y) {
  return GetRect(0, y, m_surface ? m_surface->Width() : 0, 1);
}

int Image::SetRow(double y, const QJSValue& pixels) {
  return SetRect(0, y, m_surface ? m_surface->Width() : 0, 1, pixels);
}

QJSValue Image::GetRect(double x, double y, double width, double height) {
  const int32_t ix = ToInt32(x), iy = ToInt32(y), w = ToInt32(width), h = ToInt32(height);
  if (!m_surface || !m_surface->Bits() || w < 1 || h < 1 || ix < 0 || iy < 0 ||
      static_cast<int64_t>(ix) + w > m_surface->Width() || static_cast<int64_t>(iy) + h > m_surface->Height()) {
    Fail(nullptr);
    return QJSValue();
  }
  QByteArray bytes(static_cast<qsizetype>(w) * h * 4, Qt::Uninitialized);
  auto* out = reinterpret_cast<uint32_t*>(bytes.data());
  for (int32_t r = 0; r < h; ++r) {
    const uint32_t* row = m_surface->Row(iy + r) + ix;
    for (int32_t c = 0; c < w; ++c) *out++ = SwapRedBlue(row[c]);
  }
  return m_context.engine.toScriptValue(bytes);
}

int Image::SetRect(double x, double y, double width, double height, const QJSValue& pixels) {
  const int32_t ix = ToInt32(x), iy = ToInt32(y), w = ToInt32(width), h = ToInt32(height);
  QByteArray bytes;
  if (!m_surface || !m_surface->Bits() || w < 1 || h < 1 || ix < 0 || iy < 0 ||
      static_cast<int64_t>(ix) + w > m_surface->Width() || static_cast<int64_t>(iy) + h > m_surface->Height() ||
      !BytesOf(pixels, bytes) || bytes.size() < static_cast<qsizetype>(w) * h * 4)
    return Fail(nullptr);
  const auto* in = reinterpret_cast<const uint32_t*>(bytes.constData());
  for (int32_t r = 0; r < h; ++r) {
    uint32_t* row = m_surface->Row(iy + r) + ix;
    for (int32_t c = 0; c < w; ++c) row[c] = SwapRedBlue(*in++);
  }
  return 0;
}

// ---- IVNColor ----

void Color::SetByte(int shift, int v) {
  value = (value & ~(0xFFu << shift)) | (static_cast<uint32_t>(std::clamp(v, 0, 255)) << shift);
}

void Color::SetRgb(int32_t red, int32_t green, int32_t blue) {
  value = (value & 0xFF000000u) | static_cast<uint32_t>(red) | (static_cast<uint32_t>(green) << 8) |
          (static_cast<uint32_t>(blue) << 16);
}

namespace {

Hls HlsOf(uint32_t v) { return RgbToHls(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }
Lab LabOf(uint32_t v) { return RgbToLab(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

}  // namespace

double Color::HlsHue() const { return HlsOf(value).hue; }
double Color::HlsSaturation() const { return HlsOf(value).saturation; }
double Color::HlsLightness() const { return HlsOf(value).lightness; }
void Color::SetHlsHue(double v) { SetHlsComponent(&Hls::hue, ToInt32(v)); }
void Color::SetHlsSaturation(double v) { SetHlsComponent(&Hls::saturation, ToInt32(v)); }
void Color::SetHlsLightness(double v) { SetHlsComponent(&Hls::lightness, ToInt32(v)); }

void Color::SetHlsComponent(int32_t Hls::*component, int32_t v) {
  Hls hls = HlsOf(value);
  hls.*component = v;
  int32_t r, g, b;
  HlsToRgb(hls, r, g, b);
  SetRgb(r, g, b);
}

double Color::LabL() const { return LabOf(value).l; }
double Color::LabA() const { return LabOf(value).a; }
double Color::LabB() const { return LabOf(value).b; }
void Color::SetLabL(double v) { SetLabComponent(&Lab::l, v); }
void Color::SetLabA(double v) { SetLabComponent(&Lab::a, v); }
void Color::SetLabB(double v) { SetLabComponent(&Lab::b, v); }

void Color::SetLabComponent(double Lab::*component, double v) {
  Lab lab = LabOf(value);
  lab.*component = v;
  int32_t r, g, b;
  LabToRgb(lab, r, g, b);
  SetRgb(r, g, b);
}

// ---- IVNPointArray ----

QObject* PointArray::Pt(double i) {
  const int32_t index = ToInt32(i);
  if (index < 0 || index >= Count()) {
    m_context.ThrowFailure();
    return nullptr;
  }
  return m_points[static_cast<size_t>(index)];
}

int PointArray::Create(double length) {
  const int32_t n = ToInt32(length);
  // A point array is a script's outline; a million points is more than any shape needs.
  if (n < 0 || n > 1 << 20) {
    m_context.ThrowFailure();
    return 0;
  }
  for (Point* p : m_points) delete p;
  m_points.clear();
  for (int32_t i = 0; i < n; ++i) m_points.push_back(new Point);
  for (Point* p : m_points) p->setParent(this);
  return 0;
}

int PointArray::Add(QObject* point) {
  const Point* given = qobject_cast<Point*>(point);
  if (!given || Count() >= 1 << 20) {
    m_context.ThrowFailure();
    return 0;
  }
  auto* copy = new Point;
  copy->x = given->x;
  copy->y = given->y;
  copy->setParent(this);
  m_points.push_back(copy);
  return 0;
}

// ---- IVNFilterParam and IVNFilter ----

int FilterParam::Add(double value) {
  values.push_back(ToInt32(value));
  return 0;
}

double FilterParam::Get(double i) {
  const int32_t index = ToInt32(i);
  if (index < 0 || index >= Count()) {
    m_context.ThrowFailure();
    return 0;
  }
  return values[static_cast<size_t>(index)];
}

// ---- IVNUserInterface ----

int UserInterface::MessageBox(const QJSValue& message) {
  if (m_context.services.messageBox) m_context.services.messageBox(message.toString().toStdString());
  return 0;
}

QString UserInterface::InputBox(const QString& caption) {
  std::string text;
  if (m_context.services.inputBox && m_context.services.inputBox(caption.toStdString(), text))
    return QString::fromStdString(text);
  return QString();
}

QString UserInterface::OpenFileDialog(double open) {
  std::string path;
  if (m_context.services.fileDialog && m_context.services.fileDialog(ToInt32(open) != 0, path))
    return QString::fromStdString(path);
  return QString();
}

double UserInterface::OpenColorDialog() {
  uint32_t colour = 0;
  if (m_context.services.colourDialog && m_context.services.colourDialog(colour)) return static_cast<int32_t>(colour);
  return -1;
}

// ---- IVNDocument ----

Document::Document(Context& context, ImageSurface* image)
    : m_context(context),
      m_image(new Image(context, image, image ? 1 : 0)),
      m_userInterface(new UserInterface(context)),
      m_filter(new Filter(context)),
      m_drawing(new Drawing(context)) {
  if (image) context.hostImages.push_back(image);
  m_image->setParent(this);
  m_userInterface->setParent(this);
  m_filter->setParent(this);
  m_drawing->setParent(this);
  QJSEngine::setObjectOwnership(m_image, QJSEngine::CppOwnership);
  context.Expose(m_image);
}

QObject* Document::GetDrawing() const { return m_drawing; }

int Document::SetImage(double bmInfo, double bmData) { return m_image->SetImageData(bmInfo, bmData); }

QObject* Document::CreateImage() {
  auto* image = new Image(m_context, nullptr, 0);
  m_context.Expose(image);
  return image;
}

// ---- creatable classes ----

QObject* Creatable::Create(const QString& className) {
  const QString name = className.startsWith(QLatin1String("VARNEL.")) ? className.mid(7) : className;
  if (name == QLatin1String("VNImage")) {
    auto* image = new Image(m_context, nullptr, 0);
    m_context.Expose(image);
    return image;
  }
  if (name == QLatin1String("VNColor")) return new Color;
  if (name == QLatin1String("VNPoint")) return new Point;
  if (name == QLatin1String("VNPointArray")) return new PointArray(m_context);
  if (name == QLatin1String("VNFilterParam")) return new FilterParam(m_context);
  if (name == QLatin1String("VNFilter")) return new Filter(m_context);
  if (name == QLatin1String("VNUserInterface")) return new UserInterface(m_context);
  if (name == QLatin1String("VNDrawing")) return new Drawing(m_context);
  if (name == QLatin1String("VNBrushFactory")) return new BrushFactory(m_context);
  // A new brush is a solid one pixel across, until the script sets its size.
  if (name == QLatin1String("VNBrush")) return new Brush(m_context, 1, 1);
  m_context.ThrowFailure(QStringLiteral("cannot create ") + className);
  return nullptr;
}

}  // namespace varnel::script
