#pragma once

#include <QStringList>
#include <map>
#include <vector>

#include "platform/codepage.h"
#include "print/chart_canvas.h"

// A canvas that records what is drawn and measures by rule: a double-byte character is 20 twips a
// point wide, any other 10, every text 25 twips a point high.
class RecordingCanvas : public ChartCanvas {
public:
    struct Text {
        double x;
        double y;
        QString text;
        QColor color;
        double size;
        bool bold;
    };
    struct Line {
        double x1, y1, x2, y2;
        QColor color;
        LineStyle style;
    };

    RecordingCanvas(double width = 11904, double height = 16832) : width_(width), height_(height) {}

    void SetFont(const QString& family, double pointSize, bool bold) override {
        family_ = family;
        size_ = pointSize;
        bold_ = bold;
    }
    double TextWidth(const QString& text) const override {
        double width = 0;
        for (QChar c : text) width += (IsSingleByte936(c) ? 10 : 20) * size_;
        return width;
    }
    double TextHeight(const QString&) const override { return 25 * size_; }
    void SetForeColor(const QColor& color) override { color_ = color; }
    void DrawText(double x, double y, const QString& text) override {
        texts.push_back({x, y, text, color_, size_, bold_});
    }
    void Clear() override {
        ++clears;
        texts.clear();
        lines.clear();
    }
    void DrawLine(double x1, double y1, double x2, double y2, const QColor& color, LineStyle style) override {
        lines.push_back({x1, y1, x2, y2, color, style});
    }
    double Width() const override { return width_; }
    double Height() const override { return height_; }

    // The drawn texts joined per row, top to bottom, each led by "R " (red), "B " (blue) or "K " (black).
    QStringList Rows() const {
        std::map<double, QString> byY;
        for (const Text& t : texts) {
            QString& row = byY[t.y];
            if (row.isEmpty())
                row = t.color == QColor(255, 0, 0) ? "R " : t.color == QColor(0, 0, 255) ? "B " : "K ";
            row += t.text;
        }
        QStringList rows;
        for (const auto& [y, text] : byY) rows << text;
        return rows;
    }

    std::vector<Text> texts;
    std::vector<Line> lines;
    int clears = 0;
    QString family_;

private:
    double width_;
    double height_;
    double size_ = 0;
    bool bold_ = false;
    QColor color_ = Qt::black;
};
