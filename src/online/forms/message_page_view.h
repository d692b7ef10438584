#pragma once

#include <QByteArray>
#include <QTextBrowser>
#include <QUrl>

// The server's public message page, shown as text: no scripts run, and nothing the page refers to is
// fetched or read (no pictures, style sheets or local files). A link the user follows opens in the
// desktop's browser when it is a web address.
class MessagePageView : public QTextBrowser {
    Q_OBJECT
public:
    explicit MessagePageView(QWidget* parent = nullptr);

    // The page's bytes: UTF-8, or GB18030 for a page that is not valid UTF-8 (older servers).
    void ShowPage(const QByteArray& body, const QUrl& address);

    QVariant loadResource(int type, const QUrl& name) override;

private:
    void follow(const QUrl& link);

    QUrl address_;
};
