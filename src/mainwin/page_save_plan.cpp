#include "mainwin/page_save_plan.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "frame/text_utils.h"
#include "store/picture_refs.h"

namespace page_save {

namespace {

const QString kPathMarker = QStringLiteral("_app.path_\\");
const QString kCharsetMeta =
    QStringLiteral("<META HTTP-EQUIV='CONTENT-TYPE' CONTENT='TEXT/HTML;CHARSET=GB18030'>");

enum class Kinds { FilesOnly, FilesAndWeb };

// An attribute value as the engine writes it between double quotes.
QString EscapedAttribute(QString value) {
    value.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    value.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    value.replace(QChar(0x00A0), QLatin1String("&nbsp;"));
    return value;
}

// Rewrites the address where it stands as an attribute value, quoted, so that a longer address that
// begins with it, or the same text in the page's prose, stays as it is.
void ReplaceAddress(QString& html, const QString& address, const QString& replacement) {
    const QString escaped = EscapedAttribute(address);
    const QString escapedReplacement = EscapedAttribute(replacement);
    for (const QChar quote : {QLatin1Char('"'), QLatin1Char('\'')}) {
        ReplaceAll(html, quote + escaped + quote, quote + escapedReplacement + quote);
        if (escaped != address) ReplaceAll(html, quote + address + quote, quote + replacement + quote);
    }
}

// The address SaveAnyImage reads for a page address: "file://" + a local path, or the web address;
// "" for an address with "?", an anchor, another scheme, or a relative one without a document.
QString SourceOf(const QString& address, const QString& documentPath, Kinds kinds) {
    if (address.isEmpty() || address.contains(QLatin1Char('?'))) return QString();
    const qsizetype cut = address.indexOf(QLatin1String("//"));
    if (cut >= 0) {
        const QString scheme = address.left(cut);
        if (scheme.compare(QLatin1String("file:"), Qt::CaseInsensitive) == 0) return address;
        return kinds == Kinds::FilesAndWeb && picture_refs::IsWebAddress(address) ? address : QString();
    }
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    const qsizetype slash = address.indexOf(QLatin1Char('/'));
    if (colon >= 0 && (slash < 0 || colon < slash)) return QString();  // mailto:, data:, about:
    if (address.startsWith(QLatin1Char('#'))) return QString();
    if (address.startsWith(QLatin1Char('/'))) return QStringLiteral("file://") + address;
    if (documentPath.isEmpty()) return QString();
    return QStringLiteral("file://") +
           QDir::cleanPath(QFileInfo(documentPath).absoluteDir().filePath(address));
}

class Builder {
public:
    explicit Builder(const DomFacts& facts) : facts_(facts) { plan_.html = facts.html; }

    void Add(const QStringList& addresses, Kinds kinds) {
        for (const QString& address : addresses) {
            const QString source = SourceOf(address, facts_.documentPath, kinds);
            if (source.isEmpty()) continue;
            const QString reference = picture_refs::StoredReference(source, false);
            if (reference.isEmpty()) continue;
            ReplaceAddress(plan_.html, address, reference);
            Keep({source, false});
        }
    }
    void Keep(const PageFileSource& file) {
        if (!plan_.files.contains(file)) plan_.files.append(file);
    }
    Plan& plan() { return plan_; }

private:
    const DomFacts& facts_;
    Plan plan_;
};

}  // namespace

QString LocalizePageBackground(const QString& background, QString& html, const QString& documentPath) {
    const QString source = SourceOf(background, documentPath, Kinds::FilesAndWeb);
    if (source.isEmpty()) return QString();
    const QString reference = picture_refs::StoredReference(source, true);
    if (reference.isEmpty()) return QString();
    ReplaceAddress(html, background, reference);
    return source;
}

Plan BuildPageSave(const DomFacts& facts) {
    Builder builder(facts);
    Plan& plan = builder.plan();
    const QString background = LocalizePageBackground(facts.background, plan.html, facts.documentPath);
    if (!background.isEmpty()) builder.Keep({background, true});
    builder.Add(facts.images, Kinds::FilesAndWeb);
    builder.Add(facts.embeds, Kinds::FilesAndWeb);
    builder.Add(facts.links, Kinds::FilesOnly);
    // Whatever still names the temp folder (a picture address with "?") names it by its placeholder:
    // a stored page holds no path of this computer.
    ReplaceAll(plan.html, picture_refs::TempFolder() + QLatin1Char('/'), kPathMarker);
    plan.html = WithCharsetDeclaration(plan.html);
    return plan;
}

QString WithCharsetDeclaration(const QString& html) {
    static const QRegularExpression declared(QStringLiteral("charset\\s*=\\s*[\"']?\\s*gb"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (declared.match(html).hasMatch()) return html;
    static const QRegularExpression head(QStringLiteral("<head\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression root(QStringLiteral("<html\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString out = html;
    if (const QRegularExpressionMatch m = head.match(out); m.hasMatch()) {
        out.insert(m.capturedEnd(), kCharsetMeta);
        return out;
    }
    const QString ownHead = QStringLiteral("<head>") + kCharsetMeta + QStringLiteral("</head>");
    if (const QRegularExpressionMatch m = root.match(out); m.hasMatch())
        out.insert(m.capturedEnd(), ownHead);
    else
        out.prepend(ownHead);
    return out;
}

QString InsertMediaBeforeBodyEnd(const QString& html, const QString& file) {
    static const QRegularExpression bodyEnd(QStringLiteral("</body\\s*>"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString media = QStringLiteral("<embed  src='") + file + QStringLiteral("'>");
    QString out = html;
    const QRegularExpressionMatch m = bodyEnd.match(out);
    out.insert(m.hasMatch() ? m.capturedStart() : out.size(), media);
    return out;
}

}  // namespace page_save
