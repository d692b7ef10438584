#pragma once

#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <memory>

#include "platform/interaction/interaction.h"

class QColor;
class QWidget;

// The program's Interaction: real message boxes, input boxes, file dialogs and windows.
class QtInteraction : public Interaction {
public:
    int MsgBox(const QString& prompt, int style = 0, const QString& title = QString()) override;
    QString InputBox(const QString& prompt, const QString& title = {}, const QString& defaultText = {},
                     bool* cancelled = nullptr) override;
    QString GetOpenFileName(const QString& title, const QString& filter,
                            const QString& initialDir = {}) override;
    QString GetSaveFileName(const QString& title, const QString& filter,
                            const QString& initialDir = {}) override;
    QString BrowseForFolder(const QString& title, const QString& initialDir = {}) override;
    std::optional<quint32> ChooseColor(const QString& title = {}) override;
    std::optional<int> ChoosePrintFromPage(int maxPage) override;
    std::optional<QFont> ChooseFont(const QFont& initial) override;
    std::optional<std::pair<int, int>> ChoosePrintPages(QPagedPaintDevice& printer, int maxPage) override;
    // A modal show exec()s a QDialog (a plain QWidget runs until it is hidden) and deletes the window
    // afterwards. A non-modal show of a form that is already open brings that window forward instead of
    // opening a second one, as showing a loaded form did before.
    int ShowForm(const QString& formName, bool modal) override;
    bool OpenUrl(const QString& url) override;

    // The message box MsgBox shows, before it is shown.
    static std::unique_ptr<QMessageBox> BuildMessageBox(const QString& prompt, int style,
                                                        const QString& title, QWidget* parent = nullptr);
    // The old answer value for the button that closed the box.
    static int AnswerFor(QMessageBox::StandardButton button);
    // Turns an old "Books (*.mdb)|*.mdb|All (*.*)|*.*" filter into Qt's "Books (*.mdb);;All (*)"; a filter
    // without "|" is taken as Qt's already.
    static QString ToQtFilter(const QString& filter);
    // The old colour number: red + green * 256 + blue * 65536.
    static quint32 ToOldColor(const QColor& color);

private:
    QHash<QString, QPointer<QWidget>> open_;
};
