#include "mainwin/forms/find_bar.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FindBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->addWidget(new QLabel(QStringLiteral("查找："), this));
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("FindText"));
    row->addWidget(field_, 1);
    const auto button = [this, row](const char* text, const char* name) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf8(text));
        b->setObjectName(QString::fromLatin1(name));
        row->addWidget(b);
        return b;
    };
    connect(button("上一个", "FindPrevious"), &QToolButton::clicked, this, [this] { FindNext(true); });
    connect(button("下一个", "FindNextHit"), &QToolButton::clicked, this, [this] { FindNext(false); });
    result_ = new QLabel(this);
    row->addWidget(result_);
    connect(button("关闭", "FindClose"), &QToolButton::clicked, this, &FindBar::Close);
    connect(field_, &QLineEdit::textEdited, this, [this] { FindNext(false); });
    connect(field_, &QLineEdit::returnPressed, this,
            [this] { FindNext(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); });
    hide();
}

void FindBar::SetPage(QWebEnginePage* page) {
    page_ = page;
    if (!page) return;
    connect(page, &QWebEnginePage::findTextFinished, this, [this](const QWebEngineFindTextResult& r) {
        if (field_->text().isEmpty())
            result_->clear();
        else if (r.numberOfMatches() == 0)
            result_->setText(QStringLiteral("找不到"));
        else
            result_->setText(QStringLiteral("%1/%2").arg(r.activeMatch()).arg(r.numberOfMatches()));
    });
}

void FindBar::Open() {
    show();
    field_->setFocus();
    field_->selectAll();
}

void FindBar::Close() {
    if (page_) page_->findText(QString());
    result_->clear();
    hide();
}

void FindBar::FindNext(bool backward) {
    if (!page_) return;
    page_->findText(field_->text(), backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        return;
    }
    QWidget::keyPressEvent(event);
}
