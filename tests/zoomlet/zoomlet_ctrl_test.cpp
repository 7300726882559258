// The loupe control with synthetic screens, windows and events: magnification of a known
// screen picture, the buttons, picking, the magnification menu, and input forwarding.

#include "zoomlet/zoomlet_ctrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <vector>

namespace varnel {
namespace {

// A screen whose pixel at (x, y) is 0xFF000000 | x << 12 | y, so every sample names its place.
uint32_t ScreenPixel(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(x) << 12 | static_cast<uint32_t>(y); }

QImage SyntheticScreen(const QRect& rect) {
  QImage image(rect.size(), QImage::Format_RGB32);
  for (int y = 0; y < rect.height(); ++y)
    for (int x = 0; x < rect.width(); ++x) image.setPixel(x, y, ScreenPixel(rect.x() + x, rect.y() + y));
  return image;
}

// Records what reaches it; may send something back to the loupe while it handles a message.
class Recorder : public QWidget {
 public:
  struct Received {
    QEvent::Type type;
    QPoint local, global;
    int key = 0;
  };
  std::vector<Received> received;
  std::function<void()> onPress;

 protected:
  bool event(QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseMove:
      case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(e);
        received.push_back({e->type(), mouse->position().toPoint(), mouse->globalPosition().toPoint()});
        if (e->type() == QEvent::MouseButtonPress && onPress) onPress();
        return true;
      }
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        received.push_back({e->type(), {}, {}, static_cast<QKeyEvent*>(e)->key()});
        return true;
      default:
        return QWidget::event(e);
    }
  }
};

class TestLoupe : public ZoomletCtrl {
 public:
  TestLoupe() {
    SetScreenGrab([this](const QRect& rect) {
      grabs.push_back(rect);
      return SyntheticScreen(rect);
    });
  }
  std::function<QWidget*(QPoint)> windowAt = [](QPoint) { return nullptr; };
  int menuAnswer = -1;
  std::vector<QPoint> menuShownAt;
  std::vector<QPoint> asked;
  std::vector<QRect> grabs;

 protected:
  int ChooseMagnification(const QPoint& globalPos) override {
    menuShownAt.push_back(globalPos);
    return menuAnswer;
  }
  QWidget* WindowAt(const QPoint& screenPos) const override {
    const_cast<TestLoupe*>(this)->asked.push_back(screenPos);
    return windowAt(screenPos);
  }
};

void SendMouse(QWidget* widget, QEvent::Type type, QPoint local, QPoint global) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget, QPoint local) {
  SendMouse(widget, QEvent::MouseButtonPress, local, local);
  SendMouse(widget, QEvent::MouseButtonRelease, local, local);
}

TEST(LoupeDefaults, ItStartsAt128PixelsSquareShowingThreeTimesTheScreenFromOneHundredOneHundred) {
  TestLoupe loupe;
  EXPECT_EQ(loupe.size(), QSize(128, 128));
  EXPECT_EQ(loupe.Origin(), QPoint(100, 100));
  EXPECT_EQ(loupe.Factor(), 6);
  EXPECT_FALSE(loupe.IsRefreshing());
  EXPECT_EQ(loupe.SaveState(), (QVariantMap{{"TIMERON", false}, {"TimerElapse", 300}, {"LoupePows", 2}}));
}

TEST(LoupeState, ASavedStateComesBackAndUnusableValuesLoadAsDefaults) {
  TestLoupe loupe;
  loupe.LoadState({{"TIMERON", true}, {"TimerElapse", 50}, {"LoupePows", 4}});
  EXPECT_TRUE(loupe.IsRefreshing());
  EXPECT_EQ(loupe.RefreshPeriod(), 50);
  EXPECT_EQ(loupe.Factor(), 12);
  loupe.LoadState({{"TIMERON", "maybe"}, {"TimerElapse", "soon"}, {"LoupePows", 99}});
  EXPECT_FALSE(loupe.IsRefreshing());
  EXPECT_EQ(loupe.TimerElapse(), 300);
  EXPECT_EQ(loupe.Factor(), 6);
}

TEST(LoupePicture, EachFactorStretchesItsScreenRectangleOverTheMagnifiedArea) {
  struct Case {
    int index, factor;
    QRect source;
  };
  const std::vector<Case> cases = {
      {0, 2, {100, 100, 64, 54}}, {2, 6, {100, 100, 21, 18}}, {5, 16, {100, 100, 8, 6}}};
  for (const Case& c : cases) {
    TestLoupe loupe;
    loupe.resize(128, 128);
    loupe.SetLoupePows(c.index);
    const QImage picture = loupe.MagnifiedPicture();
    ASSERT_EQ(loupe.grabs, std::vector<QRect>{c.source}) << "factor " << c.factor;
    ASSERT_EQ(picture.size(), QSize(128, 108));
    for (int y = 0; y < 108; ++y)
      for (int x = 0; x < 128; ++x)
        ASSERT_EQ(picture.pixel(x, y), ScreenPixel(100 + x * c.source.width() / 128, 100 + y * c.source.height() / 108))
            << "factor " << c.factor << " at " << x << "," << y;
  }
}

