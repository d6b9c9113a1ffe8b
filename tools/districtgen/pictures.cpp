// Painting Pult.bmp and the runtime pictures, synthesising the ring sounds.
#include "districtgen/pictures.h"

#include <fmt/format.h>

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <set>
#include <stdexcept>

#include "area/area_queries.h"

namespace traklin::districtgen {

namespace fs = std::filesystem;

LampLine LampEnds(const Lamp& l) {
  const int w = l.Width;
  int dx = 1, dy = w - 1;
  switch (l.Shape) {
    case 0:
      dx = w - 1, dy = 0;
      break;
    case 1:
      dx = (w * 6) / 35 + 1;
      break;
    case 3:
      dx = 1 - (w * 6) / 35;
      break;
    default:
      break;
  }
  return {l.X + 1, l.Y + 1, l.X + dx, l.Y + 1 + dy};
}

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "traklin-districtgen";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
}

namespace {

void SaveBmp(const QImage& image, const fs::path& file) {
  fs::create_directories(file.parent_path());
  if (!image.convertToFormat(QImage::Format_RGB888)
           .save(QString::fromStdString(file.string()), "BMP"))
    throw std::runtime_error("cannot write " + file.string());
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

QFont SmallFont(int pixels, bool bold = false) {
  QFont font("DejaVu Sans");
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

}  // namespace

QImage PaintPult(const District& d) {
  EnsureGuiApplication();
  QImage image(d.PultWidth, d.PultHeight, QImage::Format_RGB32);
  image.fill(QColor::fromRgba(kPultBackground));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  QPen track(QColor::fromRgba(kPultTrack), 3, Qt::SolidLine, Qt::RoundCap);
  p.setPen(track);
  for (const Stroke& s : d.Strokes) p.drawLine(s.X1, s.Y1, s.X2, s.Y2);
  for (const Lamp& l : d.Lamps) {
    const LampLine e = LampEnds(l);
    p.drawLine(e.X1, e.Y1, e.X2, e.Y2);
  }
  // A thin frame round each station shows where its fragment ends.
  p.setPen(QPen(QColor(0x8C, 0x9C, 0x94), 1));
  for (const Fragment& f : d.Fragments)
    p.drawRect(f.Left, f.Top + 8, f.Right - f.Left - 1, f.Bottom - f.Top - 9);
  p.setPen(Qt::black);
  p.setFont(SmallFont(9));
  const QFontMetrics metrics(p.font());
  for (const Label& label : d.Labels) {
    const QString text = QString::fromStdString(label.Text);
    p.drawText(label.X - metrics.horizontalAdvance(text) / 2, label.Y - 1, text);
  }
  p.end();
  return image;
}

void WriteDistrict(const District& d, const fs::path& dir) {
  fs::create_directories(dir);
  WriteBytes(dir / "Data.dat", DataDatText(d));
  SaveBmp(PaintPult(d), dir / "Pult.bmp");
}

namespace {

// The desk: 642 x 456, room for route buttons, two command blocks and two rows of
// station buttons; the last 55-pixel band can be repeated for more rows.
QImage ControllerBack() {
  QImage image(642, 456, QImage::Format_RGB32);
  image.fill(QColor(0x4A, 0x55, 0x5E));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(QColor(0x2E, 0x36, 0x3C), 2));
  p.setBrush(QColor(0x56, 0x62, 0x6C));
  p.drawRect(20, 40, 602, 290);   // route field and command blocks
  p.drawRect(20, 337, 602, 110);  // station buttons
  p.setBrush(QColor(0x60, 0x6C, 0x76));
  p.drawRect(40, 150, 100, 170);   // left command block
  p.drawRect(502, 150, 100, 170);  // right command block
  p.drawRect(191, 70, 260, 250);   // route buttons
  p.setPen(QPen(QColor(0x9A, 0xA6, 0xB0), 1));
  for (int y = 345; y < 447; y += 55) p.drawLine(30, y + 52, 612, y + 52);
  p.end();
  return image;
}

QImage Button(QColor colour) {
  QImage image(18, 18, QImage::Format_RGB32);
  image.fill(QColor(0x60, 0x6C, 0x76));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
  p.setBrush(colour.darker(130));
  p.drawEllipse(1, 1, 16, 16);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(3, 3, 12, 12);
  p.setBrush(colour.lighter(150));
  p.drawEllipse(5, 4, 5, 4);
  p.end();
  return image;
}

// Rolling stock on a white ground; the corner pixel is the transparent colour.
QImage Stock(int width, QColor body, int kind) {
  QImage image(width, 16, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QColor(0x20, 0x20, 0x20));
  p.setBrush(body);
  if (kind == 0) {  // locomotive: cab and hood
    p.drawRect(2, 3, width - 5, 9);
    p.drawRect(4, 1, 8, 3);
    p.drawRect(width - 13, 1, 8, 3);
  } else if (kind == 1) {  // car with windows
    p.drawRect(1, 3, width - 3, 9);
    p.setBrush(QColor(0xE8, 0xF0, 0xF8));
    for (int x = 4; x + 4 < width - 2; x += 6) p.drawRect(x, 5, 3, 3);
  } else if (kind == 2) {  // freight car
    p.drawRect(1, 2, width - 3, 10);
    p.drawLine(width / 2, 3, width / 2, 11);
  } else {  // head or tail car of a unit: sloped front
    const bool head = kind == 3;
    QPolygon shape;
    if (head)
      shape << QPoint(5, 3) << QPoint(width - 2, 3) << QPoint(width - 2, 12) << QPoint(1, 12)
            << QPoint(1, 7);
    else
      shape << QPoint(1, 3) << QPoint(width - 6, 3) << QPoint(width - 2, 7) << QPoint(width - 2, 12)
            << QPoint(1, 12);
    p.drawPolygon(shape);
    p.setBrush(QColor(0xE8, 0xF0, 0xF8));
    for (int x = head ? 8 : 4; x + 4 < width - (head ? 2 : 7); x += 6) p.drawRect(x, 5, 3, 3);
  }
  p.setBrush(QColor(0x10, 0x10, 0x10));
  p.drawEllipse(4, 11, 4, 4);
  p.drawEllipse(width - 9, 11, 4, 4);
  p.end();
  return image;
}

}  // namespace

void WriteImages(const fs::path& dir) {
  EnsureGuiApplication();
  SaveBmp(ControllerBack(), dir / "CtrlBack.bmp");
  const std::pair<const char*, QColor> buttons[] = {
      {"btWhite.bmp", QColor(0xF0, 0xF0, 0xF0)}, {"btYellow.bmp", QColor(0xF0, 0xD0, 0x20)},
      {"btRed.bmp", QColor(0xD0, 0x20, 0x20)},   {"btTeal.bmp", QColor(0x20, 0xA0, 0xA0)},
      {"btGreen.bmp", QColor(0x30, 0xB0, 0x30)}, {"btBlue.bmp", QColor(0x30, 0x50, 0xD0)},
      {"btBlack.bmp", QColor(0x18, 0x18, 0x18)}};
  for (const auto& [name, colour] : buttons) SaveBmp(Button(colour), dir / name);
  SaveBmp(Stock(40, QColor(0x30, 0x70, 0x30), 0), dir / "80.bmp");
  SaveBmp(Stock(42, QColor(0xB0, 0x30, 0x30), 0), dir / "2T116.bmp");
  SaveBmp(Stock(36, QColor(0x30, 0x60, 0x30), 1), dir / "0432.bmp");
  SaveBmp(Stock(24, QColor(0x80, 0x50, 0x30), 2), dir / "300.bmp");
  SaveBmp(Stock(34, QColor(0x40, 0x80, 0x40), 3), dir / "ER9H.bmp");
  SaveBmp(Stock(32, QColor(0x40, 0x80, 0x40), 1), dir / "ER9M.bmp");
  SaveBmp(Stock(32, QColor(0x50, 0x90, 0x50), 1), dir / "ER9A.bmp");
  SaveBmp(Stock(34, QColor(0x40, 0x80, 0x40), 4), dir / "ER9T.bmp");
  SaveBmp(Stock(34, QColor(0x90, 0x40, 0x30), 3), dir / "D1H.bmp");
  SaveBmp(Stock(32, QColor(0x90, 0x40, 0x30), 1), dir / "D1A.bmp");
  SaveBmp(Stock(34, QColor(0x90, 0x40, 0x30), 4), dir / "D1T.bmp");
}

std::string RingWav(int number) {
  constexpr int kRate = 22050;
  // Two bell tones per ring; the pattern of strikes and the pitch depend on the number.
  const double base = 520.0 * std::pow(2.0, (number % 12) / 12.0);
  const double second = base * (number % 2 ? 1.26 : 1.5);
  const int strikes = 2 + number % 3;
  const double strikeGap = 0.16 + 0.02 * (number % 4);
  const int samples = static_cast<int>(kRate * (strikes * strikeGap + 0.35));
  std::string data;
  data.reserve(samples * 2);
  for (int i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double v = 0;
    for (int s = 0; s < strikes; ++s) {
      const double ts = t - s * strikeGap;
      if (ts < 0) continue;
      const double f = s % 2 ? second : base;
      v += std::exp(-ts * 9.0) *
           (std::sin(2 * M_PI * f * ts) + 0.3 * std::sin(2 * M_PI * 2.76 * f * ts));
    }
    const auto sample =
        static_cast<std::int16_t>(std::lround(std::clamp(v * 0.35, -1.0, 1.0) * 32000));
    data += static_cast<char>(sample & 0xFF);
    data += static_cast<char>((sample >> 8) & 0xFF);
  }
  auto u32 = [](std::uint32_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
  };
  auto u16 = [](std::uint16_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
  };
  std::string wav = "RIFF" + u32(36 + static_cast<std::uint32_t>(data.size())) + "WAVE";
  wav += "fmt " + u32(16) + u16(1) + u16(1) + u32(kRate) + u32(kRate * 2) + u16(2) + u16(16);
  wav += "data" + u32(static_cast<std::uint32_t>(data.size())) + data;
  return wav;
}

void WriteRings(const fs::path& dir, int last) {
  for (int k = 0; k <= last; ++k) WriteBytes(dir / fmt::format("ring{}.wav", k), RingWav(k));
}

std::string StartingConfig(const District& d) {
  std::string text =
      "[VIEW]\r\nSHOWALLBLOCKSECT=1\r\nRESOLUTION=0\r\n"
      "[GID]\r\nGIDENABLED=1\r\nSCALEPERCENTS=40\r\nSCALEKMONLY=1\r\n"
      // A trainee who runs at a higher scale keeps it through the stations' questions.
      "[MESSAGES]\r\nRESTORETIMESCALEATMSG=1\r\n"
      "[LEVEL]\r\n";
  std::set<std::pair<int, int>> pairs;
  for (const Plan& p : d.Plans) {
    if (!IsFreightTrainNumber(p.Number)) continue;
    const auto key = p.Number % 2 ? std::pair{p.From, p.To} : std::pair{p.To, p.From};
    if (pairs.count(key) || pairs.count({key.second, key.first})) continue;
    pairs.insert(key);
    text += fmt::format("RANDOMFREIGHTSFROM{}TO{}=1\r\n", key.first, key.second);
  }
  text += "RANDOMFREIGHTSNUMBERDEVIATION=20\r\n";
  return text;
}

bool WriteIfMissing(const fs::path& file, const std::string& text) {
  if (fs::exists(file)) return false;
  WriteBytes(file, text);
  return true;
}

}  // namespace traklin::districtgen
