#pragma once
// The script-visible objects. Member names are the type library's; [out] results are the
// members' return values; a failure code (E_FAIL) raises a script error; success-with-false (1)
// is returned as 1 where a member has no other result.

#include <QByteArray>
#include <QJSValue>
#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "core/surface.h"
#include "macrolet/script_engine.h"
#include "macrolet/script_pixels.h"

class QJSEngine;

namespace varnel::script {

class Context;
class Drawing;

// A number a script passed, as the member's i32 argument (ECMAScript ToInt32).
int32_t ToInt32(double value);

class Image : public QObject {
  Q_OBJECT
  Q_PROPERTY(int CX READ CX)
  Q_PROPERTY(int CY READ CY)
  Q_PROPERTY(int Handle READ Handle)

 public:
  Image(Context& context, ImageSurface* borrowed, int32_t handle);

  ImageSurface* Surface() const { return m_surface; }
  int CX() const;
  int CY() const;
  int Handle() const { return m_handle; }
  // Points this image at another one the host handed over (or at nothing).
  void Attach(ImageSurface* borrowed, int32_t handle);

  // GetPixel and SetPixel reach scripts as functions of the script side (Context::Expose),
  // which work on the pixel memory itself; these are what they fall back on.
  int SetPixel(double x, double y, double rgb);
  double GetPixel(double x, double y);
  Q_INVOKABLE int SetImageData(double bmInfo, double bmData);
  Q_INVOKABLE int Create(double cx, double cy);
  Q_INVOKABLE int Load(const QString& fileName);
  Q_INVOKABLE int Save(const QString& fileName);
  Q_INVOKABLE int Copy(double xDest, double yDest, double width, double height, QObject* srcImage, double xSrc,
                       double ySrc);
  Q_INVOKABLE int BlendImage(double xDest, double yDest, double width, double height, QObject* srcImage, double xSrc,
                             double ySrc, double opa, double useAlpha, double operation);
  Q_INVOKABLE QObject* CreateColor();
  Q_INVOKABLE int BlendChannel(double xDest, double yDest, double width, double height, double destChannel,
                               QObject* srcImage, double xSrc, double ySrc, double srcChannel, double srcAlphaChannel,
                               double opa, double operation);
  // Bulk access: one row (or rectangle, rows top first) as an ArrayBuffer of 0xAABBGGRR words.
  Q_INVOKABLE QJSValue GetRow(double y);
  Q_INVOKABLE int SetRow(double y, const QJSValue& pixels);
  Q_INVOKABLE QJSValue GetRect(double x, double y, double width, double height);
  Q_INVOKABLE int SetRect(double x, double y, double width, double height, const QJSValue& pixels);

 private:
  bool Fail(const char* what);

  Context& m_context;
  // Makes surface the image's own pixels, with no host handle; answers 0.
  int Own(std::unique_ptr<ImageSurface> surface);
  std::unique_ptr<ImageSurface> m_own;
  ImageSurface* m_surface = nullptr;
  int32_t m_handle = 0;
};

class Color : public QObject {
  Q_OBJECT
  Q_PROPERTY(double RGBA READ RGBA WRITE SetRGBA)
  Q_PROPERTY(double Red READ Red WRITE SetRed)
  Q_PROPERTY(double Green READ Green WRITE SetGreen)
  Q_PROPERTY(double Blue READ Blue WRITE SetBlue)
  Q_PROPERTY(double Alpha READ Alpha WRITE SetAlpha)
  Q_PROPERTY(double HlsHue READ HlsHue WRITE SetHlsHue)
  Q_PROPERTY(double HlsSaturation READ HlsSaturation WRITE SetHlsSaturation)
  Q_PROPERTY(double HlsLightness READ HlsLightness WRITE SetHlsLightness)
  Q_PROPERTY(double LabL READ LabL WRITE SetLabL)
  Q_PROPERTY(double LabA READ LabA WRITE SetLabA)
  Q_PROPERTY(double LabB READ LabB WRITE SetLabB)

 public:
  // Script layout 0xAABBGGRR.
  uint32_t value = 0xFF000000u;

  // Numbers from scripts arrive as doubles and are taken as i32 (ToInt32), so 0xFF0000FF works.
  double RGBA() const { return static_cast<int32_t>(value); }
  void SetRGBA(double v) { value = static_cast<uint32_t>(ToInt32(v)); }
  double Red() const { return value & 0xFF; }
  double Green() const { return (value >> 8) & 0xFF; }
  double Blue() const { return (value >> 16) & 0xFF; }
  double Alpha() const { return value >> 24; }
  void SetRed(double v) { SetByte(0, ToInt32(v)); }
  void SetGreen(double v) { SetByte(8, ToInt32(v)); }
  void SetBlue(double v) { SetByte(16, ToInt32(v)); }
  void SetAlpha(double v) { SetByte(24, ToInt32(v)); }
  double HlsHue() const;
  double HlsSaturation() const;
  double HlsLightness() const;
  void SetHlsHue(double v);
  void SetHlsSaturation(double v);
  void SetHlsLightness(double v);
  double LabL() const;
  double LabA() const;
  double LabB() const;
  void SetLabL(double v);
  void SetLabA(double v);
  void SetLabB(double v);

