// Windows-1251 <-> UTF-8 conversion for the district and save files.
#pragma once

#include <string>
#include <string_view>

namespace traklin {

/// Decodes Windows-1251 bytes to UTF-8. Every byte has a form (0x98, unassigned in the code
/// page, maps to U+0098), so the conversion is lossless.
std::string Cp1251ToUtf8(std::string_view bytes);

/// Encodes UTF-8 text as Windows-1251. A character without a Windows-1251 form, and every byte
/// of a malformed UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1251(std::string_view text);

/// The number of characters of UTF-8 text: the bytes that do not continue a sequence.
int Utf8Length(std::string_view text);

/// `text` right-aligned in `width` characters (not bytes); a longer text is kept whole.
std::string AlignRight(std::string_view text, int width);
/// `text` followed by blanks up to `width` characters; a longer text is kept whole.
std::string PadRight(std::string_view text, int width);

}  // namespace traklin
