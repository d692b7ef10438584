#include "community/forms/up_down_buttons.h"

#include <QToolButton>
#include <QVBoxLayout>

UpDownButtons::UpDownButtons(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = new QToolButton(this);
    up_->setObjectName(name + QStringLiteral("_up"));
    up_->setArrowType(Qt::UpArrow);
    down_ = new QToolButton(this);
    down_->setObjectName(name + QStringLiteral("_down"));
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setAutoRepeat(true);
        layout->addWidget(button);
    }
    connect(up_, &QToolButton::clicked, this, &UpDownButtons::up);
    connect(down_, &QToolButton::clicked, this, &UpDownButtons::down);
}
