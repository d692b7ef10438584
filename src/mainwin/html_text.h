#pragma once

#include <QString>

// Plain text out of a page: a stand-alone utility of the system, used by no window.
class ClsHtml处理 {
public:
    // Replaces the text by its content without tags: spaces go, then everything inside "<" ... ">",
    // control characters, line breaks and the single-byte characters above "z" ("{", "|", "}", "~" and
    // code-page bytes above 127); double-byte characters (Chinese) stay. Last "&nbsp;" goes and "&gt;"
    // becomes ">".
    void HtmlToText(QString& text);
};
