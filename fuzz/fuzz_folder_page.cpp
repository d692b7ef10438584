// One file of a folder import: its first line is the file's name as the folder lists it, the rest its
// bytes. The name must clean into a member name that a second cleaning keeps, and the page must come out
// without a script or an event handler (a ".txt" file without any markup of its own); kept as a page from
// outside, it leaves nothing for a second cleaning to take out.
#include <QFile>
#include <QRegularExpression>

#include "fuzz_support.h"
#include "mainwin/imported_page.h"
#include "store/member_name.h"
#include "store/outside_page.h"
#include "store/page_scripts.h"

namespace {

bool CleanName(const QString& name) {
    if (name.size() > kMemberNameLength || CleanMemberName(name) != name) return false;
    if (!name.isEmpty() && (name.front() == u' ' || name.back() == u' ')) return false;
    for (const QChar c : name)
        if (QStringLiteral("'%\r\n{}\\").contains(c)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype line = input.indexOf('\n');
    const QString fileName = QFile::decodeName(line < 0 ? input : input.left(line));
    const QByteArray bytes = line < 0 ? QByteArray() : input.mid(line + 1);

    if (!CleanName(CleanMemberName(fileName))) __builtin_trap();

    const bool plainText = fileName.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive);
    const QString page = imported_page::CleanText(imported_page::Decode(bytes), plainText);
    static const QRegularExpression script(QStringLiteral("<script\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (page.contains(script)) __builtin_trap();
    // Nothing that would run is left for a second cleaning to find: no script, no event handler.
    if (!plainText && page_scripts::WithoutScripts(page) != page) __builtin_trap();
    const QString inert = outside_page::Cleaned(page, {QStringLiteral("file://_app.path_\\a.jpg")});
    if (outside_page::Cleaned(inert, {QStringLiteral("file://_app.path_\\a.jpg")}) != inert) __builtin_trap();
    if (plainText && QString(page).remove(QStringLiteral("<br>")).contains(QLatin1Char('<')))
        __builtin_trap();
    return 0;
}
