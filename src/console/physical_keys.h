// Keys by their physical position: the key of the US layout at the place that was pressed.
#pragma once

#include <QKeyEvent>

namespace traklin {

/// The Qt key of the US layout at the physical key of the event: from the native scan code
/// when it is known, else from the reported key (Cyrillic letters of the ЙЦУКЕН layout and the
/// shifted digits are taken back to their places). Letters come as Qt::Key_A .. Key_Z, digits
/// as Key_0 .. Key_9, and the punctuation keys as Key_Minus, Key_Equal, Key_Comma,
/// Key_Period, Key_Backslash.
int PhysicalKey(const QKeyEvent& event);

/// The key of the US layout at a native scan code (X keycodes, or set-1 scan codes on
/// Windows); 0 when the code is not one of the keys the console uses.
int KeyOfScanCode(quint32 scanCode);

/// The native scan code of a US-layout key, for tests and synthetic events; 0 when unknown.
quint32 ScanCodeOfKey(int key);

}  // namespace traklin
