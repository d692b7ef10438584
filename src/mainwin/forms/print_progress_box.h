#pragma once

#include <QProgressDialog>
#include <algorithm>

#include "mainwin/forms/main_window_shared.h"

// The wait window of printing: what is being done, how far it is, and a button to cancel. It shows
// only when the work lasts.
class PrintProgressBox {
public:
    explicit PrintProgressBox(QWidget* parent) : dialog_(parent) {
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setCancelButtonText(mainwin::Trans(QStringLiteral("取消")));
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setMinimumDuration(300);
    }
    // False once the user has cancelled.
    bool Tell(const QString& text, int done, int total) {
        dialog_.setLabelText(text);
        dialog_.setMaximum(std::max(total, 1));
        dialog_.setValue(std::clamp(done, 0, std::max(total, 1)));
        return !dialog_.wasCanceled();
    }
    bool Cancelled() const { return dialog_.wasCanceled(); }

private:
    QProgressDialog dialog_;
};
