// Real web-engine tests of the page editor, marked by their suite name (PageEditorRealEngineTest): a
// page written in the editor, saved by clicking another member and read back from the book.
#include <gtest/gtest.h>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QWebEngineView>

#include "dsptree_fixture.h"
#include "frame/builtin_seeds.h"
#include "frame/db_connections.h"
#include "frame/text_scramble.h"
#include "mainwin/dhtml_edit.h"
#include "mainwin/forms/html_edit_view.h"
#include "platform/bookdir.h"
#include "real_engine.h"
#include "store/picture_refs.h"

namespace {

using real_engine::RunScript;
using real_engine::WaitFor;

class PageEditorRealEngineTest : public DsptreeFixture {
protected:
    void SetUp() override {
        if (const QString why = real_engine::Prepare(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
        DsptreeFixture::SetUp();
        PageViewer::SetEngineEnabled(true);
        Add(QStringLiteral("甲"), QString(), 1);
        Add(QStringLiteral("乙"), QStringLiteral("甲"), 2);
        QString page =
            QStringLiteral("<html><head><title>甲</title></head><body><p>旧的生平</p></body></html>");
        ops_->SaveAnyHtml(page, QStringLiteral("甲"));
    }

    // The caret at the end of the body.
    static void CaretAtEnd(QWebEngineView* view) {
        RunScript(view, QStringLiteral("var r = document.createRange(); r.selectNodeContents(document.body);"
                                       "r.collapse(false); var s = getSelection(); s.removeAllRanges();"
                                       "s.addRange(r); true;"));
    }
    static void Select(QWebEngineView* view, const QString& word) {
        RunScript(view,
                  QStringLiteral(
                      "(function (word) {"
                      "  var walk = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT), n;"
                      "  while ((n = walk.nextNode())) {"
                      "    var i = n.data.indexOf(word);"
                      "    if (i < 0) continue;"
                      "    var r = document.createRange(); r.setStart(n, i); r.setEnd(n, i + word.length);"
                      "    var s = getSelection(); s.removeAllRanges(); s.addRange(r); return true;"
                      "  }"
                      "  return false;"
                      "})('%1')")
                      .arg(word));
    }
    // Typed as an input method commits it (the engine's widget takes no plain key clicks offscreen).
    static void Type(QWebEngineView* view, const QString& text) {
        QWidget* target = view->focusProxy();
        target->setFocus();
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(target, &commit);
    }
};

// With the mouse never moved: typing offers undo, selecting everything offers copy.
TEST_F(PageEditorRealEngineTest, ButtonsFollowTypingAndSelectingWithoutTheMouse) {
    dsptree& w = Open();
    w.activateWindow();
    Click(QStringLiteral("甲"));
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    w.SetDocumentLoaded(false);
    w.SetEditMode(true);
    w.EditButton_Click();
    QWebEngineView* view = w.Editor()->view();
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    ASSERT_TRUE(WaitFor(
        [&] { return RunScript(view, QStringLiteral("document.designMode")) == QStringLiteral("on"); }));
    ASSERT_TRUE(WaitFor([&] { return view->focusProxy() != nullptr; }));
    QAction* undo = w.ToolbarButton(QStringLiteral("b_undo"));
    QAction* copy = w.ToolbarButton(QStringLiteral("b_copy"));
    // The page's first statuses: nothing typed, nothing selected.
    ASSERT_TRUE(WaitFor([&] { return !undo->isEnabled() && !copy->isEnabled(); }));

    CaretAtEnd(view);
    Type(view, QStringLiteral("新写的一句"));
    EXPECT_TRUE(WaitFor([&] { return undo->isEnabled(); }, 10000));
    EXPECT_FALSE(copy->isEnabled());

    w.MenuItem(QStringLiteral("edit_selectall"))->trigger();
    EXPECT_TRUE(WaitFor([&] { return copy->isEnabled(); }, 10000));
    w.SetEditMode(false);
    w.EditButton_Click();
}

TEST_F(PageEditorRealEngineTest, APageWrittenWithBoldTextAndAPictureComesBackFromTheBook) {
    dsptree& w = Open();
    w.activateWindow();
    Click(QStringLiteral("甲"));
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));

    w.SetDocumentLoaded(false);
    w.SetEditMode(true);
    w.EditButton_Click();
    HtmlEditView* editor = w.Editor();
    QWebEngineView* view = editor->view();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    ASSERT_TRUE(WaitFor(
        [&] { return RunScript(view, QStringLiteral("document.designMode")) == QStringLiteral("on"); }));
    ASSERT_TRUE(WaitFor([&] { return view->focusProxy() != nullptr; }));

