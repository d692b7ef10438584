#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "platform/codepage.h"
#include "store/page_file.h"

namespace {

const QString kMeta =
    QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb18030\">");

QString Written(const QString& path, const QString& page) {
    WriteHtmlFile(path, page);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return FromGb18030(file.readAll());
}

}  // namespace

// Within a language scope a page names the language on its root element, which a fragment is given; a
// language the page names itself stays; outside a scope nothing is added.
TEST(PageFile, PagesNameTheLanguageOfTheirScope) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.htm"));
    const struct {
        const char* tag;
        const char* page;
        QString written;
    } cases[] = {
        {"zh-CN", "<p>甲</p>",
         QStringLiteral("<html lang=\"zh-CN\">\r\n") + kMeta + QStringLiteral("\r\n<p>甲</p>")},
        {"zh-TW", "<HTML style=\"x\"><HEAD></HEAD>",
         QStringLiteral("<HTML lang=\"zh-TW\" style=\"x\"><HEAD>") + kMeta + QStringLiteral("</HEAD>")},
        {"zh-CN", "<html LANG='en'><head></head>",
         QStringLiteral("<html LANG='en'><head>") + kMeta + QStringLiteral("</head>")},
        {"", "<html><p>甲</p>", kMeta + QStringLiteral("\r\n<html><p>甲</p>")},
    };
    for (const auto& c : cases) {
        std::optional<PageLanguageScope> scope;
        if (*c.tag) scope.emplace(QString::fromLatin1(c.tag));
        EXPECT_EQ(Written(path, QString::fromUtf8(c.page)), c.written) << c.page;
    }
}
