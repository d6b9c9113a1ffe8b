// Pictures and sounds the generator writes: Pult.bmp, controller and rolling-stock images,
// ring sounds, and the starting configuration file.
#pragma once

#include <QImage>
#include <filesystem>
#include <string>

#include "districtgen/district.h"

namespace traklin::districtgen {

/// Background of Pult.bmp (also the pixel at its bottom-left corner).
inline constexpr unsigned kPultBackground = 0xFFA4B4AC;
/// Colour of unlit track lines and lamps on Pult.bmp.
inline constexpr unsigned kPultTrack = 0xFF505050;

/// Start and end point of a lamp's line as the panel draws it (before translation).
struct LampLine {
  int X1, Y1, X2, Y2;
};
LampLine LampEnds(const Lamp& lamp);

/// Makes sure a QGuiApplication exists (offscreen) so that text can be painted.
void EnsureGuiApplication();

/// Paints the panel picture of a district.
QImage PaintPult(const District& district);

/// Writes Data.dat and Pult.bmp into dir (created when missing).
void WriteDistrict(const District& district, const std::filesystem::path& dir);

/// Writes CtrlBack.bmp, the seven button pictures and the eleven rolling-stock pictures.
void WriteImages(const std::filesystem::path& dir);

/// A short ring as 16-bit mono PCM WAV bytes; every number sounds different.
std::string RingWav(int number);

/// Writes ring0.wav .. ring<last>.wav.
void WriteRings(const std::filesystem::path& dir, int last);

/// The starting configuration: executed graph on, all block sections shown, and two random
/// freight pairs for every freight plan pair of the given district.
std::string StartingConfig(const District& district);

/// Writes `text` to file unless the file exists; returns whether it wrote.
bool WriteIfMissing(const std::filesystem::path& file, const std::string& text);

}  // namespace traklin::districtgen
