// The control panel picture: fragments, bands, labels and lamps painted into one QImage.
#include "console/panel_picture.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

#include "state/lamp_colour.h"

namespace traklin {
namespace {

constexpr int kIconWidth = 15;
constexpr int kIconHeight = 10;

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

QPoint Q(PanelPoint p) {
  return {p.X, p.Y};
}

/// The ЭЦ icon: a framed "ЭЦ" on the window colour.
QImage InterlockingIcon(QColor windowColour) {
  QImage icon(kIconWidth, kIconHeight, QImage::Format_RGB32);
  icon.fill(windowColour);
  QPainter p(&icon);
  p.setPen(QPen(Qt::black, 1));
  const auto line = [&p](std::initializer_list<QPoint> points) {
    p.drawPolyline(std::data(points), static_cast<int>(points.size()));
  };
  line({{0, 0}, {14, 0}, {14, 9}, {0, 9}, {0, 0}});
  line({{2, 3}, {3, 2}, {5, 2}, {6, 3}, {6, 6}, {5, 7}, {3, 7}, {2, 6}, {3, 7}});
  line({{4, 4}, {6, 4}});
  line({{8, 2}, {8, 7}, {12, 7}, {12, 8}, {12, 7}});
  line({{11, 2}, {11, 7}});
  return icon;
}

}  // namespace

QColor ToQColor(TColor colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

PanelPicture::PanelPicture(const TAreaData& area, const TSettings& settings, int viewIndex)
    : area_(area), settings_(settings), view_(ChoosePanelView(area, viewIndex)) {}

QSize PanelPicture::PanelSize() const {
  if (view_ == nullptr) return {0, 0};
  return {std::max(0, view_->Values[0]), std::max(0, view_->Values[1])};
}

PanelPoint PanelPicture::Translation(const TGraphLampData& lamp) const {
  return LampTranslation(area_, view_, lamp);
}

void PanelPicture::Build(const QImage& pult, QColor windowColour) {
  Background = pult.isNull() ? windowColour : pult.pixelColor(0, pult.height() - 1);
  Image = QImage(PanelSize(), QImage::Format_RGB32);
  Image.fill(Background);
  DrawFragments(pult);
  DrawPeregons();
  const int lamps = std::min(area_.FirstLamp, static_cast<int>(area_.GraphLamps.size()));
  for (int i = 0; i < lamps; ++i) DrawLamp(i, kLampGrey);
  DrawDirectionLabels();
}

void PanelPicture::DrawFragments(const QImage& pult) {
  QPainter p(&Image);
  const QFont codeFont = PanelCodeFont();
  const QFontMetrics codeMetrics(codeFont);
  const QImage icon = InterlockingIcon(Background);
  for (int f = 0; f < static_cast<int>(area_.GraphFragms.size()); ++f) {
    const TGraphFragmData& fr = area_.GraphFragms[f];
    const FragmentPlacement at = PlaceFragment(area_, view_, f);
    if (!pult.isNull()) {
      const QRect source(fr.Left, fr.Top, fr.Right - fr.Left, fr.Bottom - fr.Top);
      p.drawImage(QPoint(fr.Left + at.DX, fr.Top + at.DY), pult, source);
    }
    const int nameLamp = f + 1;
    if (nameLamp >= static_cast<int>(area_.GraphLamps.size())) continue;
    const TGraphLampData& name = area_.GraphLamps[nameLamp];
    const QString code = QString::number(fr.ShownCode);
    const int codeX = name.X + name.Width / 2 - codeMetrics.horizontalAdvance(code) / 2 + at.DX;
    const int codeTop = name.Y - (3 * name.Thickness) / 2 + at.DY;
    p.setFont(codeFont);
    p.setPen(Qt::black);
    p.drawText(QRect(codeX, codeTop, 1000, codeMetrics.height()), Qt::AlignLeft | Qt::AlignTop,
               code);
    if (fr.IconOffset != 0) {
      p.drawImage(QPoint(at.X - kIconWidth / 2, at.Y + DecodeOffset(fr.IconOffset)), icon);
    }
    if (view_ != nullptr && f < static_cast<int>(view_->Fragms.size()) &&
        view_->Fragms[f].Shown != 0) {
      const int y = codeTop - name.Thickness / 2;
      p.setPen(QPen(Qt::black, 1));
      p.drawLine(0, y, Image.width(), y);
    }
  }
}

void PanelPicture::DrawPeregons() {
  QPainter p(&Image);
  p.setPen(QPen(Qt::black, 1));
  const auto lampAt = [this](int lamp) -> const TGraphLampData* {
    if (lamp <= 0 || lamp >= static_cast<int>(area_.GraphLamps.size())) return nullptr;
    return &area_.GraphLamps[lamp];
  };
  for (int per = 0; per < static_cast<int>(area_.GraphPeregons.size()); ++per) {
    const auto drawing = DescribePeregon(area_, view_, per);
    if (!drawing) continue;
    for (const PeregonDrawing::Band& band : drawing->Bands)
      for (int y = band.Y - 2; y <= band.Y + 2; ++y) p.drawLine(band.X1, y, band.X2, y);
    for (const PeregonDrawing::Mark& arrow : drawing->Arrows) {
      const TGraphLampData* lamp = lampAt(arrow.Lamp);
      if (lamp == nullptr) continue;
      QPolygon outline;
      for (PanelPoint point : ArrowOutline(*lamp, Translation(*lamp), arrow.Variant))
        outline << Q(point);
      p.drawPolyline(outline);
    }
    // Joint marks cut small crosses into the band between block sections.
    p.setPen(QPen(Background, 1));
    for (const PeregonDrawing::Mark& joint : drawing->Joints) {
      const TGraphLampData* lamp = lampAt(joint.Lamp);
      if (lamp == nullptr) continue;
      const auto c = JointMarkCentre(*lamp, Translation(*lamp), joint.Variant == 1);
      if (!c) continue;
      p.drawLine(c->X - 1, c->Y, c->X + 2, c->Y);
      p.drawLine(c->X, c->Y - 1, c->X, c->Y + 2);
    }
    p.setPen(QPen(Qt::black, 1));
  }
}

void PanelPicture::DrawDirectionLabels() {
  QPainter p(&Image);
  const QFont font = PanelLabelFont();
  const QFontMetrics metrics(font);
  p.setFont(font);
  p.setPen(Qt::black);
  p.setBackground(Background);
  p.setBackgroundMode(Qt::OpaqueMode);
  for (const TGraphFragmData& fr : area_.GraphFragms) {
    for (int lampNumber : fr.DepartCommitLamp) {
      if (lampNumber <= 0 || lampNumber >= static_cast<int>(area_.GraphLamps.size())) continue;
      const TGraphLampData& lamp = area_.GraphLamps[lampNumber];
      if (lamp.Width != 10) continue;
      const PanelPoint t = Translation(lamp);
      const bool odd = lampNumber % 2 != 0;
      const QString text = odd ? QStringLiteral("РОН") : QStringLiteral("РОЧ");
      const int x = odd ? lamp.X - 5 - metrics.horizontalAdvance(QStringLiteral("РОН"))
                        : lamp.X + lamp.Width + 5;
      const int top = lamp.Y - metrics.height() / 2 + 1;
      p.drawText(QPoint(x + t.X, top + t.Y + metrics.ascent()), text);
    }
  }
}

QRect PanelPicture::DrawLamp(int number, TColor colour, bool restricted) {
  if (number < 0 || number >= static_cast<int>(area_.GraphLamps.size()) || Image.isNull())
    return {};
  const TGraphLampData& lamp = area_.GraphLamps[number];
  if (!LampDrawn(lamp)) return {};
  const PanelPoint t = Translation(lamp);
  const LampEnds ends = LampEndPoints(lamp, t);
  const bool nameLamp = IsNameLamp(lamp, number);
  TColor text = 0;
  if (nameLamp) {
    if (colour == kLampGrey) {
      colour = settings_.ColorLampLPOff;
      text = settings_.ColorLampLPOffText;
    } else if (colour == kLampYellow) {
      colour = settings_.ColorLampLPLit;
      text = settings_.ColorLampLPLitText;
    }
  }
  QPainter p(&Image);
  if (nameLamp) {
    p.setPen(QPen(Qt::black, lamp.Thickness + 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(Q(ends.P1), Q(ends.P2));
  }
  // Round pen ends make short thick lamps look like pills.
  p.setPen(QPen(ToQColor(colour), lamp.Thickness, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(Q(ends.P1), Q(ends.P2));
  if (restricted && !nameLamp) {
    p.setPen(QPen(colour == kLampYellow ? Qt::black : ToQColor(kLampYellow),
                  std::max(1, lamp.Thickness / 3), Qt::SolidLine, Qt::FlatCap));
    p.drawLine(Q(ends.P1), Q(ends.P2));
  }
  if (number < static_cast<int>(marked_.size()) || restricted) {
    if (number >= static_cast<int>(marked_.size())) marked_.resize(area_.GraphLamps.size(), false);
    marked_[number] = restricted && !nameLamp;
  }

  const int margin = lamp.Thickness / 2 + 2;
  QRect changed =
      QRect(Q(ends.P1), Q(ends.P2)).normalized().adjusted(-margin, -margin, margin, margin);
  if (nameLamp) {
    const QFont font = PanelNameFont();
    const QFontMetrics metrics(font);
    const QString name = number - 1 < static_cast<int>(area_.LPMnemNames.size())
                             ? Utf8(area_.LPMnemNames[number - 1])
                             : QString();
    const QPoint topLeft(lamp.X + lamp.Thickness / 2 + t.X, lamp.Y + 1 - lamp.Thickness / 2 + t.Y);
    p.setFont(font);
    p.setPen(ToQColor(text));
    p.drawText(topLeft + QPoint(0, metrics.ascent()), name);
    changed |= QRect(topLeft, QSize(metrics.horizontalAdvance(name) + 1, metrics.height()));
  }
  return changed;
}

TColor PanelPicture::LampColourOf(const TLampControlsData& lamps, int lamp, TDateTime clock,
                                  const std::vector<bool>& autoLPs) const {
  const TColor colour = LampColour(lamps[lamp], clock);
  // Name lamp f + 1 belongs to the station of LP index f; selected (yellow) it stays yellow.
  const int lp = lamp - 1;
  if (colour == kLampGrey && lp >= 0 && lp < static_cast<int>(autoLPs.size()) && autoLPs[lp] &&
      lamp < static_cast<int>(area_.GraphLamps.size()) && IsNameLamp(area_.GraphLamps[lamp], lamp))
    return kLampGreen;
  return colour;
}

std::vector<QRect> PanelPicture::RefreshLamps(TLampControlsData& lamps, TDateTime clock,
                                              const std::vector<bool>& autoLPs,
                                              const FaultLamps* faults) {
  std::vector<QRect> changed;
  const int count =
      std::min(static_cast<int>(lamps.size()), static_cast<int>(area_.GraphLamps.size()));
  // Without faults nothing flashes and no mark is wanted: the marks drawn are taken off.
  std::vector<bool> flashing, restricted;
  if (faults != nullptr) {
    const auto flags = [count](std::vector<bool>& to, const std::vector<int>& from) {
      for (int lamp : from)
        if (lamp >= 0 && lamp < count) {
          if (to.empty()) to.resize(static_cast<std::size_t>(count), false);
          to[static_cast<std::size_t>(lamp)] = true;
        }
    };
    flags(flashing, faults->FalseOccupancy);
    flags(flashing, faults->FailedSwitches);
    flags(flashing, faults->FailedSignals);
    flags(restricted, faults->Restricted);
  }
  const auto at = [](const std::vector<bool>& v, int i) {
    return i < static_cast<int>(v.size()) && v[static_cast<std::size_t>(i)];
  };
  for (int i = 0; i < count; ++i) {
    TColor colour = LampColourOf(lamps, i, clock, autoLPs);
    if (at(flashing, i))
      colour = !IsSecondHalf(clock) ? kLampRed : colour == kLampRed ? kLampGrey : colour;
    const bool mark = at(restricted, i);
    if (colour == lamps[i].DrawnColor && mark == at(marked_, i)) continue;
    const QRect r = DrawLamp(i, colour, mark);
    lamps[i].DrawnColor = colour;
    if (!r.isEmpty()) changed.push_back(r);
  }
  return changed;
}

void PanelPicture::RepaintAllLamps(TLampControlsData& lamps) {
  for (TLampControlData& lamp : lamps) lamp.DrawnColor = kLampRepaint;
}

}  // namespace traklin
