#include "online/forms/message_page_view.h"

#include <QStringDecoder>

#include "platform/interaction/interaction.h"

MessagePageView::MessagePageView(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &MessagePageView::follow);
}

void MessagePageView::ShowPage(const QByteArray& body, const QUrl& address) {
    address_ = address;
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(body);
    if (utf8.hasError()) {
        QStringDecoder gb18030("GB18030");
        if (gb18030.isValid()) text = gb18030.decode(body);
    }
    setHtml(text);
}

QVariant MessagePageView::loadResource(int, const QUrl&) {
    return {};
}

void MessagePageView::follow(const QUrl& link) {
    const QUrl target = address_.resolved(link);
    if (target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https"))
        UI().OpenUrl(target.toString());
}
