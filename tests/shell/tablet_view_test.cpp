// Tablet events on the view of the running program: pressure and tilt reaching the tool, which
// packets a message delivers, the mouse's pressures, the pen's eraser end taking its assigned
// tool, and strokes that pressure sizes and fades.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QTest>
#include <optional>

#include "brush/brush_settings.h"
#include "brush/brush_tool.h"
#include "core/canvas.h"
#include "shell/varnel_doc.h"
#include "tests/shell/shell_fixture.h"
#include "tools/eraser_tool.h"

namespace varnel {
namespace {

struct Heard {
  int32_t slot, code, x, y, pressure;
  std::optional<int32_t> azimuth;  // none for the mouse

  bool operator==(const Heard&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Heard& h) {
  return out << "{slot " << h.slot << " code " << h.code << " at " << h.x << "," << h.y << " pressure " << h.pressure
             << " azimuth " << (h.azimuth ? *h.azimuth : -1) << "}";
}

// A tool that writes down what it hears.
class ListeningTool : public PaintObject {
 public:
  ListeningTool(int32_t slot, std::vector<Heard>& log) : m_slot(slot), m_log(log) {}
  bool Move(const ToolEvent& e) override { return Note(kToolMove, e); }
  bool ButtonDown(const ToolEvent& e) override { return Note(kToolButtonDown, e); }
  bool ButtonUp(const ToolEvent& e) override { return Note(kToolButtonUp, e); }

 private:
  bool Note(int32_t code, const ToolEvent& e) {
    m_log.push_back({m_slot, code, e.x, e.y, e.pressure,
                     e.orientation ? std::optional<int32_t>(e.orientation->azimuth) : std::nullopt});
    return true;
  }
  int32_t m_slot;
  std::vector<Heard>& m_log;
};

using Pointer = QPointingDevice::PointerType;

class TabletViewTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    m_savedBrush = ProgramBrushSettings();
    Start();
    m_app->MainFrame()->resize(1200, 900);
    QApplication::processEvents();
    ActiveView()->penEraserSlot = [] { return kEraserToolSlot; };
  }
  void TearDown() override {
    ShellTest::TearDown();
    ProgramBrushSettings() = m_savedBrush;
    RebuildProgramBrush();
  }

  Canvas& ActiveCanvas() { return ActiveView()->GetDocument()->GetCanvas(); }
  QWidget* Viewport() { return ActiveView()->viewport(); }
  static QPoint At(int x, int y) { return {CVarnelView::kMargin + x, CVarnelView::kMargin + y}; }

  // Listeners in the brush's and the eraser's slots, the brush selected.
  void Listen() {
    ActiveCanvas().SetTool(kBrushToolSlot, std::make_unique<ListeningTool>(kBrushToolSlot, m_heard));
    ActiveCanvas().SetTool(kEraserToolSlot, std::make_unique<ListeningTool>(kEraserToolSlot, m_heard));
    ActiveCanvas().SelectTool(kBrushToolSlot);
  }

  // One device with a pen and an eraser end, and a puck on another.
  static const QPointingDevice* Device(Pointer pointer) {
    static const auto caps = QInputDevice::Capability::Position | QInputDevice::Capability::Pressure |
                             QInputDevice::Capability::XTilt | QInputDevice::Capability::YTilt;
    // Owned by the application: a device outliving it crashes at exit.
    static auto* pen = new QPointingDevice("pen", 1, QInputDevice::DeviceType::Stylus, Pointer::Pen, caps, 1, 3, {},
                                           QPointingDeviceUniqueId(), qApp);
    static auto* eraser = new QPointingDevice("pen", 1, QInputDevice::DeviceType::Stylus, Pointer::Eraser, caps, 1, 3,
                                              {}, QPointingDeviceUniqueId(), qApp);
    static auto* puck = new QPointingDevice("puck", 2, QInputDevice::DeviceType::Puck, Pointer::Cursor, caps, 1, 3, {},
                                            QPointingDeviceUniqueId(), qApp);
    switch (pointer) {
      case Pointer::Eraser: return eraser;
      case Pointer::Cursor: return puck;
      default: return pen;
    }
  }

