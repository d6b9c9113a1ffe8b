// Keys by their physical position, so that shortcuts work with any layout and with Shift.
#include "console/physical_keys.h"

#include <array>
#include <utility>

namespace traklin {
namespace {

struct KeyPlace {
  int Key;
  quint32 ScanCode;
};

// The keys the console's shortcuts use, at their places on a US keyboard.
#ifdef Q_OS_WIN
// Set-1 scan codes.
constexpr KeyPlace kPlaces[] = {
    {Qt::Key_1, 0x02},        {Qt::Key_2, 0x03},  {Qt::Key_3, 0x04},     {Qt::Key_4, 0x05},
    {Qt::Key_5, 0x06},        {Qt::Key_6, 0x07},  {Qt::Key_7, 0x08},     {Qt::Key_8, 0x09},
    {Qt::Key_9, 0x0A},        {Qt::Key_0, 0x0B},  {Qt::Key_Minus, 0x0C}, {Qt::Key_Equal, 0x0D},
    {Qt::Key_Q, 0x10},        {Qt::Key_W, 0x11},  {Qt::Key_E, 0x12},     {Qt::Key_R, 0x13},
    {Qt::Key_T, 0x14},        {Qt::Key_Y, 0x15},  {Qt::Key_U, 0x16},     {Qt::Key_I, 0x17},
    {Qt::Key_O, 0x18},        {Qt::Key_P, 0x19},  {Qt::Key_A, 0x1E},     {Qt::Key_S, 0x1F},
    {Qt::Key_D, 0x20},        {Qt::Key_F, 0x21},  {Qt::Key_G, 0x22},     {Qt::Key_H, 0x23},
    {Qt::Key_J, 0x24},        {Qt::Key_K, 0x25},  {Qt::Key_L, 0x26},     {Qt::Key_Backslash, 0x2B},
    {Qt::Key_Z, 0x2C},        {Qt::Key_X, 0x2D},  {Qt::Key_C, 0x2E},     {Qt::Key_V, 0x2F},
    {Qt::Key_B, 0x30},        {Qt::Key_N, 0x31},  {Qt::Key_M, 0x32},     {Qt::Key_Comma, 0x33},
    {Qt::Key_Period, 0x34},   {Qt::Key_F1, 0x3B}, {Qt::Key_F2, 0x3C},    {Qt::Key_F3, 0x3D},
    {Qt::Key_Delete, 0xE053},
};
#else
// X keycodes (evdev codes + 8), as X11 and Wayland report them.
constexpr KeyPlace kPlaces[] = {
    {Qt::Key_1, 10},       {Qt::Key_2, 11},  {Qt::Key_3, 12},     {Qt::Key_4, 13},
    {Qt::Key_5, 14},       {Qt::Key_6, 15},  {Qt::Key_7, 16},     {Qt::Key_8, 17},
    {Qt::Key_9, 18},       {Qt::Key_0, 19},  {Qt::Key_Minus, 20}, {Qt::Key_Equal, 21},
    {Qt::Key_Q, 24},       {Qt::Key_W, 25},  {Qt::Key_E, 26},     {Qt::Key_R, 27},
    {Qt::Key_T, 28},       {Qt::Key_Y, 29},  {Qt::Key_U, 30},     {Qt::Key_I, 31},
    {Qt::Key_O, 32},       {Qt::Key_P, 33},  {Qt::Key_A, 38},     {Qt::Key_S, 39},
    {Qt::Key_D, 40},       {Qt::Key_F, 41},  {Qt::Key_G, 42},     {Qt::Key_H, 43},
    {Qt::Key_J, 44},       {Qt::Key_K, 45},  {Qt::Key_L, 46},     {Qt::Key_Backslash, 51},
    {Qt::Key_Z, 52},       {Qt::Key_X, 53},  {Qt::Key_C, 54},     {Qt::Key_V, 55},
    {Qt::Key_B, 56},       {Qt::Key_N, 57},  {Qt::Key_M, 58},     {Qt::Key_Comma, 59},
    {Qt::Key_Period, 60},  {Qt::Key_F1, 67}, {Qt::Key_F2, 68},    {Qt::Key_F3, 69},
    {Qt::Key_Delete, 119},
};
#endif

// The ЙЦУКЕН layout over the US one, for events that come without a scan code.
constexpr std::array<std::pair<char16_t, int>, 33> kCyrillic = {{
    {u'Й', Qt::Key_Q},         {u'Ц', Qt::Key_W},           {u'У', Qt::Key_E},
    {u'К', Qt::Key_R},         {u'Е', Qt::Key_T},           {u'Н', Qt::Key_Y},
    {u'Г', Qt::Key_U},         {u'Ш', Qt::Key_I},           {u'Щ', Qt::Key_O},
    {u'З', Qt::Key_P},         {u'Ф', Qt::Key_A},           {u'Ы', Qt::Key_S},
    {u'В', Qt::Key_D},         {u'А', Qt::Key_F},           {u'П', Qt::Key_G},
    {u'Р', Qt::Key_H},         {u'О', Qt::Key_J},           {u'Л', Qt::Key_K},
    {u'Д', Qt::Key_L},         {u'Я', Qt::Key_Z},           {u'Ч', Qt::Key_X},
    {u'С', Qt::Key_C},         {u'М', Qt::Key_V},           {u'И', Qt::Key_B},
    {u'Т', Qt::Key_N},         {u'Ь', Qt::Key_M},           {u'Б', Qt::Key_Comma},
    {u'Ю', Qt::Key_Period},    {u'Х', Qt::Key_BracketLeft}, {u'Ъ', Qt::Key_BracketRight},
    {u'Ж', Qt::Key_Semicolon}, {u'Э', Qt::Key_Apostrophe},  {u'Ё', Qt::Key_QuoteLeft},
}};

// Shift on a digit of the US layout reports the symbol above it.
constexpr std::array<std::pair<int, int>, 12> kShiftedDigits = {{
    {Qt::Key_Exclam, Qt::Key_1},
    {Qt::Key_At, Qt::Key_2},
    {Qt::Key_NumberSign, Qt::Key_3},
    {Qt::Key_Dollar, Qt::Key_4},
    {Qt::Key_Percent, Qt::Key_5},
    {Qt::Key_AsciiCircum, Qt::Key_6},
    {Qt::Key_Ampersand, Qt::Key_7},
    {Qt::Key_Asterisk, Qt::Key_8},
    {Qt::Key_ParenLeft, Qt::Key_9},
    {Qt::Key_ParenRight, Qt::Key_0},
    {Qt::Key_Underscore, Qt::Key_Minus},
    {Qt::Key_Plus, Qt::Key_Equal},
}};

}  // namespace

int KeyOfScanCode(quint32 scanCode) {
  if (scanCode == 0) return 0;
  for (const KeyPlace& place : kPlaces)
    if (place.ScanCode == scanCode) return place.Key;
  return 0;
}

quint32 ScanCodeOfKey(int key) {
  for (const KeyPlace& place : kPlaces)
    if (place.Key == key) return place.ScanCode;
  return 0;
}

int PhysicalKey(const QKeyEvent& event) {
  if (const int key = KeyOfScanCode(event.nativeScanCode())) return key;
  const int key = event.key();
  // Qt reports Cyrillic letters by their upper-case code point.
  for (const auto& [letter, us] : kCyrillic)
    if (key == letter) return us;
  for (const auto& [shifted, digit] : kShiftedDigits)
    if (key == shifted) return digit;
  return key;
}

}  // namespace traklin
