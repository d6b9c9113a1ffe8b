// The panel picture painted into a QImage and probed: fragments, bands, arrows, lamps through
// their colours and the flashing phase, the faults' looks, name lamps and texts (counted as ink
// in a box).
#include "console/panel_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "area/date_time.h"
#include "area/panel_records.h"
#include "qt_test_support.h"

namespace traklin {
namespace {

using testing_support::App;

using test::Lamp;

// clang-format off
/// Two stations in one row of a 400 x 100 panel; B is moved 150 to the right by the view.
///
///      A (anchor 50,40)                               B (anchor 150,40 -> 300,40)
///    [3] track lamp         <4 (200,15)
///   ------------========================================-----------   band y 38..42, x 90..260
///                               6> (200,45)
///    ((Альфа)) name lamp 1 at (30,60)                 ((Бета)) name lamp 2
// clang-format on
struct PanelFixture {
  PanelFixture() {
    App();
    area.StationCount = 2;
    area.GraphFragms = {test::Fragment(0, 0, 100, 80, 50, 40),
                        test::Fragment(100, 0, 200, 80, 150, 40)};
    area.GraphFragms[0].ShownCode = 7;
    area.GraphFragms[1].ShownCode = 8;
    area.GraphFragms[1].DepartCommitLamp[0] = 4;
    area.GraphVids = {test::View(400, 100, 10, {{50, 40, 20, 0}, {300, 40, 20, 0}})};
    TGraphPeregonData p;
    p.LP[0] = 1, p.LP[1] = 2;
    p.Offsets[0] = 40, p.Offsets[2] = -40;
    p.Drawn = 1;
    p.DirectionLamps[0] = 4, p.DirectionLamps[1] = 6;
    area.GraphPeregons = {p};
    area.GraphLamps = {Lamp(0, 0, 0, 0),    Lamp(30, 60, 40, 16, 0, 0), Lamp(130, 60, 40, 16, 0, 1),
                       Lamp(20, 20, 20, 3), Lamp(200, 15, 10, 3),       Lamp(0, 0, 0, 0),
                       Lamp(200, 45, 10, 3)};
    area.FirstLamp = 7;
    area.LPMnemNames = {"Альфа", "Бета"};
    lamps.resize(area.GraphLamps.size());

    pult = QImage(200, 100, QImage::Format_RGB32);
    pult.fill(kPultBack);
    pult.setPixelColor(10, 10, Qt::blue);      // inside A
    pult.setPixelColor(110, 10, Qt::magenta);  // inside B
    pult.setPixelColor(150, 90, Qt::red);      // outside every fragment
    panel.emplace(area, settings, 0);
  }
  QColor At(int x, int y) const { return panel->Image.pixelColor(x, y); }
  /// Pixels inside r nearer to the ink colour c than to the colour they are written on
  /// (smoothed glyphs blend the two).
  int Ink(QRect r, QColor c, QColor on) const {
    const auto distance = [](QColor a, QColor b) {
      return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
             std::abs(a.blue() - b.blue());
    };
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        n += distance(At(x, y), c) < distance(At(x, y), on);
    return n;
  }

