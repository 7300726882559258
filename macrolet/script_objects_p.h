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

  Q_INVOKABLE int SetPixel(double x, double y, double rgb);
  Q_INVOKABLE double GetPixel(double x, double y);
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

 public:
  Document(Context& context, ImageSurface* image);
  QObject* GetImage() const { return m_image; }
  QObject* GetUserInterface() const { return m_userInterface; }
  QObject* GetFilter() const { return m_filter; }
  Q_INVOKABLE int SetImage(double bmInfo, double bmData);
  Q_INVOKABLE QObject* CreateImage();

 private:
  Context& m_context;
  Image* m_image;
  UserInterface* m_userInterface;
  Filter* m_filter;
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

// What the objects of one run share: the engine (to raise errors), the host's services and
// the images the host handed over, by handle.
class Context {
 public:
  Context(QJSEngine& engine, const ScriptServices& services) : engine(engine), services(services) {}
  // Raises E_FAIL (or the given text) as a script error.
  void ThrowFailure(const QString& description = QString());
  // The images the host handed over; handle i + 1 is hostImages[i].
  ImageSurface* HostImage(int32_t handle) const;

  QJSEngine& engine;
  const ScriptServices& services;
  std::vector<ImageSurface*> hostImages;
};

}  // namespace varnel::script
