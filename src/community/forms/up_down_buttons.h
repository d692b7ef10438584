#pragma once

#include <QWidget>

class QToolButton;

// A pair of small arrow buttons beside a field, as the old up-down control: up() and down() on a click.
class UpDownButtons : public QWidget {
    Q_OBJECT
public:
    explicit UpDownButtons(const QString& name, QWidget* parent = nullptr);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void up();
    void down();

private:
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
};
