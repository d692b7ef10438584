#pragma once

#include <QByteArray>
#include <optional>

// The text a PDF font's glyphs stand for (its ToUnicode map). A writer that reads a glyph's character
// back from the font's own table takes the first code point that shows that glyph: a radical (U+2EDA
// ⻚ for 页, U+2F17 ⼗ for 十) or a control character (a tab for the space), so that the extracted
// text and a search of the document miss the characters that were printed.
namespace pdf_text_map {

// The unified ideograph a CJK radical or stroke is drawn as (U+2EDA gives U+9875); any other code
// point as it is.
char32_t Unified(char32_t c);

// The map with every character it gives read as printed text: radicals become their ideographs and
// control characters (but the 0 of an unused glyph) a space; the rest of the map is kept. Nothing when there
// is nothing to change.
std::optional<QByteArray> Mended(const QByteArray& cmap);

}  // namespace pdf_text_map
