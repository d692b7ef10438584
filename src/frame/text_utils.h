#pragma once

#include <QString>
#include <QVariant>

class TreeNodeSink;

// Small text helpers shared by the member tree, the chart and the printed book. Widths are counted in
// fixed-width columns: a character that code page 936 stores in two bytes takes two columns.

// Replaces every occurrence of search (case-sensitive, leftmost first) in text, in place.
// - A replacement shorter than the search: the text is scanned again from the left after each
//   replacement, so occurrences formed by a replacement are replaced too ("aab", "ab" -> "b" gives "b";
//   pairs of spaces collapse into rule glyphs). The text shrinks every time, so this ends.
// - Any other replacement (the same length or longer, or one containing the search, such as doubling
//   quotes): each occurrence of the original text is replaced exactly once, left to right.
// An empty search changes nothing.
void ReplaceAll(QString& text, const QString& search, const QString& replacement);

// The generation label: 0 "始", 7 "七", 15 "十五", 105 "一百０五", -5 "前五"; above 9999 the digits.
// Below -9999 only the last four digits of the magnitude are spelled.
QString NumToChineseGen(qint16 n);

// "<double-width count>%<single-width count>".
QString CountCharKinds(const QString& text);

// The value's text (a null value counts as "") filled with spaces or cut to exactly width columns; a
// double-width character that would straddle the last column becomes one space. Width 0 (or less)
// returns the text unchanged.
QString PadToWidth(const QVariant& value, int width);
// The same width, with the text trimmed of spaces and moved to the right edge.
QString PadToWidthRight(const QString& text, int width);

// The name without the "[n]" that made it unique: the text before the first "[".
QString StripBracketSuffix(const QString& text);
// The name in a node caption "{generation}name": the text after the first "}", trimmed of spaces; the
// text itself when there is no "}".
QString TextAfterBrace(const QString& text);

// Empties the member tree; a failing tree is left as it is, never reported.
void ClearTreeNodes(TreeNodeSink& tree);
