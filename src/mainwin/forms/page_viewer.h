#pragma once

#include <QString>
#include <QWidget>

class FindBar;
class QWebEnginePage;
class QWebEngineView;

// The page viewer of the main window (WebBrowser1): a web view that reads pages from files, GB18030
// where a page names no encoding, and shows the old vertical text style (layout-flow:
// vertical-ideographic) as writing-mode: vertical-rl. Pages are always loaded from files: a page given
// as a string is limited to 2 MB.
//
// Tests that need no engine switch it off for the viewers they create: such a viewer records the
// addresses it is sent to and reports each as loaded at once.
class PageViewer : public QWidget {
    Q_OBJECT
public:
    explicit PageViewer(QWidget* parent = nullptr);

    static void SetEngineEnabled(bool enabled);
    static bool EngineEnabled();

    // "about:blank" (any letter case) or a file path.
    void Navigate(const QString& address);
    // The address last navigated to.
    QString LocationURL() const { return location_; }
    // nullptr without the engine.
    QWebEngineView* view() const { return view_; }
    // The find bar under the page, hidden until opened.
    FindBar* findBar() const { return findBar_; }

    // The script that maps the old vertical style, for any other view that shows stored pages.
    static QString VerticalTextScript();
    // A view that shows stored pages: GB18030 where a page names no encoding, pictures from local
    // files, the old vertical style mapped; no script of the page's own runs, and nothing it names is
    // asked for beyond local files.
    static void PrepareForStoredPages(QWebEngineView* view);
    static void PrepareForStoredPages(QWebEnginePage* page);

signals:
    // A navigation finished (ok false when the page could not be loaded).
    void documentComplete(const QString& address, bool ok);

private:
    void createView();

    QWebEngineView* view_ = nullptr;
    FindBar* findBar_ = nullptr;
    QString location_;
};