TEST(LoupePicture, TheProgramsOwnWindowsAreReadWhereTheScreenCannotBe) {
  QWidget window;
  window.setWindowFlags(Qt::FramelessWindowHint);
  window.setGeometry(300, 200, 40, 30);
  window.setAutoFillBackground(true);
  window.setPalette(QPalette(QColor(0x12, 0x34, 0x56)));
  window.show();
  const QImage grabbed = GrabScreenRect(QRect(290, 190, 20, 20), nullptr);
  ASSERT_EQ(grabbed.size(), QSize(20, 20));
  EXPECT_EQ(grabbed.pixel(15, 15), 0xFF123456u);
  EXPECT_EQ(grabbed.pixel(5, 5), 0xFF000000u);
  EXPECT_EQ(grabbed.pixel(9, 10), 0xFF000000u);
  EXPECT_EQ(grabbed.pixel(10, 10), 0xFF123456u);
  // The loupe's own window is left out.
  EXPECT_EQ(GrabScreenRect(QRect(290, 190, 20, 20), &window).pixel(15, 15), 0xFF000000u);
}

TEST(LoupeTimerButton, APressTogglesTheTimerAndTwoLeaveItStopped) {
  TestLoupe loupe;
  Click(&loupe, {10, 118});
  EXPECT_TRUE(loupe.TimerOn());
  EXPECT_TRUE(loupe.IsRefreshing());
  EXPECT_EQ(loupe.RefreshPeriod(), 300);
  EXPECT_TRUE(loupe.IsModified());
  loupe.SetTimerElapse(120);
  EXPECT_EQ(loupe.RefreshPeriod(), 120);
  Click(&loupe, {10, 118});
  EXPECT_FALSE(loupe.TimerOn());
  EXPECT_FALSE(loupe.IsRefreshing());
}

TEST(LoupePickButton, WhilePickingTheOriginFollowsThePointerAndStaysWhereItWasReleased) {
  TestLoupe loupe;
  SendMouse(&loupe, QEvent::MouseButtonPress, {28, 118}, {528, 618});
  EXPECT_TRUE(loupe.IsPicking());
  SendMouse(&loupe, QEvent::MouseMove, {-100, -50}, {400, 300});
  EXPECT_EQ(loupe.Origin(), QPoint(400, 300));
  SendMouse(&loupe, QEvent::MouseMove, {-90, -40}, {410, 310});
  EXPECT_EQ(loupe.Origin(), QPoint(410, 310));
  SendMouse(&loupe, QEvent::MouseButtonRelease, {-90, -40}, {410, 310});
  EXPECT_FALSE(loupe.IsPicking());
  SendMouse(&loupe, QEvent::MouseMove, {0, 0}, {500, 500});
  EXPECT_EQ(loupe.Origin(), QPoint(410, 310));
  EXPECT_TRUE(loupe.asked.empty()) << "picking forwards nothing";
}

TEST(LoupeMagnificationButton, TheMenuOpensAtTheReleaseAndItsChoiceSetsTheFactor) {
  struct Case {
    const char* name;
    QPoint press;
    int answer;
    int menus;
    int factor;
    bool modified;
  };
  const std::vector<Case> cases = {
      {"1600% chosen", {45, 118}, 5, 1, 16, true},
      {"200% chosen", {45, 118}, 0, 1, 2, true},
      {"menu dismissed", {45, 118}, -1, 1, 6, false},
      {"pressed elsewhere", {80, 118}, 5, 0, 6, false},
  };
  for (const Case& c : cases) {
    TestLoupe loupe;
    loupe.menuAnswer = c.answer;
    SendMouse(&loupe, QEvent::MouseButtonPress, c.press, c.press + QPoint(1000, 0));
    EXPECT_TRUE(loupe.menuShownAt.empty()) << c.name << ": not before the button comes up";
    SendMouse(&loupe, QEvent::MouseButtonRelease, c.press, {700, 40});
    EXPECT_EQ(static_cast<int>(loupe.menuShownAt.size()), c.menus) << c.name;
    if (c.menus == 1) {
      EXPECT_EQ(loupe.menuShownAt[0], QPoint(700, 40)) << c.name;
    }
    EXPECT_EQ(loupe.Factor(), c.factor) << c.name;
    EXPECT_EQ(loupe.IsModified(), c.modified) << c.name;
  }
}

