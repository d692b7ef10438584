// Pages of the e-book library: the category list, the search, the download count, the caller's address,
// the upload check and the publication, each answering plain text as the program reads it.

#include "pages/page_service.h"
#include "pages/pages_catalogue.h"
#include "pages/static_files.h"

namespace {

// Category names separated by "%".
PageReply Categories(const PageRequest&, PgConnection& db) {
    return PageReply::Text(
        PageQuery(db, QStringLiteral("SELECT page_ebook_categories()")).rows.value(0).value(0));
}

// "mark%!id%!name%!author%!compiler%!size%!downloads%!strong password%!address%!remark@~" per e-book.
PageReply Search(const PageRequest& request, PgConnection& db) {
    qint32 minDown = 0;
    if (!request.value(QStringLiteral("down_num")).trimmed().isEmpty() &&
        !request.number(QStringLiteral("down_num"), &minDown))
        return PageReply::Bad("");
    const PgResult found = PageQuery(
        db,
        QStringLiteral("SELECT * FROM page_ebook_search($1::text, $2::text, $3::text, $4::text, $5::text, "
                       "$6::integer)"),
        {request.value(QStringLiteral("bk_name")), request.value(QStringLiteral("bk_org")),
         request.value(QStringLiteral("bk_e")), request.value(QStringLiteral("bk_key")),
         request.value(QStringLiteral("bk_odklj")), minDown});
    return PageReply::Text(RecordsReply(found.rows));
}

// The e-book's download count, one more for the first download of the day from the caller's address; 0
// for an unknown e-book.
PageReply CountDownload(const PageRequest& request, PgConnection& db) {
    qint32 id = 0;
    if (!request.number(QStringLiteral("bk_id"), &id)) return PageReply::Bad("0");
    return PageReply::Number(
        PageQuery(db, QStringLiteral("SELECT page_ebook_count_download($1::integer, $2::text)"),
                  {id, request.remoteAddress})
            .rows.value(0)
            .value(0)
            .toInt());
}

// The new or replaced e-book's id; 0 when the publication is refused: 403 for an installation number
// that its secret does not prove, 429 for an address that published its fill today.
PageReply Publish(const PageRequest& request, PgConnection& db) {
    qint32 replaced = 0, right = 0;
    if (!request.number(QStringLiteral("bk_id"), &replaced)) return PageReply::Bad("0");
    if (!request.value(QStringLiteral("bk_right")).trimmed().isEmpty() &&
        !request.number(QStringLiteral("bk_right"), &right))
        return PageReply::Bad("0");
    bool sized = false;
    const double size = request.value(QStringLiteral("bk_size")).trimmed().toDouble(&sized);
    if (!sized || size < 0) return PageReply::Bad("0");
    const PgResult published = PageQuery(
        db,
        QStringLiteral(
            "SELECT page_ebook_publish($1::text, $2::text, $3::text, $4::text, $5::text, $6::text, "
            "$7::text, $8::text, $9::integer, $10::integer, $11::numeric, $12::text, $13::text, $14::text, "
            "$15::integer, $16::text)"),
        {request.value(QStringLiteral("soft_no")), request.value(QStringLiteral("strgpswd")),
         request.value(QStringLiteral("netpath")), request.value(QStringLiteral("bk_name")),
         request.value(QStringLiteral("bk_org")), request.value(QStringLiteral("bk_e")),
         request.value(QStringLiteral("bk_key")), request.value(QStringLiteral("bk_odklj")), replaced, right,
         QString::number(size, 'f', 2), request.value(QStringLiteral("ip")),
         request.value(QStringLiteral("netcard")), request.installationSecret, request.provenAccount,
         request.remoteAddress});
    const int id = published.rows.value(0).value(0).toInt();
    if (id == -1) return {429, "0"};
    if (id < 0) return PageReply::Refused("0");
    return PageReply::Number(id);
}

}  // namespace

void RegisterEbookPages(PageService& service) {
    service.addPage(QStringLiteral("/flsh2/getbookodklj.asp"), Categories);
    service.addPage(QStringLiteral("/flsh2/getbooklist3.asp"), Search);
    service.addPage(QStringLiteral("/flsh2/down_account3.asp"), CountDownload, "0");
    service.addPage(QStringLiteral("/littlep/ipseek.asp"), CallerAddress);
    service.addPage(QStringLiteral("/flsh2/ebPublication3.asp"), Publish, "0");
    // The upload check: the size of the file that fname (a path under the static root) names, 0 when it
    // is not there.
    service.addPage(
        QStringLiteral("/littlep/ebookexist.asp"),
        [&service](const PageRequest& request, PgConnection&) {
            QString path = request.value(QStringLiteral("fname"));
            path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            if (!path.startsWith(QLatin1Char('/'))) path.prepend(QLatin1Char('/'));
            const auto file = FindStaticFile(service.staticRoot(), path);
            return PageReply::Number(file ? file->size : 0);
        },
        "0");
}
