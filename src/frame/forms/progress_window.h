#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>

#include "frame/forms/window_utils.h"

#include "frame/progress.h"

class QFrame;
class QProgressBar;
class QTimer;

// The shared wait window of long operations: a thin topmost bar that keeps cycling to show the program is
// busy. It measures nothing.
class FrmPBar : public QWidget {
    Q_OBJECT
public:
    explicit FrmPBar(QWidget* parent = nullptr);

    // Shows the window on top, centred, without taking the focus; a window already shown stays the one
    // window and its bar restarts.
    void ShowModeless();

    // Activation: a maximum of 0 becomes 10, then the bar restarts at 0.
    void Form_Activate();
    // One tick of Timer1: the bar moves on by 3, wrapping at its maximum.
    void Timer1_Timer();

    QProgressBar* bar() const { return pbar_; }
    QTimer* timer() const { return timer_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    QFrame* frame_ = nullptr;
    QProgressBar* pbar_ = nullptr;
    QTimer* timer_ = nullptr;
};

// The progress seam over the one FrmPBar of the run, created on first use and hidden between uses. While
// it is shown the cursor is the wait cursor: that shows at once, before the window has been painted.
class ProgressWindowSink : public ProgressSink {
public:
    ~ProgressWindowSink() override;
    void Show() override;
    void Hide() override;
    bool IsShown() const override;
    // The window, nullptr before the first Show.
    FrmPBar* window() const { return window_.data(); }

private:
    QPointer<FrmPBar> window_;
    std::optional<BusyCursor> busy_;
};
