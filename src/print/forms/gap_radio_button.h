#pragma once

#include <QRadioButton>

// An option whose caption has a run of spaces where another control stands ("分拆姓      字" with the
// surname box in it). The run is drawn at least as wide as that control needs: the interface's face
// draws spaces too narrow for a box, and the caption's text stays as it is (the language switch
// converts it).
class GapRadioButton : public QRadioButton {
    Q_OBJECT
public:
    GapRadioButton(const QString& caption, QWidget* parent);

    // The run of spaces is drawn at least this many pixels wide.
    void SetGapWidth(int pixels);
    // Where the run is drawn, in the button's coordinates; empty when the caption has none.
    QRect GapRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Pieces {
        QString before;
        QString gap;
        QString after;
    };
    Pieces Split() const;
    QRect TextRect() const;
    int gapWidth_ = 0;
};
