// Writes the seed inputs of every fuzz target into the folder given, made by the program itself: a
// package exported from the seed book, a template file written by the template writer, the rows of the
// seed book, and replies in the server's formats.
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cstdio>

#include "fuzz_support.h"
#include "member/template_files.h"

namespace {

void Put(const QString& folder, const QString& name, const QByteArray& bytes) {
    QDir().mkpath(folder);
    QFile f(QDir(folder).filePath(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    fuzz_support::StartBook();
    const QString root = QString::fromLocal8Bit(argv[1]);

    const QString package = fuzz_support::BookFolder() + QStringLiteral("seed.mdb");
    fuzz_support::ExportSeedPackage(package);
    const QByteArray packageBytes = Read(package);
    if (packageBytes.isEmpty()) {
        std::fprintf(stderr, "the seed package was not written\n");
        return 1;
    }
    Put(root + "/package_file", "export.mdb", packageBytes);

    Put(root + "/package_rows", "family.txt",
        "王祖\t\t李氏\t1\t第1世\t<p>祖</p>\n王甲\t王祖\t\t1\n王乙\t王祖\t张氏\t2\t\t<p>乙</p>\tJPEG\n王丙\t王甲\n");
    Put(root + "/package_rows", "namesakes.txt", "王祖\t\n王甲\t王祖\n王甲[1]\t王祖\n王甲[2]\t王甲\n王甲\t王甲[1]\n");
    Put(root + "/package_rows", "loop.txt", "甲\t乙\n乙\t甲\n丙\t\x01\n");

    const QString zpt = fuzz_support::BookFolder() + QStringLiteral("seed.Zpt");
    ZptFile::Write(zpt, {{QStringLiteral("filial"), QStringLiteral("默认"), 1, 1},
                         {QStringLiteral("boy_birthday"), QStringLiteral("默认"), 0, 2},
                         {QStringLiteral("mother"), QStringLiteral("带\"引号"), 1, 3}});
    Put(root + "/template_file", "written.Zpt", Read(zpt));

    Put(root + "/server_replies", "search.txt",
        "题名%!12%!王氏族谱%!作者%!a@b%!1.5%!3%!%!x%!k@~另一%!13%!李氏%!%!%!%!%!%!%!@~");
    Put(root + "/server_replies", "roots.txt", "王祖%1%王甲%2%");
    Put(root + "/server_replies", "group.txt", "15@~王某");
    Put(root + "/server_replies", "detail.txt", "王氏宗亲会@~王某@~12@~99");

    const QString page = QStringLiteral("<html><head><title>传</title></head><body background=\"bg.gif\">"
                                        "<script>go()</script><p>王甲生平</p><img src=\"p1.jpg\"></body></html>");
    Put(root + "/folder_page", "utf8.txt", "王甲 生平.htm\n" + page.toUtf8());
    Put(root + "/folder_page", "gb.txt",
        "{1}王乙's%.htm\n<meta charset=gb2312>" + QStringEncoder("GB18030").encode(page));
    Put(root + "/folder_page", "plain.txt", "家谱.TXT\n\xEF\xBB\xBF第一行<b>\r\n第二行 & 第三行");
    std::printf("seeds written to %s\n", argv[1]);
    return 0;
}