 private:
  void SetByte(int shift, int v);
  void SetRgb(int32_t red, int32_t green, int32_t blue);
  // One component of the colour in another model changed; the alpha byte stays.
  void SetHlsComponent(int32_t Hls::*component, int32_t v);
  void SetLabComponent(double Lab::*component, double v);
};

class Point : public QObject {
  Q_OBJECT
  Q_PROPERTY(double x READ X WRITE SetX)
  Q_PROPERTY(double y READ Y WRITE SetY)

 public:
  double X() const { return x; }
  double Y() const { return y; }
  void SetX(double v) { x = ToInt32(v); }
  void SetY(double v) { y = ToInt32(v); }

  int32_t x = 0;
  int32_t y = 0;
};

class PointArray : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Count READ Count)

 public:
  explicit PointArray(Context& context) : m_context(context) {}
  int Count() const { return static_cast<int>(m_points.size()); }
  Q_INVOKABLE QObject* Pt(double i);
  Q_INVOKABLE int Create(double length);
  Q_INVOKABLE int Add(QObject* point);
  const std::vector<Point*>& Points() const { return m_points; }

 private:
  Context& m_context;
  std::vector<Point*> m_points;  // children of this object
};

class FilterParam : public QObject {
  Q_OBJECT
  Q_PROPERTY(int Count READ Count)

 public:
  explicit FilterParam(Context& context) : m_context(context) {}
  int Count() const { return static_cast<int>(values.size()); }
  Q_INVOKABLE int Add(double value);
  Q_INVOKABLE double Get(double i);

  std::vector<int32_t> values;

 private:
  Context& m_context;
};

class Filter : public QObject {
  Q_OBJECT

 public:
  explicit Filter(Context& context) : m_context(context) {}
  Q_INVOKABLE int Execute(QObject* image, const QString& filterDll, const QString& filterName, QObject* param);
  Q_INVOKABLE QObject* CreateParam();

 private:
  Context& m_context;
};

class UserInterface : public QObject {
  Q_OBJECT

 public:
  explicit UserInterface(Context& context) : m_context(context) {}
  Q_INVOKABLE int MessageBox(const QJSValue& message);
  Q_INVOKABLE QString InputBox(const QString& caption);
  Q_INVOKABLE QString OpenFileDialog(double open);
  Q_INVOKABLE double OpenColorDialog();

 private:
  Context& m_context;
};

class Document : public QObject {
  Q_OBJECT
  Q_PROPERTY(QObject* Image READ GetImage)
  Q_PROPERTY(QObject* UserInterface READ GetUserInterface)
  Q_PROPERTY(QObject* Filter READ GetFilter)
  Q_PROPERTY(QObject* Drawing READ GetDrawing)

 public:
  Document(Context& context, ImageSurface* image);
  QObject* GetImage() const { return m_image; }
  QObject* GetUserInterface() const { return m_userInterface; }
  QObject* GetFilter() const { return m_filter; }
  QObject* GetDrawing() const;
  Q_INVOKABLE int SetImage(double bmInfo, double bmData);
  Q_INVOKABLE QObject* CreateImage();

 private:
  Context& m_context;
  Image* m_image;
  UserInterface* m_userInterface;
  Filter* m_filter;
  Drawing* m_drawing;
};

// A dab a script paints with: CX × CY pixels, an ellipse, in Color. A solid brush covers the
// ellipse evenly; a gradient brush fades Color to transparent (type 0 from the centre outwards,
// 1 from left to right, 2 from top to bottom) over the last `gradient` per cent of the way. An
// Opaque brush replaces the pixels it covers fully (its colour's alpha included); otherwise it
// is laid over them.
class Brush : public QObject {
  Q_OBJECT
  Q_PROPERTY(double CX READ CX WRITE SetCX)
  Q_PROPERTY(double CY READ CY WRITE SetCY)
  Q_PROPERTY(QObject* Color READ GetColor WRITE SetColor)
  Q_PROPERTY(double Opaque READ Opaque WRITE SetOpaque)

 public:
  static constexpr int32_t kMaxSize = 4096;
  enum Shape : int32_t { kSolid = -1, kRadial = 0, kHorizontal = 1, kVertical = 2 };

  Brush(Context& context, int32_t cx, int32_t cy, int32_t shape = kSolid, int32_t gradient = 0);
  double CX() const { return m_cx; }
  double CY() const { return m_cy; }
  void SetCX(double v) { SetSize(v, m_cx); }
  void SetCY(double v) { SetSize(v, m_cy); }
  QObject* GetColor() const { return m_color; }
  void SetColor(QObject* color);
  double Opaque() const { return m_opaque; }
  void SetOpaque(double v) { m_opaque = ToInt32(v); }
  // Paints one dab centred on pixel (x, y) with opacity opa (0…256).
  Q_INVOKABLE int Put(QObject* image, double x, double y, double opa);

