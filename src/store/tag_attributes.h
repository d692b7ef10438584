#pragma once

#include <QString>
#include <QStringView>
#include <functional>

// The attributes of a page's start tags, read as a browser's tokenizer reads them: names and values
// (quoted or not), so that a ">" inside a quoted value does not end the tag early.
namespace tag_attributes {

struct Attribute {
    QStringView tag;   // the tag's name as written
    QStringView name;  // as written
    QStringView value;
    bool hasValue = false;
};

// The page with every attribute for which cut() answers true taken out of its start tag, with the blanks
// in front of it. Text outside tags stays as it is. A cut can join what stood around it into a new
// attribute: callers run it again until nothing more is cut.
QString WithoutAttributes(const QString& html, const std::function<bool(const Attribute&)>& cut);

// An attribute value as a browser reads it: character references (numeric, and the named ones a scheme,
// a path or a style could be spelled with) replaced by their characters. Others stay as written.
QString DecodedValue(QStringView value);

}  // namespace tag_attributes
