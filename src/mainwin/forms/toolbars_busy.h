#pragma once

#include <QPointer>
#include <QToolBar>

// Keeps the main and book toolbars disabled while one of their commands runs (modal dialogs, page
// walks and package work run the event loop meanwhile, and a second command must not start), and gives
// them back their state on every way out of the command, an error included.
class ToolbarsBusy {
public:
    ToolbarsBusy(QToolBar* main, QToolBar* book) : bars_{main, book} {
        for (int i = 0; i < 2; ++i) {
            wasEnabled_[i] = bars_[i] && bars_[i]->isEnabled();
            if (bars_[i]) bars_[i]->setEnabled(false);
        }
    }
    ~ToolbarsBusy() {
        for (int i = 0; i < 2; ++i)
            if (bars_[i]) bars_[i]->setEnabled(wasEnabled_[i]);
    }
    ToolbarsBusy(const ToolbarsBusy&) = delete;
    ToolbarsBusy& operator=(const ToolbarsBusy&) = delete;

private:
    QPointer<QToolBar> bars_[2];
    bool wasEnabled_[2] = {false, false};
};