  inline static const QColor kPultBack{190, 190, 170};
  TAreaData area;
  TSettings settings;
  TLampControlsData lamps;
  QImage pult;
  std::optional<PanelPicture> panel;
};

const QColor kRed(255, 0, 0), kYellow(255, 255, 0), kGreen(0, 255, 0), kGrey(0x50, 0x50, 0x50);

TEST(PanelPicture, ColourValuesHaveRedInTheLowByte) {
  EXPECT_EQ(ToQColor(0x0000FF), kRed);
  EXPECT_EQ(ToQColor(0xE0C0D0), QColor(0xD0, 0xC0, 0xE0));
}

TEST(PanelPicture, FragmentsAreCopiedToTheirViewPlacesOnThePultBackground) {
  PanelFixture f;
  f.panel->Build(f.pult, Qt::green);
  EXPECT_EQ(f.panel->Image.size(), QSize(400, 100));
  EXPECT_EQ(f.panel->Background, PanelFixture::kPultBack);
  EXPECT_EQ(f.At(10, 10), QColor(Qt::blue));
  EXPECT_EQ(f.At(260, 10), QColor(Qt::magenta));  // B moved by 150
  EXPECT_EQ(f.At(110, 10), PanelFixture::kPultBack);
  EXPECT_EQ(f.At(150, 90), PanelFixture::kPultBack);  // not part of a fragment
}

TEST(PanelPicture, WithoutPultTheFragmentsAreLeftOutOnTheWindowColour) {
  PanelFixture f;
  f.panel->Build(QImage(), QColor(0, 128, 0));
  EXPECT_EQ(f.At(10, 10), QColor(0, 128, 0));
  EXPECT_EQ(f.At(120, 40), QColor(Qt::black));  // the band is still drawn
  EXPECT_EQ(f.At(30, 21), kGrey);
}

TEST(PanelPicture, ABandIsFiveBlackLinesBetweenItsEndsWithArrowsAtTheDirectionLamps) {
  PanelFixture f;
  f.panel->Build(f.pult, Qt::green);
  // XA = 50 + 40 = 90, XB = 300 - 40 = 260, centre y 40.
  for (int y = 38; y <= 42; ++y) {
    EXPECT_EQ(f.At(120, y), QColor(Qt::black)) << y;
    EXPECT_EQ(f.At(90, y), QColor(Qt::black)) << y;
    EXPECT_EQ(f.At(260, y), QColor(Qt::black)) << y;
  }
  EXPECT_EQ(f.At(120, 37), PanelFixture::kPultBack);
  EXPECT_EQ(f.At(120, 43), PanelFixture::kPultBack);
  EXPECT_EQ(f.At(89, 40), PanelFixture::kPultBack);
  EXPECT_EQ(f.At(262, 40), PanelFixture::kPultBack);
  // Lamp 4 points left: its tip at x + width + 3 - 20, y - 2 + 3; lamp 6 points right.
  EXPECT_EQ(f.At(193, 16), QColor(Qt::black));
  EXPECT_EQ(f.At(192, 16), PanelFixture::kPultBack);
  EXPECT_EQ(f.At(217, 46), QColor(Qt::black));
  EXPECT_EQ(f.At(218, 46), PanelFixture::kPultBack);
}

TEST(PanelPicture, ATrackLampTurnsGreyRedYellowGreenAsItsFlagsChangeAndOnlyChangesRedraw) {
  PanelFixture f;
  f.panel->Build(f.pult, Qt::green);
  const TDateTime clock = EncodeDate(2024, 12, 6) + 10 * kSecond;
  TLampControlData& l = f.lamps[3];
  EXPECT_EQ(f.At(30, 21), kGrey);  // set-up lamps start grey
  EXPECT_TRUE(f.panel->RefreshLamps(f.lamps, clock).empty());
  struct Step {
    bool Red, Yellow, Green;
    QColor Colour;
  };
  for (const Step& s : {Step{true, false, false, kRed}, Step{true, true, true, kRed},
                        Step{false, true, true, kYellow}, Step{false, false, true, kGreen},
                        Step{false, false, false, kGrey}}) {
    l.RED = s.Red, l.YELLOW = s.Yellow, l.GREEN = s.Green;
    f.panel->RefreshLamps(f.lamps, clock);
    EXPECT_EQ(f.At(30, 21), s.Colour);
    EXPECT_EQ(f.At(21, 21), s.Colour);
    EXPECT_EQ(f.At(30, 24), PanelFixture::kPultBack);
  }
  l.RED = true;
  const auto first = f.panel->RefreshLamps(f.lamps, clock);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_TRUE(first[0].contains(30, 21));
  EXPECT_TRUE(f.panel->RefreshLamps(f.lamps, clock).empty());
}

TEST(PanelPicture, AFlashingLampIsYellowInTheFirstHalfOfEachSecondAndSteadyInTheSecond) {
  PanelFixture f;
  f.panel->Build(f.pult, Qt::green);
  const TDateTime second = EncodeDate(2024, 12, 6) + 10 * kSecond;
  TLampControlData& l = f.lamps[3];
  l.YELLOW_BLINK = true;
  for (const auto& [offset, green, colour] : {std::tuple{0.0, false, kYellow},
                                              {0.5, false, kGrey},
                                              {1.0, false, kYellow},
                                              {1.5, true, kGreen},
                                              {2.25, true, kYellow},
                                              {2.75, true, kGreen}}) {
    l.GREEN = green;
    f.panel->RefreshLamps(f.lamps, second + offset * kSecond);
    EXPECT_EQ(f.At(30, 21), colour) << offset;
  }
}

TEST(PanelPicture, FaultedSectionsAndSignalsFlashRedAndARestrictionMarksItsLampsMiddle) {
  PanelFixture f;
  f.panel->Build(f.pult, Qt::green);
  const TDateTime second = EncodeDate(2024, 12, 6) + 10 * kSecond;
  // Lamp 3 (20..40, y 20..22) falsely occupied: the core lights it red; it flashes.
  f.lamps[3].RED = true;
  FaultLamps faults;
  faults.FalseOccupancy = {3};
  for (const auto& [offset, colour] :
       {std::pair{0.0, kRed}, {0.5, kGrey}, {1.0, kRed}, {1.5, kGrey}}) {
    f.panel->RefreshLamps(f.lamps, second + offset * kSecond, {}, &faults);
    EXPECT_EQ(f.At(30, 20), colour) << offset;
    EXPECT_EQ(f.At(30, 21), colour) << offset;
  }
  // A failed switch's section keeps its route's yellow between the red flashes; a failed
  // signal's lamp flashes as well.
  f.lamps[3].RED = false;
  f.lamps[3].YELLOW = true;
  faults = {};
  faults.FailedSwitches = {3};
  f.panel->RefreshLamps(f.lamps, second, {}, &faults);
  EXPECT_EQ(f.At(30, 20), kRed);
  f.panel->RefreshLamps(f.lamps, second + 0.5 * kSecond, {}, &faults);
  EXPECT_EQ(f.At(30, 20), kYellow);
  f.lamps[3].YELLOW = false;
  faults = {};
  faults.FailedSignals = {3};
  f.panel->RefreshLamps(f.lamps, second, {}, &faults);
  EXPECT_EQ(f.At(30, 20), kRed);
  f.panel->RefreshLamps(f.lamps, second + 0.5 * kSecond, {}, &faults);
  EXPECT_EQ(f.At(30, 20), kGrey);

  // A restriction: a yellow stripe along the middle, black on a yellow lamp; the lamp's edges
  // keep its colour, and the mark goes with the restriction though the colour stays.
  faults = {};
  faults.Restricted = {3};
  EXPECT_FALSE(f.panel->RefreshLamps(f.lamps, second, {}, &faults).empty());
  EXPECT_EQ(f.At(30, 21), kYellow);
  EXPECT_EQ(f.At(30, 20), kGrey);
  EXPECT_EQ(f.At(30, 22), kGrey);
  EXPECT_TRUE(f.panel->RefreshLamps(f.lamps, second, {}, &faults).empty()) << "drawn once";
  f.lamps[3].YELLOW = true;
  f.panel->RefreshLamps(f.lamps, second, {}, &faults);
  EXPECT_EQ(f.At(30, 21), QColor(Qt::black));
  EXPECT_EQ(f.At(30, 22), kYellow);
  EXPECT_FALSE(f.panel->RefreshLamps(f.lamps, second, {}, nullptr).empty());
  EXPECT_EQ(f.At(30, 21), kYellow);
  // A fault's lamp number beyond the panel's lamps is passed over.
  faults.Restricted = {3, 99};
  faults.FalseOccupancy = {-1};
  f.panel->RefreshLamps(f.lamps, second, {}, &faults);
  EXPECT_EQ(f.At(30, 21), QColor(Qt::black));
}

TEST(PanelPicture, NameLampsUseTheStationColoursAndWriteTheNameInTheTextColour) {
  PanelFixture f;
  f.settings.ColorLampLPOff = 0x707070;
  f.settings.ColorLampLPLit = 0x00A0FF;      // orange
  f.settings.ColorLampLPLitText = 0xFF0000;  // blue
  f.panel->Build(f.pult, Qt::green);
  // Lamp 1: P1 (31, 61); the name starts at x + thickness / 2 = 38, top y + 1 - 8 = 53.
  const QRect name(38, 53, 30, 13);
  EXPECT_EQ(f.At(32, 61), QColor(0x70, 0x70, 0x70));
  EXPECT_GT(f.Ink(name, Qt::black, QColor(0x70, 0x70, 0x70)), 15);
  f.lamps[1].YELLOW = true;  // the station is selected
  f.panel->RefreshLamps(f.lamps, EncodeDate(2024, 12, 6));
  EXPECT_EQ(f.At(32, 61), QColor(0xFF, 0xA0, 0x00));
  const QColor orange(0xFF, 0xA0, 0x00);
  EXPECT_GT(f.Ink(name, Qt::blue, orange), 15);
  // Other colours stay as they are, with black text.
  f.lamps[1].RED = true;
  f.panel->RefreshLamps(f.lamps, EncodeDate(2024, 12, 6));
  EXPECT_EQ(f.At(32, 61), kRed);
  EXPECT_GT(f.Ink(name, Qt::black, kRed), 15);
}

TEST(PanelPicture, CodesAndDirectionLabelsAreWritten) {
  PanelFixture f;
  f.panel->Build(f.pult, Qt::green);
  // A's code "7" centred on its name lamp (x 30..70), top at 60 - 24 = 36.
  EXPECT_GT(f.Ink(QRect(40, 36, 20, 13), Qt::black, PanelFixture::kPultBack), 3);
  // Lamp 4 (even, width 10) is B's departure-commit lamp: "РОЧ" starts 5 right of its end.
  EXPECT_GT(f.Ink(QRect(215, 9, 25, 10), Qt::black, PanelFixture::kPultBack), 6);
}

TEST(PanelPicture, SmallTextsAreSolidInkWithoutBlendedPixels) {
  PanelFixture f;
  f.panel->Build(f.pult, Qt::green);
  // Each pixel of a text's box is one of the colours drawn there, never a grey blend: A's code
  // and "РОЧ" on the ground, A's name on its lamp (grey, the black outline around it).
  const QColor lamp = ToQColor(f.settings.ColorLampLPOff);
  for (const auto& [box, colours] :
       {std::pair{QRect(40, 36, 20, 13), std::vector<QColor>{PanelFixture::kPultBack, Qt::black}},
        {QRect(215, 9, 25, 10), {PanelFixture::kPultBack, Qt::black}},
        {QRect(38, 53, 30, 13), {lamp, Qt::black, PanelFixture::kPultBack}}}) {
    int ink = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
      for (int x = box.left(); x <= box.right(); ++x) {
        const QColor c = f.At(x, y);
        ink += c == Qt::black;
        EXPECT_NE(std::find(colours.begin(), colours.end(), c), colours.end())
            << x << "," << y << ": " << c.name().toStdString();
      }
    EXPECT_GT(ink, 3) << box.x();
  }
}

TEST(PanelPicture, AfterAColourSettingChangesEveryLampIsRedrawn) {
  PanelFixture f;
  f.panel->Build(f.pult, Qt::green);
  const TDateTime clock = EncodeDate(2024, 12, 6);
  f.settings.ColorLampLPOff = 0x303030;
  EXPECT_TRUE(f.panel->RefreshLamps(f.lamps, clock).empty());  // grey stays grey: stale
  PanelPicture::RepaintAllLamps(f.lamps);
  EXPECT_EQ(f.panel->RefreshLamps(f.lamps, clock).size(), 5u);  // lamps 1, 2, 3, 4 and 6
  EXPECT_EQ(f.At(32, 61), QColor(0x30, 0x30, 0x30));
}

}  // namespace
}  // namespace traklin
