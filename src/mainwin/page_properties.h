#pragma once

#include <QString>
#include <array>

// The page-wide properties of a page in the editor, as the page-properties dialog shows and applies
// them. Colours are page texts ("#RRGGBB", a name, "" for unset).
struct PageProperties {
    // Background, text, link, visited link, active link, in the dialog's order.
    static constexpr int kColourCount = 5;
    QString title;
    std::array<QString, kColourCount> colours;
    QString background;            // the body's background picture, "" for none
    bool fixedBackground = false;  // the picture stays in place while the page scrolls
};

// A document whose page properties can be read and written (the page editor).
class PagePropertiesDocument {
public:
    virtual ~PagePropertiesDocument() = default;
    virtual PageProperties ReadPageProperties() = 0;
    // Writes the colours, the background and its fixed setting; the title is only ever shown.
    virtual void WritePageProperties(const PageProperties& properties) = 0;
};

// Colours in the old number form, red + green * 256 + blue * 65536, and in page form.
namespace page_colours {
// "#RRGGBB" in upper case.
QString RGB2HTML(quint32 colour);
// A colour name, "#RGB" or "#RRGGBB" (the "#" may be missing before six digits); 0 (black) for a
// text that is no colour.
quint32 HTML2RGB(const QString& text);
// Whether the text names a colour at all.
bool IsColour(const QString& text);
}  // namespace page_colours