  void Send(QEvent::Type type, QPoint at, double pressure, Pointer pointer = Pointer::Pen, float xTilt = 0,
            float yTilt = 0) {
    const Qt::MouseButton button = type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton;
    const bool held = type == QEvent::TabletPress || (type == QEvent::TabletMove && m_penDown);
    if (type == QEvent::TabletPress) m_penDown = true;
    if (type == QEvent::TabletRelease) m_penDown = false;
    QTabletEvent event(type, Device(pointer), QPointF(at), QPointF(Viewport()->mapToGlobal(at)), pressure, xTilt,
                       yTilt, 0.0f, 0.0, 0.0f, Qt::NoModifier, button, held ? Qt::LeftButton : Qt::NoButton);
    QApplication::sendEvent(Viewport(), &event);
    EXPECT_TRUE(event.isAccepted());
  }

  uint32_t LayerPixel(int x, int y) {
    uint32_t colour = 0;
    ActiveCanvas().ActiveLayer()->GetPixel(x, y, &colour);
    return colour | 0xFF000000u;
  }

  BrushToolSettings m_savedBrush;
  std::vector<Heard> m_heard;
  bool m_penDown = false;
};

TEST_F(TabletViewTest, PressureAndTiltReachTheToolNormalised) {
  struct Case {
    const char* name;
    double pressure;
    float xTilt, yTilt;
    int32_t wantPressure, wantAzimuth;
  };
  // Qt's 0…1 on an axis of 65535 steps, then MulDiv(raw, 256, 65535) rounded.
  const Case cases[] = {
      {"axis maximum", 1.0, 0, 0, 256, 0},
      {"axis minimum", 0.0, 0, 0, 0, 0},
      {"half", 0.5, 0, 0, 128, 0},              // raw 32768: 128.002
      {"a quarter", 0.25, 0, 0, 64, 0},         // raw 16384: 64.001
      {"a 512th rounds up", 1.0 / 512, 0, 0, 1, 0},  // raw 128: 0.5000
      {"leaning right", 1.0, 45, 0, 256, 900},
      {"leaning towards the user", 1.0, 0, 30, 256, 1800},
      {"above the range holds", 7.0, 0, 0, 256, 0},
  };
  Listen();
  for (const Case& c : cases) {
    m_heard.clear();
    Send(QEvent::TabletMove, At(12, 7), c.pressure, Pointer::Pen, c.xTilt, c.yTilt);
    ASSERT_EQ(m_heard.size(), 1u) << c.name;
    EXPECT_EQ(m_heard[0], (Heard{kBrushToolSlot, kToolMove, 12, 7, c.wantPressure, c.wantAzimuth})) << c.name;
  }
}

TEST_F(TabletViewTest, AStrokeDeliversEveryPacketAndEachButtonOnce) {
  Listen();
  Send(QEvent::TabletPress, At(5, 5), 0.5);
  for (int x = 6; x <= 9; ++x) Send(QEvent::TabletMove, At(x, 5), 1.0);
  Send(QEvent::TabletRelease, At(9, 5), 0.0);
  const std::vector<Heard> want = {
      {kBrushToolSlot, kToolButtonDown, 5, 5, 128, 0}, {kBrushToolSlot, kToolMove, 6, 5, 256, 0}, {kBrushToolSlot, kToolMove, 7, 5, 256, 0},
      {kBrushToolSlot, kToolMove, 8, 5, 256, 0},       {kBrushToolSlot, kToolMove, 9, 5, 256, 0}, {kBrushToolSlot, kToolButtonUp, 9, 5, 0, 0},
  };
  EXPECT_EQ(m_heard, want);
}

TEST_F(TabletViewTest, PacketsQueuedBehindAButtonDownGiveOneEvent) {
  Listen();
  // A packet the tablet queued before the press: the press message reads it first.
  TabletPacket early;
  const QPoint screen = Viewport()->mapToGlobal(At(3, 4));
  early.x = screen.x();
  early.y = screen.y();
  early.buttons = 1;
  early.normalPressure = 65535;
  ActiveView()->Tablet().Queue(early);
  Send(QEvent::TabletPress, At(30, 40), 0.5);
  EXPECT_EQ(m_heard, (std::vector<Heard>{{kBrushToolSlot, kToolButtonDown, 3, 4, 256, 0}}));
  EXPECT_EQ(ActiveView()->Tablet().Pending(), 0u);
}

TEST_F(TabletViewTest, TheMouseCarriesNoPressureOnItsButtonsAndFullPressureMoving) {
  Listen();
  QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, At(2, 3));
  QTest::mouseMove(Viewport(), At(4, 3));
  QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, At(4, 3));
  const std::vector<Heard> want = {{kBrushToolSlot, kToolButtonDown, 2, 3, 0, std::nullopt},
                                   {kBrushToolSlot, kToolMove, 4, 3, 256, std::nullopt},
                                   {kBrushToolSlot, kToolButtonUp, 4, 3, 0, std::nullopt}};
  EXPECT_EQ(m_heard, want);
}

