// The controller window "Пульт диспетчера": the dispatcher's push-button desk.
#include "console/controller_window.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>

#include "console/console_fonts.h"
#include "console/panel_picture.h"

namespace traklin {

namespace {

constexpr int kButtonSize = 18;  // of the placeholders; real pictures bring their own size
const QColor kPlainBack(0x4A, 0x55, 0x5E);

/// The picture file of each button colour, in the order of DeskColour.
constexpr const char* kButtonFiles[7] = {"btWhite.bmp", "btYellow.bmp", "btRed.bmp",  "btTeal.bmp",
                                         "btGreen.bmp", "btBlue.bmp",   "btBlack.bmp"};
const QColor kPlainButton[7] = {QColor(0xF0, 0xF0, 0xF0), QColor(0xF0, 0xD0, 0x20),
                                QColor(0xD0, 0x20, 0x20), QColor(0x20, 0xA0, 0xA0),
                                QColor(0x30, 0xB0, 0x30), QColor(0x30, 0x50, 0xD0),
                                QColor(0x18, 0x18, 0x18)};

QFont DeskFont(int pixels) {
  return SharpPixelFont(QStringLiteral("Tahoma"), pixels);
}

// Lamp labels start at 7 pixels: without smoothing, letters 5 pixels high run into each other.
constexpr int kLabelPixels = 7;
constexpr int kSmallestLabelPixels = 5;
// Narrower widths of the label font, in per cent; the widths between them drop strokes of
// glyphs this small.
constexpr int kLabelStretches[] = {100, 87, 66, 62};

/// The lamp label's font: narrowed, then smaller, until text fits width pixels.
QFont LabelFont(const QString& text, int width) {
  QFont font;
  for (int pixels = kLabelPixels; pixels >= kSmallestLabelPixels; --pixels) {
    for (const int stretch : kLabelStretches) {
      font = DeskFont(pixels);
      font.setStretch(stretch);
      if (QFontMetrics(font).horizontalAdvance(text) <= width) return font;
    }
  }
  return font;
}

/// Text whose cell's top-left corner is at (x, y), as the desk writes its labels.
void TextAt(QPainter& p, int x, int y, const QString& text) {
  p.drawText(QRect(x, y, 400, 100), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

}  // namespace

TfmController::TfmController(Simulation& sim, QWidget* parent, std::filesystem::path imageDir)
    : QWidget(parent), sim_(sim), desk_(sim) {
  setObjectName(QStringLiteral("fmController"));
  setWindowTitle(QStringLiteral("Пульт диспетчера"));
  LoadPictures(imageDir);
  Setup();
}

TfmController::~TfmController() = default;

void TfmController::LoadPictures(const std::filesystem::path& imageDir) {
  QStringList missing;
  const auto load = [&](const char* file) {
    const std::filesystem::path path = imageDir / file;
    QImage image(QString::fromStdString(path.generic_string()));
    if (image.isNull()) missing << QString::fromStdString(path.generic_string());
    return image.convertToFormat(QImage::Format_RGB32);
  };
  backPicture_ = load("CtrlBack.bmp");
  if (backPicture_.isNull()) {
    backPicture_ = QImage(642, 456, QImage::Format_RGB32);
    backPicture_.fill(kPlainBack);
  }
  for (int i = 0; i < 7; ++i) {
    QImage& picture = buttonPictures_[i];
    picture = load(kButtonFiles[i]);
    if (picture.isNull()) {
      picture = QImage(kButtonSize, kButtonSize, QImage::Format_RGB32);
      picture.fill(kPlainButton[i]);
    }
  }
  if (!missing.isEmpty())
    pictureError_ = QStringLiteral("Error reading ") + missing.join(QStringLiteral(", ")) +
                    QStringLiteral("\r\n");
}

void TfmController::BuildBackground() {
  const int extra = ExtraStationRows(sim_.AreaData.StationCount) * kStationRowHeight;
  const int w = backPicture_.width(), h = backPicture_.height();
  if (extra == 0 || h < 2 * kStationRowHeight) {
    deskImage_ = backPicture_.copy();
    return;
  }
  // The last band moves down; the band above it is repeated over the gap.
  deskImage_ = QImage(w, h + extra, QImage::Format_RGB32);
  QPainter p(&deskImage_);
  p.drawImage(0, 0, backPicture_, 0, 0, w, h - kStationRowHeight);
  const QRect repeated(0, h - 2 * kStationRowHeight, w, kStationRowHeight);
  for (int y = h - kStationRowHeight; y < h - kStationRowHeight + extra; y += kStationRowHeight)
    p.drawImage(QPoint(0, y), backPicture_, repeated);
  p.drawImage(QPoint(0, h - kStationRowHeight + extra), backPicture_,
              QRect(0, h - kStationRowHeight, w, kStationRowHeight));
}

void TfmController::AddButton(const QString& name, QPoint centre, DeskColour colour,
                              std::function<void()> action) {
  const QSize size = buttonPictures_[static_cast<int>(colour)].size();
  const QRect rect(centre.x() - size.width() / 2, centre.y() - size.height() / 2, size.width(),
                   size.height());
  buttons_.push_back({name, rect, colour, std::move(action)});
}

void TfmController::Setup() {
  desk_.Setup();
  pressed_ = -1;
  buttons_.clear();
  BuildBackground();
  const int width = deskImage_.width();
  const int layout = sim_.AreaData.ThroatLayout;

  for (int i = 0; i < sim_.AreaData.StationCount; ++i) {
    const QSize size = buttonPictures_[static_cast<int>(DeskColour::Black)].size();
    const DeskPoint at = SelectButtonTopLeft(width, size.width(), i);
    buttons_.push_back({QStringLiteral("imSelectLP%1").arg(i), QRect(QPoint(at.X, at.Y), size),
                        DeskColour::Black, [this, i] { SelectStation(i, false); }});
  }
  for (int i = 0; i < kCommandButtons; ++i) {
    for (const bool right : {false, true}) {
      std::function<void()> action;
      if (!right && i == 0) action = [this] { ResetRouteInput(); };
      if (i == 10) action = [this, right] { ToggleCommit(right ? 1 : 0); };
      if (right && i == 1) action = [this] { ReleaseMode(); };
      if (!right && i == 1)
        action = [this] {
          desk_.SetMode(2);
          AfterCommand();
        };
      const DeskPoint c = CommandButtonCentre(right, i);
      AddButton(QStringLiteral("%1%2").arg(right ? "imRight" : "imLeft").arg(i), QPoint(c.X, c.Y),
                CommandButtonColour(i), std::move(action));
    }
  }
  QPainter p(&deskImage_);
  p.setFont(DeskFont(10));
  for (int c = 1; c <= 4; ++c) {
    for (int r = 1; r <= RouteRowCount(layout, c); ++r) {
      const DeskPoint centre = RouteButtonCentre(width, layout, {c, r});
      AddButton(QStringLiteral("imRoute%1%2").arg(c).arg(r), QPoint(centre.X, centre.Y),
                RouteButtonColour(layout, r), [this, c, r] {
                  desk_.RouteButton({c, r});
                  AfterCommand();
                });
      if (c != 2 && c != 3) continue;
      const QRect& rect = buttons_.back().Rect;
      p.setPen(QColor(0x80, 0x80, 0x80));
      TextAt(p, rect.left() + 5, rect.top() - 17, QString::number(r));
      p.setPen(Qt::black);
      TextAt(p, rect.left() + 6, rect.top() - 16, QString::number(r));
    }
  }
  p.end();
  setFixedSize(deskImage_.size());
  RedrawLamps();
}

void TfmController::DrawLamp(int k) {
  const std::vector<bool>& lamps = desk_.Lamps();
  if (k < 0 || k >= static_cast<int>(lamps.size())) return;
  const TSettings& s = sim_.Settings;
  const bool on = lamps[k];
  const QColor colour = ToQColor(on ? s.ColorLampLPLit : s.ColorLampLPOff);
  const DeskLampShape lamp = DeskLampGeometry(deskImage_.width(), k);
  QPainter p(&deskImage_);
  p.setPen(QPen(colour, lamp.Pen, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(lamp.X, lamp.Y, lamp.X + lamp.Width, lamp.Y);
  p.setPen(QPen(colour, 1));
  if (lamp.Big)
    p.drawLine(lamp.X, lamp.Y + 5, lamp.X + lamp.Width + 1, lamp.Y + 5);
  else
    p.drawLine(lamp.X, lamp.Y + 3, lamp.X + lamp.Width, lamp.Y + 3);
  if (!lamp.Big) return;
  QString label;
  if (k == kLampTask) label = QStringLiteral("Задание");
  if (k == kLampShunting) label = QStringLiteral("Маневры");
  const int station = k - kFirstStationLamp;
  if (station >= 0 && station < static_cast<int>(sim_.AreaData.LPManipNames.size()))
    label = QString::fromStdString(sim_.AreaData.LPManipNames[station]).toUpper();
  const DeskRect box = DeskLampLabelBox(lamp);
  p.setFont(LabelFont(label, box.Width));
  p.setPen(ToQColor(on ? s.ColorLampLPLitText : s.ColorLampLPOffText));
  // Even the narrowest font may not hold a name of many wide letters: the lamp ends it.
  p.setClipRect(QRect(box.X, box.Y, box.Width, box.Height));
  TextAt(p, lamp.X + 1, lamp.Y - 3, label);
}

void TfmController::RedrawLamps() {
  drawnLamps_ = desk_.Lamps();
  for (int k = 0; k < static_cast<int>(drawnLamps_.size()); ++k) DrawLamp(k);
  update();
}

void TfmController::RefreshLamps() {
  const std::vector<bool>& lamps = desk_.Lamps();
  if (lamps.size() != drawnLamps_.size()) {
    RedrawLamps();
    return;
  }
  for (int k = 0; k < static_cast<int>(lamps.size()); ++k) {
    if (lamps[k] == drawnLamps_[k]) continue;
    drawnLamps_[k] = lamps[k];
    DrawLamp(k);
    update();
  }
}

void TfmController::AfterCommand() {
  RefreshLamps();
  if (Acted) Acted();
}

bool TfmController::DialogVisible() const {
  return TaskDialogVisible && TaskDialogVisible();
}

void TfmController::SelectStation(int lp, bool task) {
  const SelectEffects effects = desk_.SelectStation(lp, task);
  if (effects.HideTaskDialog && HideTaskDialog) HideTaskDialog();
  if (effects.OpenTaskDialog >= 0 && OpenTaskDialog) OpenTaskDialog(effects.OpenTaskDialog);
  if (effects.ShowDesk) {
    if (isVisible())
      raise();
    else
      show();
  }
  AfterCommand();
}

int TfmController::SelectedStation() const {
  return desk_.Selected();
}

void TfmController::Tick(int realMs) {
  desk_.Tick(DialogVisible(), realMs / 1000.0);
  RefreshLamps();
}

void TfmController::KeyRoutePress(bool altVariant, int row, int column) {
  desk_.KeyRoutePress(altVariant, row, column);
  AfterCommand();
}

void TfmController::ResetRouteInput() {
  desk_.ResetButton();
  AfterCommand();
}

void TfmController::ToggleCommit(int dir) {
  desk_.ToggleCommit(dir);
  AfterCommand();
}

void TfmController::ReleaseMode() {
  desk_.SetMode(1);
  AfterCommand();
}

QRect TfmController::ButtonRect(const QString& name) const {
  for (const Button& b : buttons_)
    if (b.Name == name) return b.Rect;
  return {};
}

int TfmController::ButtonAt(QPoint p) const {
  for (int i = 0; i < static_cast<int>(buttons_.size()); ++i)
    if (buttons_[i].Rect.contains(p)) return i;
  return -1;
}

void TfmController::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, deskImage_);
  for (int i = 0; i < static_cast<int>(buttons_.size()); ++i) {
    const Button& b = buttons_[i];
    const QPoint at = b.Rect.topLeft() + (i == pressed_ ? QPoint(1, 1) : QPoint(0, 0));
    p.drawImage(at, buttonPictures_[static_cast<int>(b.Colour)]);
  }
}

void TfmController::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pressed_ = ButtonAt(event->position().toPoint());
  if (pressed_ >= 0) update(buttons_[pressed_].Rect.adjusted(0, 0, 1, 1));
}

void TfmController::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || pressed_ < 0) return;
  const int i = pressed_;
  pressed_ = -1;
  update(buttons_[i].Rect.adjusted(0, 0, 1, 1));
  // The command runs only when the button is let go over the sunk button.
  if (buttons_[i].Rect.translated(1, 1).contains(event->position().toPoint()) &&
      buttons_[i].Action) {
    const std::function<void()> action = buttons_[i].Action;
    action();
  }
}

void TfmController::closeEvent(QCloseEvent* event) {
  if (!DialogVisible()) SelectStation(-1, false);
  QWidget::closeEvent(event);
}

}  // namespace traklin
