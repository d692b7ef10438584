#pragma once

#include <QString>

// Text that came from a client, as a terminal or a log may show it: control and format characters
// (escape sequences, line breaks, direction overrides, lone surrogates) become visible escapes such as
// "\x1B" or "\u202E", so that nothing a client sent can forge a line, clear, retitle or rearrange what
// the reader sees. Everything else, Chinese included, stays as it is.
QString PrintableText(const QString& text);
