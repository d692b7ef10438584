#include "online/forms/group_button.h"

#include <QAction>
#include <QApplication>
#include <QWidget>

void SetGroupButtonTip(const QString& tip) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() != QLatin1String("dsptree")) continue;
        if (auto* button = window->findChild<QAction*>(QStringLiteral("b_group"))) button->setToolTip(tip);
    }
}
