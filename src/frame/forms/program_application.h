#pragma once

#include <QApplication>

// The program's application object. An error that escapes an event handler is shown to the user and
// the program carries on, instead of ending with whatever the user had open.
class ProgramApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;

    // What notify does with an escaped error; public so that it can be checked without an event loop.
    static void ReportEscapedError(const QString& what);
};