    CaretAtEnd(view);
    Type(view, QStringLiteral("Hello"));
    Type(view, QStringLiteral("王氏"));
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(view, QStringLiteral("document.body.innerText"))
            .toString()
            .contains(QStringLiteral("Hello王氏"));
    }));

    // The statuses come from the page: bold is offered over a selection, latched once applied.
    Select(view, QStringLiteral("Hello"));
    ASSERT_TRUE(WaitFor([&] { return w.ButtonEnable(decmd::kCopy); }));
    EXPECT_TRUE(w.ButtonEnable(decmd::kBold));
    w.TbarEditEx_ButtonClick(QStringLiteral("b_b"));
    ASSERT_TRUE(WaitFor([&] { return editor->QueryStatus(decmd::kBold) == decmd::kStatusLatched; }));

    QTemporaryDir photos;
    const QString picture = photos.filePath(QStringLiteral("先祖像.png"));
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(Qt::darkRed);
    ASSERT_TRUE(image.save(picture));
    QFile pictureFile(picture);
    ASSERT_TRUE(pictureFile.open(QIODevice::ReadOnly));
    const QByteArray pictureBytes = pictureFile.readAll();
    CaretAtEnd(view);
    ui_->ExpectOpenFile(picture);
    w.TbarEditEx_ButtonClick(QStringLiteral("b_img"));
    ASSERT_TRUE(
        WaitFor([&] { return RunScript(view, QStringLiteral("document.images.length")).toInt() == 1; }));

    // Page properties: a colour, and the same picture as a fixed background.
    PageProperties properties = editor->ReadPageProperties();
    EXPECT_EQ(properties.title, QStringLiteral("甲"));
    EXPECT_EQ(properties.colours[0], QString());
    properties.colours[0] = QStringLiteral("#FFFFEE");
    properties.background = picture;
    properties.fixedBackground = true;
    editor->WritePageProperties(properties);
    EXPECT_TRUE(editor->ReadPageProperties().fixedBackground);

    if (const QString shots = qEnvironmentVariable("QENTARA_SCREENSHOT_DIR"); !shots.isEmpty()) {
        WaitFor([] { return false; }, 500);
        w.grab().save(QDir(shots).filePath(QStringLiteral("page_editor.png")));
    }

    // Clicking another member stores the page with its picture.
    Click(QStringLiteral("乙"));
    EXPECT_FALSE(w.EditMode());
    QString stored;
    ASSERT_FALSE(ops_->GetAnyHtmlCode(QStringLiteral("甲"), stored));
    EXPECT_TRUE(stored.contains(QStringLiteral("旧的生平")));
    EXPECT_TRUE(stored.contains(QRegularExpression(QStringLiteral("<b>Hello</b>王氏"))));
    EXPECT_TRUE(stored.contains(QStringLiteral("CHARSET=GB18030"), Qt::CaseInsensitive));
    EXPECT_TRUE(stored.contains(QStringLiteral("bgcolor=\"#FFFFEE\""), Qt::CaseInsensitive))
        << stored.toStdString();
    EXPECT_TRUE(stored.contains(QStringLiteral("background-attachment: fixed")));
    EXPECT_TRUE(
        stored.contains(QStringLiteral("background=\"file://") + picture_refs::TempFolder() + picture));
    const QString reference = picture_refs::StoredReference(QStringLiteral("file://") + picture, false);
    dao::Database images = dao::Database::Open(ImageDbPath(), BookDbPassword());
    EXPECT_EQ(images
                  .Scalar(QStringLiteral("SELECT \"myimage\" FROM \"imageylk\" WHERE \"filial\" = ? AND "
                                         "\"imagepath\" = ?"),
                          {QStringLiteral("甲"), DecodeText(reference, StoreKey())})
                  .toByteArray(),
              pictureBytes);

    // Shown again from the book, with the temp folder emptied: text, bold run and picture are there.
    QDir(picture_refs::TempFolder()).removeRecursively();
    w.SetDocumentLoaded(false);
    Click(QStringLiteral("甲"));
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    QFile page(GetAppPath() + QStringLiteral("ltmp.htm"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString written = QStringDecoder("GB18030").decode(page.readAll());
    EXPECT_TRUE(written.contains(QStringLiteral("<b>Hello</b>王氏"))) << written.toStdString();
    QWebEngineView* viewer = w.WebBrowser1()->view();
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(viewer,
                         QStringLiteral(
                             "document.querySelector('b') ? document.querySelector('b').textContent : ''")) ==
               QStringLiteral("Hello");
    }));
    EXPECT_TRUE(WaitFor([&] {
        return RunScript(viewer,
                         QStringLiteral("document.images.length ? document.images[0].naturalWidth : 0"))
                   .toInt() == 6;
    }));
}

}  // namespace
