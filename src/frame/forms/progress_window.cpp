#include "frame/forms/progress_window.h"

#include "frame/forms/window_utils.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

namespace {

// Design size in twips, shown at 15 twips per pixel.
constexpr int kWidthTwips = 4800;
constexpr int kHeightTwips = 255;

}  // namespace

FrmPBar::FrmPBar(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("FrmPBar"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(TwipsToPixels(kWidthTwips), TwipsToPixels(kHeightTwips));

    frame_ = new QFrame(this);
    frame_->setObjectName(QStringLiteral("Frame1"));
    frame_->setFrameShape(QFrame::Box);
    frame_->setGeometry(rect());

    pbar_ = new QProgressBar(frame_);
    pbar_->setObjectName(QStringLiteral("PBar"));
    pbar_->setRange(0, 100);
    pbar_->setValue(0);
    pbar_->setTextVisible(false);
    pbar_->setGeometry(frame_->rect().adjusted(1, 1, -1, -1));

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(15);
    connect(timer_, &QTimer::timeout, this, &FrmPBar::Timer1_Timer);
    timer_->start();
}

void FrmPBar::ShowModeless() {
    if (!isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area = rect();
            area.moveCenter(screen->availableGeometry().center());
            move(area.topLeft());
        }
        show();
    } else {
        raise();
    }
    Form_Activate();
}

void FrmPBar::Form_Activate() {
    if (pbar_->maximum() == 0) pbar_->setMaximum(10);
    pbar_->setValue(0);
}

void FrmPBar::Timer1_Timer() {
    const int maximum = pbar_->maximum();
    // A caller may have set the maximum to 0; wrapping by 0 is meaningless, so the bar waits for the next
    // activation to repair it.
    if (maximum <= 0) return;
    pbar_->setValue((pbar_->value() + 3) % maximum);
}

void FrmPBar::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QWidget::changeEvent(event);
}

ProgressWindowSink::~ProgressWindowSink() {
    // The sink may outlive the application object, which has taken its windows with it then.
    if (window_ && QCoreApplication::instance()) delete window_.data();
}

void ProgressWindowSink::Show() {
    if (!busy_) busy_.emplace();
    if (!window_) window_ = new FrmPBar;
    window_->ShowModeless();
}

void ProgressWindowSink::Hide() {
    busy_.reset();
    if (window_) window_->hide();
}

bool ProgressWindowSink::IsShown() const {
    return window_ && window_->isVisible();
}