  // For the drawing members: one dab centred at (x, y) in pixel units (pixel i spans i … i + 1).
  void Dab(ImageSurface& target, double x, double y, int32_t opa, bool antialias) const;
  // The spacing of dabs along a path.
  double Spacing() const;
  uint32_t Pixel() const;  // the colour as the surface keeps it, 0xAARRGGBB

 private:
  void SetSize(double v, int32_t& size);

  Context& m_context;
  int32_t m_cx, m_cy;
  int32_t m_shape, m_gradient;
  int32_t m_opaque = 0;
  class Color* m_color;  // a child: the script may change it in place
};

class BrushFactory : public QObject {
  Q_OBJECT

 public:
  explicit BrushFactory(Context& context) : m_context(context) {}
  Q_INVOKABLE QObject* CreateSolidBrush(double cx, double cy);
  Q_INVOKABLE QObject* CreateGradientBrush(double cx, double cy, double type, double gradient);

 private:
  Context& m_context;
};

// Shapes drawn into an image: outlines with a brush along the path, fills in the brush's
// colour. Bit 0 of flag asks for anti-aliased edges.
class Drawing : public QObject {
  Q_OBJECT
  Q_PROPERTY(QObject* BrushFactory READ GetBrushFactory)

 public:
  explicit Drawing(Context& context);
  QObject* GetBrushFactory() const { return m_factory; }
  Q_INVOKABLE int Ellipse(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag);
  Q_INVOKABLE int FillEllipse(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag);
  Q_INVOKABLE int Rect(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag);
  Q_INVOKABLE int FillRect(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag);
  Q_INVOKABLE int Line(QObject* img, double x0, double y0, double x1, double y1, QObject* brush, double flag);
  Q_INVOKABLE int Polygon(QObject* img, QObject* pts, QObject* brush, double flag);
  Q_INVOKABLE int FillPolygon(QObject* img, QObject* pts, QObject* brush, double flag);
  Q_INVOKABLE int Spline(QObject* img, QObject* pts, QObject* brush, double flag);
  Q_INVOKABLE int Fill(QObject* img, double x, double y, QObject* brush, double per);
  Q_INVOKABLE QObject* CreatePointArray();

 private:
  Context& m_context;
  BrushFactory* m_factory;
};

// The creatable classes, as `new ActiveXObject("VNPoint")` reaches them. Unknown names fail.
class Creatable : public QObject {
  Q_OBJECT

 public:
  explicit Creatable(Context& context) : m_context(context) {}
  Q_INVOKABLE QObject* Create(const QString& className);

 private:
  Context& m_context;
};

// What the pixel functions of the script side ask the host for. Only those functions hold it:
// a script never sees this object, nor the views it hands out.
class PixelSource : public QObject {
  Q_OBJECT

 public:
  PixelSource(QJSEngine& engine, bool shared) : m_engine(engine), m_shared(shared) {}
  // The image's pixel memory as an ArrayBuffer that shares it (rows bottom first), or null
  // when the image has none or it is not laid out so. Only ever handed back to the caller:
  // put on an object, a script's setter could catch it.
  Q_INVOKABLE QJSValue View(QObject* image) const;
  Q_INVOKABLE int Width(QObject* image) const;
  Q_INVOKABLE int Height(QObject* image) const;
  Q_INVOKABLE double GetPixel(QObject* image, double x, double y) const;
  Q_INVOKABLE int SetPixel(QObject* image, double x, double y, double rgb) const;

 private:
  QJSEngine& m_engine;
  bool m_shared;
};

// What the objects of one run share: the engine (to raise errors), the host's services and
// the images the host handed over, by handle.
class Context {
 public:
  Context(QJSEngine& engine, const ScriptServices& services);
  ~Context();
  // Raises E_FAIL (or the given text) as a script error.
  void ThrowFailure(const QString& description = QString());
  // The images the host handed over; handle i + 1 is hostImages[i].
  ImageSurface* HostImage(int32_t handle) const;
  // Wraps a new image for scripts and gives it GetPixel and SetPixel. Calls through the engine
  // cost more than the pixel work, so these are script functions reading and writing the pixel
  // memory through a view of it.
  void Expose(Image* image);
  // Some image's pixel memory may have moved or gone: every view is fetched again before use.
  void SurfacesChanged() { ++m_generation[0]; }

  QJSEngine& engine;
  const ScriptServices& services;
  std::vector<ImageSurface*> hostImages;

 private:
  // Read by the script side through a view of its own; element 0 counts the changes.
  alignas(16) int32_t m_generation[4] = {0, 0, 0, 0};
  PixelSource* m_source = nullptr;
  QJSValue m_install;
};

}  // namespace varnel::script
