#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <stdexcept>
#include <vector>

#include "platform/interaction/interaction.h"

class QObject;

// Thrown when a dialog comes that the test did not queue, or of another kind than the one queued next.
class UnexpectedDialog : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// The Interaction used by tests: records every call and answers from a queue of expectations, in order.
class ScriptedInteraction : public Interaction {
public:
    // kind is "MsgBox", "InputBox", "OpenFile", "SaveFile", "Folder", "Color", "Font", "PrintRange",
    // "PrintPages", "Form" or "Url".
    // text: the prompt; the title of a file, folder or colour dialog; the form name; the link; the last
    // page of a print range, as text; the initial font (QFont::toString).
    // style: the message-box style; 1 for a modal form show; the last page of a print range; else 0.
    // filter: a file dialog's filter. initial: an input box's default text, a dialog's initial folder.
    struct Recorded {
        QString kind;
        QString text;
        QString title;
        int style = 0;
        QString filter;
        QString initial;
    };
    // Gets the form created through FormRegistry (nullptr when none is registered under the name), sets
    // its fields, presses its buttons, and returns the show's result. The form is deleted afterwards.
    using FormDriver = std::function<int(QObject* form)>;

    ~ScriptedInteraction() override;

    void ExpectMsgBox(int answer);
    void ExpectInput(const QString& answer, bool cancel = false);
    void ExpectOpenFile(const QString& path);
    void ExpectSaveFile(const QString& path);
    void ExpectFolder(const QString& path);
    // std::nullopt answers as a cancel.
    void ExpectColor(std::optional<quint32> color);
    void ExpectPrintRange(std::optional<int> fromPage);
    void ExpectFont(std::optional<QFont> font);
    // The pages chosen in the print dialog over a printer (nothing: cancelled); setUp, when given, gets
    // the printer first, as the user would set it (a PDF file, say).
    void ExpectPrintPages(std::optional<std::pair<int, int>> pages,
                          std::function<void(QPagedPaintDevice&)> setUp = {});
    void ExpectForm(const QString& name, FormDriver driver);
    void ExpectUrl(bool taken);

    const std::vector<Recorded>& log() const { return log_; }
    bool AllConsumed() const { return queue_.empty(); }
    int remaining() const { return static_cast<int>(queue_.size()); }

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
    int ShowForm(const QString& formName, bool modal) override;
    bool OpenUrl(const QString& url) override;

private:
    struct Expectation {
        QString kind;
        int number = 0;
        QString text;
        bool flag = false;
        FormDriver driver;
        int number2 = 0;
        std::function<void(QPagedPaintDevice&)> printerSetUp{};
    };

    // Records the call, then takes the front expectation, which must be of the same kind.
    Expectation take(Recorded call);

    std::vector<Recorded> log_;
    std::deque<Expectation> queue_;
};
