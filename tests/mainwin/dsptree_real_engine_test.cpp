// Real web-engine tests, marked by their suite name (DsptreeRealEngineTest): the main window on a
// generated book, a page loaded by the engine, and the window grabbed at two screen sizes.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLibraryInfo>
#include <QStackedWidget>
#include <QStringEncoder>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "dsptree_fixture.h"
#include "platform/bookdir.h"
#include "real_engine.h"
#include "store/test_data_generator.h"

namespace {

using real_engine::RunScript;
using real_engine::WaitFor;

class DsptreeRealEngineTest : public DsptreeFixture {
protected:
    void SetUp() override {
        if (const QString why = real_engine::Prepare(); !why.isEmpty()) GTEST_SKIP() << why.toStdString();
        DsptreeFixture::SetUp();
        PageViewer::SetEngineEnabled(true);
        ClsTest().生成测试数据(199);  // 1,000 members in five lines
        QString page = QStringLiteral(
            "<html><head><title>A3</title></head><body><div style='layout-flow:vertical-ideographic'>"
            "第三代的生平</div></body></html>");
        ops_->SaveAnyHtml(page, QStringLiteral("A3"));
        QString other = QStringLiteral("<html><body><p>第二代</p></body></html>");
        ops_->SaveAnyHtml(other, QStringLiteral("A2"));
    }

    // Every button of every toolbar shown whole inside the window, the panes side by side inside it.
    void ExpectNothingCutOff(dsptree& w) {
        const QRect window = w.rect();
        for (QToolBar* bar : {w.TbarOpEx(), w.TbarOP(), w.TbarEditEx(), w.Toolbar1()}) {
            for (QAction* action : bar->actions()) {
                if (action->isSeparator()) continue;
                const QWidget* button = bar->widgetForAction(action);
                ASSERT_NE(button, nullptr);
                EXPECT_TRUE(button->isVisible()) << action->objectName().toStdString();
                const QRect at(button->mapTo(&w, QPoint(0, 0)), button->size());
                EXPECT_TRUE(window.contains(at)) << action->objectName().toStdString();
            }
            for (const QToolButton* extension :
                 bar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
                EXPECT_FALSE(extension->isVisible()) << bar->objectName().toStdString();
        }
        int right = 0;
        for (QWidget* pane :
             std::initializer_list<QWidget*>{w.TreeVw(), w.CoolBar2(), w.Pic分屏线(), w.PageArea()}) {
            const QRect at(pane->mapTo(&w, QPoint(0, 0)), pane->size());
            EXPECT_TRUE(window.contains(at)) << pane->objectName().toStdString();
            EXPECT_GT(at.width(), 0);
            EXPECT_GT(at.height(), 200);
            EXPECT_GE(at.left(), right) << pane->objectName().toStdString();
            right = at.right();
        }
    }
};

TEST_F(DsptreeRealEngineTest, OpensAGeneratedBookAndShowsAStoredPage) {
    dsptree& w = Open();
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); })) << "about:blank never loaded";
    EXPECT_GE(w.TreeNodes().Count(), 30);
    EXPECT_EQ(w.TreeNodes().KeyAt(1), QStringLiteral("_Test0"));

    // A page that names no encoding is read as GB18030.
    const QString plain = GetAppPath() + QStringLiteral("plain.htm");
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringEncoder("GB18030").encode(QStringLiteral("<html><body>宗谱𠀀</body></html>")));
    file.close();
    w.SetDocumentLoaded(false);
    w.WebBrowser1()->Navigate(plain);
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    EXPECT_EQ(RunScript(w.WebBrowser1()->view(), QStringLiteral("document.body.innerText")),
              QStringLiteral("宗谱𠀀"));

    w.SetDocumentLoaded(false);
    Click(QStringLiteral("A3"));
    EXPECT_EQ(w.ViewerTag(), QStringLiteral("0"));
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded(); }));
    QWebEngineView* view = w.WebBrowser1()->view();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(WaitFor([&] {
        return RunScript(view, QStringLiteral("document.body ? document.body.innerText : ''"))
            .toString()
            .contains(QStringLiteral("第三代的生平"));
    }));
    EXPECT_EQ(view->url(), QUrl::fromLocalFile(GetAppPath() + QStringLiteral("ltmp.htm")));
    EXPECT_EQ(RunScript(view, QStringLiteral("getComputedStyle(document.querySelector('div')).writingMode")),
              QStringLiteral("vertical-rl"));

    // The page file is written again for the next member, and the viewer shows the new one.
    const auto bodyText = [&] {
        return RunScript(view, QStringLiteral("document.body.innerText")).toString();
    };
    w.SetDocumentLoaded(false);
    Click(QStringLiteral("A2"));
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded() && bodyText().contains(QStringLiteral("第二代")); }));
    w.SetDocumentLoaded(false);
    Click(QStringLiteral("A3"));
    ASSERT_TRUE(WaitFor([&] { return w.DocumentLoaded() && bodyText().contains(QStringLiteral("第三代")); }));

    const QString shots = qEnvironmentVariable("QENTARA_SCREENSHOT_DIR");
    for (const QSize size : {QSize(1024, 768), QSize(1920, 1080)}) {
        w.setWindowState(Qt::WindowNoState);
        w.resize(size);
        // Long enough for the engine to paint the page at its new size.
        WaitFor([] { return false; }, 500);
        ASSERT_EQ(w.size(), size);
        ExpectNothingCutOff(w);
        const QPixmap shot = w.grab();
        EXPECT_EQ(shot.size(), size);
        if (!shots.isEmpty())
            shot.save(QDir(shots).filePath(
                QStringLiteral("dsptree_%1x%2.png").arg(size.width()).arg(size.height())));
    }
}

}  // namespace
