#include "mainwin/forms/page_print_preview.h"

#include <QEventLoop>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWebEngineView>

void ShowPagePrintPreview(QWebEngineView* view) {
    if (!view) return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, view->window());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, view, [view](QPrinter* target) {
        // The engine prints asynchronously; the preview needs the pages before it returns.
        QEventLoop loop;
        const QMetaObject::Connection done =
            QObject::connect(view, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
        view->print(target);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        QObject::disconnect(done);
    });
    dialog.exec();
}