TEST_F(TabletViewTest, TheEraserEndTakesItsToolAndThePenGivesItBack) {
  struct Step {
    const char* name;
    Pointer pointer;
    QEvent::Type type;
    int32_t wantSlot;
  };
  const Step steps[] = {
      {"pen hovering", Pointer::Pen, QEvent::TabletMove, kBrushToolSlot},
      {"eraser end comes near", Pointer::Eraser, QEvent::TabletMove, kEraserToolSlot},
      {"eraser end down", Pointer::Eraser, QEvent::TabletPress, kEraserToolSlot},
      {"eraser end rubbing", Pointer::Eraser, QEvent::TabletMove, kEraserToolSlot},
      {"eraser end up", Pointer::Eraser, QEvent::TabletRelease, kEraserToolSlot},
      {"pen tip back", Pointer::Pen, QEvent::TabletMove, kBrushToolSlot},
      {"eraser end again", Pointer::Eraser, QEvent::TabletMove, kEraserToolSlot},
      {"a puck clears it", Pointer::Cursor, QEvent::TabletMove, kBrushToolSlot},
  };
  Listen();
  for (const Step& s : steps) {
    m_heard.clear();
    Send(s.type, At(10, 10), 0.5, s.pointer);
    ASSERT_EQ(m_heard.size(), 1u) << s.name;
    EXPECT_EQ(m_heard[0].slot, s.wantSlot) << s.name;
  }
}

TEST_F(TabletViewTest, PressureOpacityLeavesTheMousePenDownUnpaintedButNotThePens) {
  BrushToolSettings& brush = ProgramBrushSettings();
  brush.kind = kBrushNormal;
  brush.SetSize(1, 1);
  brush.pressureOpacity = true;
  brush.pressureSizing = false;
  RebuildProgramBrush();
  // A click: the pen-down dab alone. The mouse's pressure 0 is opacity 0; the pen's full
  // pressure is the full opacity of a black dab.
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(20, 20));
  Send(QEvent::TabletPress, At(40, 20), 1.0);
  Send(QEvent::TabletRelease, At(40, 20), 0.0);
  EXPECT_EQ(LayerPixel(20, 20), 0xFFFFFFFFu);
  EXPECT_EQ(LayerPixel(40, 20), 0xFF000000u);
}

TEST_F(TabletViewTest, PressureSizingGivesThePenDownTheFullSizeAndTheMouseTheSmallest) {
  BrushToolSettings& brush = ProgramBrushSettings();
  brush.kind = kBrushNormal;
  brush.SetSize(9, 9);
  brush.pressureSizing = true;
  brush.pressureOpacity = false;
  brush.minimumSize = 0;
  RebuildProgramBrush();
  // Pressure 0 with a minimum of 0 % is the one-pixel dab; 256 the whole 9 × 9.
  QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(20, 20));
  Send(QEvent::TabletPress, At(60, 20), 1.0);
  Send(QEvent::TabletRelease, At(60, 20), 0.0);
  EXPECT_EQ(LayerPixel(20, 20), 0xFF000000u);
  EXPECT_EQ(LayerPixel(21, 20), 0xFFFFFFFFu);
  EXPECT_EQ(LayerPixel(23, 20), 0xFFFFFFFFu);
  EXPECT_EQ(LayerPixel(60, 20), 0xFF000000u);
  EXPECT_EQ(LayerPixel(61, 20), 0xFF000000u);
}

}  // namespace
}  // namespace varnel
