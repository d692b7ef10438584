#include "mainwin/forms/page_viewer.h"

#include "mainwin/forms/find_bar.h"

#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

bool gEngineEnabled = true;

const QString kBlank = QStringLiteral("about:blank");

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
    // Stored pages refer to their pictures as local files.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
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