class LoupeForwarding : public ::testing::Test {
 protected:
  void SetUp() override {
    target.setGeometry(40, 30, 300, 300);
    loupe.windowAt = [this](QPoint) { return &target; };
  }
  TestLoupe loupe;
  Recorder target;
};

TEST_F(LoupeForwarding, AButtonDownGoesToTheWindowUnderTheMappedScreenPointInItsCoordinates) {
  loupe.SetLoupePows(0);
  SendMouse(&loupe, QEvent::MouseButtonPress, {10, 10}, {0, 0});
  EXPECT_EQ(loupe.asked, std::vector<QPoint>{QPoint(105, 105)});
  ASSERT_EQ(target.received.size(), 1u);
  EXPECT_EQ(target.received[0].type, QEvent::MouseButtonPress);
  EXPECT_EQ(target.received[0].global, QPoint(105, 105));
  EXPECT_EQ(target.received[0].local, QPoint(65, 75));
}

TEST_F(LoupeForwarding, MovesAreForwardedOnlyWhileTheMouseIsCapturedAndTheReleaseEndsIt) {
  loupe.SetLoupePows(5);
  SendMouse(&loupe, QEvent::MouseMove, {50, 50}, {0, 0});
  EXPECT_TRUE(target.received.empty());
  SendMouse(&loupe, QEvent::MouseButtonPress, {16, 32}, {0, 0});
  SendMouse(&loupe, QEvent::MouseMove, {48, 64}, {0, 0});
  SendMouse(&loupe, QEvent::MouseMove, {200, 0}, {0, 0});  // beyond the control: still mapped
  SendMouse(&loupe, QEvent::MouseButtonRelease, {200, 0}, {0, 0});
  SendMouse(&loupe, QEvent::MouseMove, {0, 0}, {0, 0});
  const std::vector<QPoint> expected = {{101, 102}, {103, 104}, {112, 100}, {112, 100}};
  ASSERT_EQ(target.received.size(), expected.size());
  const std::vector<QEvent::Type> types = {QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseMove,
                                           QEvent::MouseButtonRelease};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(target.received[i].type, types[i]) << i;
    EXPECT_EQ(target.received[i].global, expected[i]) << i;
  }
}

TEST_F(LoupeForwarding, NothingIsForwardedToTheLoupeItselfOrIntoItOrWhereNoWindowIs) {
  QWidget child(&loupe);
  for (QWidget* under : std::vector<QWidget*>{&loupe, &child, nullptr}) {
    loupe.windowAt = [under](QPoint) { return under; };
    SendMouse(&loupe, QEvent::MouseButtonPress, {10, 10}, {0, 0});
    SendMouse(&loupe, QEvent::MouseButtonRelease, {10, 10}, {0, 0});
  }
  EXPECT_EQ(loupe.asked.size(), 6u);
  EXPECT_TRUE(target.received.empty());
}

TEST_F(LoupeForwarding, AMessageThatComesBackWhileOneIsHandledIsNotForwardedAgain) {
  target.onPress = [this] { SendMouse(&loupe, QEvent::MouseButtonPress, {20, 20}, {0, 0}); };
  SendMouse(&loupe, QEvent::MouseButtonPress, {10, 10}, {0, 0});
  ASSERT_EQ(target.received.size(), 1u);
  EXPECT_EQ(loupe.asked.size(), 1u);
  // Once the first is handled, forwarding works again.
  target.onPress = nullptr;
  SendMouse(&loupe, QEvent::MouseButtonPress, {12, 12}, {0, 0});
  EXPECT_EQ(target.received.size(), 2u);
}

TEST_F(LoupeForwarding, KeysGoToTheWindowUnderTheScreenPointOfTheCursor) {
  loupe.setGeometry(0, 0, 128, 128);
  loupe.SetLoupePows(1);
  QCursor::setPos(40, 24);
  if (QCursor::pos() != QPoint(40, 24)) GTEST_SKIP() << "this platform cannot place the cursor";
  QKeyEvent press(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, "b");
  QCoreApplication::sendEvent(&loupe, &press);
  QCoreApplication::sendEvent(&loupe, &release);
  ASSERT_EQ(loupe.mapFromGlobal(QPoint(40, 24)), QPoint(40, 24));
  ASSERT_EQ(target.received.size(), 2u);
  EXPECT_EQ(target.received[0].type, QEvent::KeyPress);
  EXPECT_EQ(target.received[1].type, QEvent::KeyRelease);
  EXPECT_EQ(target.received[0].key, Qt::Key_B);
  EXPECT_EQ(loupe.asked.front(), QPoint(110, 106));
}

}  // namespace
}  // namespace varnel
