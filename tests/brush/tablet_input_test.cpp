// Tablet packets into tool events: the pressure through each cursor's calibration, which packets
// a pointer message delivers, and the pen-end tool a change of cursor gives.

#include "brush/tablet_input.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

namespace varnel {
namespace {

// A tablet whose answers the test sets; an absent entry is a failed read.
class FakeTablet : public TabletDevice {
 public:
  bool PressureButton(uint32_t cursor, uint8_t& button) override {
    ++reads[cursor];
    if (!pressureButton) return false;
    button = *pressureButton;
    return true;
  }
  std::vector<uint8_t> ButtonMap(uint32_t) override { return buttonMap; }
  bool PressureAxis(int32_t& minimum, int32_t& maximum) override {
    if (!axis) return false;
    minimum = axis->first;
    maximum = axis->second;
    return true;
  }
  bool PressureMarks(uint32_t, int32_t& release, int32_t& press) override {
    if (!marks) return false;
    release = marks->first;
    press = marks->second;
    return true;
  }
  bool CursorType(uint32_t cursor, uint32_t& type) override {
    const auto found = types.find(cursor);
    if (found == types.end()) return false;
    type = found->second;
    return true;
  }

  std::optional<uint8_t> pressureButton = 0;
  std::vector<uint8_t> buttonMap = {0, 1, 2};
  std::optional<std::pair<int32_t, int32_t>> axis = std::pair{0, 1023};
  std::optional<std::pair<int32_t, int32_t>> marks = std::pair{0, 1023};
  std::map<uint32_t, uint32_t> types;
  std::map<uint32_t, int> reads;
};

TabletPacket Packet(int32_t raw, uint32_t buttons = 0, uint32_t cursor = 1, int32_t x = 0, int32_t y = 0) {
  return {cursor, buttons, x, y, raw};
}

std::tuple<int32_t, int32_t, int32_t> Angles(const PenOrientation& o) { return {o.azimuth, o.altitude, o.twist}; }

TEST(TabletMulDiv, RoundsToTheNearestAndFailsOnZeroOrOverflow) {
  struct Case {
    int32_t number, numerator, denominator, want;
  };
  const Case cases[] = {
      {1023, 256, 1023, 256}, {0, 256, 1023, 0},        {2, 256, 1023, 1},   // 0.5005
      {1, 256, 1023, 0},      {6, 256, 1023, 2},        {-2, 256, 1023, -1},  // halves away from 0
      {5, 256, 0, -1},        {0x7FFFFFFF, 256, 1, -1}, {7, -3, -2, 11},     {-7, 3, 2, -11},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.want) << c.number << " " << c.numerator << " " << c.denominator;
}

TEST(TabletPressure, FollowsTheAxisWhileThePressureButtonIsUpAndTheMarksWhileDown) {
  struct Case {
    const char* name;
    std::pair<int32_t, int32_t> axis, marks;
    int32_t raw;
    uint32_t buttons;
    int32_t want;
  };
  const Case cases[] = {
      {"axis maximum", {0, 1023}, {0, 1023}, 1023, 0, 256},
      {"axis minimum", {0, 1023}, {0, 1023}, 0, 0, 0},
      {"axis with an offset minimum", {100, 612}, {0, 1}, 356, 0, 128},
      {"an odd step rounds", {0, 1023}, {0, 1023}, 514, 0, 129},  // 514 × 256 / 1023 = 128.6
      {"button down reads the marks", {0, 1023}, {200, 712}, 456, 1, 128},
      {"at the release mark", {0, 1023}, {200, 712}, 200, 1, 0},
      {"another button does not choose the marks", {0, 1023}, {200, 712}, 1023, 2, 256},
      {"below the axis holds at 0", {100, 612}, {0, 1}, 0, 0, 0},
      {"above the axis holds at 256", {0, 1023}, {0, 1}, 5000, 0, 256},
      {"an empty axis gives 0", {7, 7}, {0, 1}, 7, 0, 0},
      {"hostile extremes", {-2147483647 - 1, 2147483647}, {0, 1}, 2147483647, 0, 256},
  };
  for (const Case& c : cases) {
    FakeTablet tablet;
    tablet.axis = c.axis;
    tablet.marks = c.marks;
    TabletInput input(&tablet);
    EXPECT_EQ(input.Pressure(Packet(c.raw, c.buttons)), c.want) << c.name;
  }
}

TEST(TabletPressure, ThePressureButtonIsMappedToItsLogicalButton) {
  struct Case {
    const char* name;
    std::optional<uint8_t> button;
    std::vector<uint8_t> map;
    uint32_t buttons;
    uint8_t wantButton;
    int32_t want;
  };
  // Axis 0…1023, marks 512…1024: raw 768 reads 192 on the axis and 128 on the marks.
  const Case cases[] = {
      {"physical 0 is logical 2", 0, {2, 1, 0}, 1u << 2, 2, 128},
      {"logical 2 not held: axis", 0, {2, 1, 0}, 1u << 0, 2, 192},
      {"beyond the map stays physical", 5, {0, 1}, 1u << 5, 5, 128},
      {"an unread button is 255 (bit 31)", std::nullopt, {0, 1}, 0x80000000u, 255, 128},
      {"an empty map keeps the button", 1, {}, 1u << 1, 1, 128},
  };
  for (const Case& c : cases) {
    FakeTablet tablet;
    tablet.pressureButton = c.button;
    tablet.buttonMap = c.map;
    tablet.marks = std::pair{512, 1024};
    TabletInput input(&tablet);
    EXPECT_EQ(input.Pressure(Packet(768, c.buttons)), c.want) << c.name;
    EXPECT_EQ(input.Calibration().pressureButton, c.wantButton) << c.name;
  }
}

TEST(TabletPressure, CalibrationIsReadOncePerCursorAndAgainAfterAnother) {
  FakeTablet tablet;
  TabletInput input(&tablet);
  EXPECT_EQ(input.PreviousCursor(), -1);
  for (uint32_t cursor : {1u, 1u, 1u, 2u, 2u, 1u}) input.Pressure(Packet(0, 0, cursor));
  EXPECT_EQ(tablet.reads, (std::map<uint32_t, int>{{1, 2}, {2, 1}}));
  EXPECT_EQ(input.PreviousCursor(), 1);
}

TEST(TabletMessages, MovesDeliverEveryPacketAndButtonsOnlyTheFirst) {
  struct Case {
    const char* name;
    int32_t code;
    int queued;
    size_t wantDelivered;
  };
  const Case cases[] = {
      {"one move packet", kToolMove, 1, 1},
      {"a burst of moves beyond one read", kToolMove, 70, 70},
      {"two packets behind one button down", kToolButtonDown, 2, 1},
      {"a button up with a full read behind it", kToolButtonUp, 40, 1},
      {"nothing queued falls back to the mouse", kToolMove, 0, 0},
  };
  for (const Case& c : cases) {
    FakeTablet tablet;
    TabletInput input(&tablet);
    for (int i = 0; i < c.queued; ++i) input.Queue(Packet(1023, 1, 1, 10 + i, 20));
    const std::vector<TabletDelivery> got = input.ReadMessage(c.code);
    ASSERT_EQ(got.size(), c.wantDelivered) << c.name;
    EXPECT_EQ(input.Pending(), 0u) << c.name;
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(std::tuple(got[i].code, got[i].screenX, got[i].pressure), std::tuple(c.code, 10 + int32_t(i), 256))
          << c.name << " packet " << i;
  }
}

TEST(TabletMessages, TheMouseCarriesFullPressureOnlyWhenMoving) {
  struct Case {
    int32_t code, want;
  };
  const Case cases[] = {{kToolMove, 256}, {kToolButtonDown, 0}, {kToolButtonUp, 0},
                        {kToolRightButtonDown, 0}, {kToolRightButtonUp, 256}};
  for (const Case& c : cases) EXPECT_EQ(MousePressure(c.code), c.want) << c.code;
}

TEST(TabletMessages, OrientationTravelsWithThePacket) {
  FakeTablet tablet;
  TabletInput input(&tablet);
  TabletPacket packet = Packet(0);
  std::tie(packet.azimuth, packet.altitude, packet.twist) = std::tuple(1795, 450, 3);
  input.Queue(packet);
  const std::vector<TabletDelivery> got = input.ReadMessage(kToolMove);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(Angles(got[0].orientation), std::tuple(1795, 450, 3));
}

TEST(TabletCursors, TheTypeBitsTellPenEraserAndPuck) {
  struct Case {
    std::optional<uint32_t> type;
    int32_t want;
  };
  const Case cases[] = {{0x4000u, 1}, {0x4802u, 1}, {0xC000u, 2}, {0xC80Au, 2}, {0x8000u, 3},
                        {0x8806u, 3}, {0x0000u, -1}, {0x3FFFu, -1}, {std::nullopt, -1}};
  for (const Case& c : cases) EXPECT_EQ(CursorClass(c.type), c.want) << (c.type ? *c.type : 0xFFFFFFFFu);
}

TEST(TabletCursors, OnlyTheEraserEndSetsThePenEndTool) {
  struct Case {
    const char* name;
    std::optional<uint32_t> type;
    std::optional<int32_t> want;
  };
  const Case cases[] = {
      {"eraser end", 0xC000u, 9},
      {"pen tip", 0x4000u, std::nullopt},
      {"puck clears", 0x8000u, std::nullopt},
      {"unknown clears", 0x0100u, std::nullopt},
      {"failed read clears", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    FakeTablet tablet;
    if (c.type) tablet.types[7] = *c.type;
    TabletInput input(&tablet);
    EXPECT_EQ(input.CursorChange(7, 9), c.want) << c.name;
  }
  TabletInput mouseOnly;
  EXPECT_EQ(mouseOnly.CursorChange(7, 9), std::nullopt);
}

TEST(TabletOrientation, TiltsBecomeAzimuthAndAltitudeInTenthsOfADegree) {
  struct Case {
    const char* name;
    double xTilt, yTilt, rotation;
    PenOrientation want;
  };
  // Azimuth clockwise from the tablet's top; altitude 90° less the lean from upright.
  const Case cases[] = {
      {"upright", 0, 0, 0, {0, 900, 0}},
      {"leaning right", 45, 0, 0, {900, 450, 0}},
      {"leaning towards the user", 0, 45, 0, {1800, 450, 0}},
      {"leaning left", -45, 0, 0, {2700, 450, 0}},
      {"leaning away", 0, -45, 0, {0, 450, 0}},
      // tan 45° on both axes: the lean is atan √2 = 54.7356°, the altitude 35.264°.
      {"leaning right and towards the user", 45, 45, 0, {1350, 353, 0}},
      {"barrel turned back", 0, 0, -90, {0, 900, 2700}},
      {"barrel a full turn and a tenth", 0, 0, 360.1, {0, 900, 1}},
      {"not a number", std::nan(""), 0, std::nan(""), {0, 900, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Angles(OrientationFromTilt(c.xTilt, c.yTilt, c.rotation)), Angles(c.want)) << c.name;
  }
}

}  // namespace
}  // namespace varnel
