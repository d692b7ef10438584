#include "mainwin/forms/page_viewer.h"

#include "mainwin/forms/find_bar.h"

#include <QApplication>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineNavigationRequest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

namespace {

bool gEngineEnabled = true;

const QString kBlank = QStringLiteral("about:blank");

bool IsLocal(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("file") || scheme == QLatin1String("data") ||
           scheme == QLatin1String("about");
}

// A stored page may come from anyone (the server, a package, an e-book): nothing it names leaves the
// machine. Its pictures are local files; a web address it names, for a picture or a style, is not asked
// for.
class LocalRequestsOnly : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (!IsLocal(info.requestUrl())) info.block(true);
    }
};

// Nor does it move the view. The program moves a view by loading an address; a page that moves it by
// itself (a refresh, a form) could put another local file where the user edits and saves. A link the
// user follows may lead to another local page, not to the web.
void KeepStoredPagesInPlace(QWebEngineNavigationRequest& request) {
    switch (request.navigationType()) {
        case QWebEngineNavigationRequest::TypedNavigation:
        case QWebEngineNavigationRequest::LinkClickedNavigation:
        case QWebEngineNavigationRequest::BackForwardNavigation:
        case QWebEngineNavigationRequest::ReloadNavigation:
            if (IsLocal(request.url())) return request.accept();
            break;
        default:
            break;
    }
    request.reject();
}

QWebEngineUrlRequestInterceptor* StoredPageRequests() {
    static auto* interceptor = new LocalRequestsOnly(qApp);
    return interceptor;
}

}  // namespace

PageViewer::PageViewer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("WebBrowser1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (gEngineEnabled) createView();
    findBar_ = new FindBar(this);
    if (view_) findBar_->SetPage(view_->page());
    layout->addWidget(findBar_);
}

void PageViewer::SetEngineEnabled(bool enabled) {
    gEngineEnabled = enabled;
}

bool PageViewer::EngineEnabled() {
    return gEngineEnabled;
}

void PageViewer::PrepareForStoredPages(QWebEngineView* view) {
    PrepareForStoredPages(view->page());
}

void PageViewer::PrepareForStoredPages(QWebEnginePage* page) {
    QWebEngineSettings* settings = page->settings();
    settings->setDefaultTextEncoding(QStringLiteral("GB18030"));
    // No page runs a script of its own, wherever it came from: it could read local files into itself or
    // change what the user sees and saves. The program's own scripts (the vertical text, the editor) run
    // in a world of their own, which this setting leaves on.
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // Stored pages refer to their pictures as local files.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    page->setUrlRequestInterceptor(StoredPageRequests());
    QObject::connect(page, &QWebEnginePage::navigationRequested, page, &KeepStoredPagesInPlace);
    QWebEngineScript vertical;
    vertical.setName(QStringLiteral("vertical-text"));
    vertical.setSourceCode(VerticalTextScript());
    vertical.setInjectionPoint(QWebEngineScript::DocumentReady);
    vertical.setWorldId(QWebEngineScript::ApplicationWorld);
    vertical.setRunsOnSubFrames(true);
    page->scripts().insert(vertical);
}

void PageViewer::createView() {
    view_ = new QWebEngineView(this);
    view_->setObjectName(QStringLiteral("WebBrowser1View"));
    layout()->addWidget(view_);
    PrepareForStoredPages(view_);
    connect(view_, &QWebEngineView::loadFinished, this,
            [this](bool ok) { emit documentComplete(location_, ok); });
}

void PageViewer::Navigate(const QString& address) {
    location_ = address;
    if (!view_) {
        emit documentComplete(location_, true);
        return;
    }
    if (address.compare(kBlank, Qt::CaseInsensitive) == 0)
        view_->load(QUrl(kBlank));
    else
        view_->load(QUrl::fromLocalFile(address));
}

QString PageViewer::VerticalTextScript() {
    // The engine drops the unknown property from the style but keeps the attribute's text, so the new
    // property is written beside the old one into the text; a page that has it already (one edited and
    // stored before) is left as it is, so that saving a page again does not add it again.
    return QStringLiteral(R"JS((function () {
  var old = /layout-flow\s*:\s*vertical-ideographic/i, done = /writing-mode\s*:/i;
  var all = document.querySelectorAll('[style]');
  for (var i = 0; i < all.length; ++i) {
    var style = all[i].getAttribute('style');
    if (old.test(style) && !done.test(style))
      all[i].setAttribute('style', style.replace(/;?\s*$/, ';') + 'writing-mode:vertical-rl');
  }
  var sheets = document.querySelectorAll('style');
  for (var j = 0; j < sheets.length; ++j) {
    var text = sheets[j].textContent;
    if (old.test(text) && !done.test(text))
      sheets[j].textContent = text.replace(/layout-flow\s*:\s*vertical-ideographic\s*;?/gi,
                                           function (m) { return m + ';writing-mode:vertical-rl;'; });
  }
})();)JS");
}
