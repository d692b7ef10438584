#pragma once

#include <QFont>
#include <QString>
#include <memory>
#include <optional>
#include <utility>

class QPagedPaintDevice;

// Message-box styles and answers keep the old numbers, because callers add them up and compare answers
// against them exactly as the old code did.
namespace vb {
// Buttons.
constexpr int OKOnly = 0;
constexpr int OKCancel = 1;
constexpr int AbortRetryIgnore = 2;
constexpr int YesNoCancel = 3;
constexpr int YesNo = 4;
constexpr int RetryCancel = 5;
// Icons.
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
// Default button.
constexpr int DefaultButton1 = 0;
constexpr int DefaultButton2 = 256;
constexpr int DefaultButton3 = 512;
// Answers.
constexpr int OK = 1;
constexpr int Cancel = 2;
constexpr int Abort = 3;
constexpr int Retry = 4;
constexpr int Ignore = 5;
constexpr int Yes = 6;
constexpr int No = 7;
}  // namespace vb

// Everything that asks the user something or shows a window goes through here, so that logic can run
// under tests with scripted answers and the program shows real dialogs.
class Interaction {
public:
    virtual ~Interaction() = default;

    // Answers one of the vb:: answer values.
    virtual int MsgBox(const QString& prompt, int style = 0, const QString& title = QString()) = 0;
    // "" on cancel; `cancelled` tells a cancel from an empty answer.
    virtual QString InputBox(const QString& prompt, const QString& title = {},
                             const QString& defaultText = {}, bool* cancelled = nullptr) = 0;
    // Filters may be Qt's ("Books (*.mdb);;All (*)") or the old "Books (*.mdb)|*.mdb|..." form.
    // Each returns "" on cancel.
    virtual QString GetOpenFileName(const QString& title, const QString& filter,
                                    const QString& initialDir = {}) = 0;
    virtual QString GetSaveFileName(const QString& title, const QString& filter,
                                    const QString& initialDir = {}) = 0;
    virtual QString BrowseForFolder(const QString& title, const QString& initialDir = {}) = 0;
    // The colour in the old number form, red + green * 256 + blue * 65536; nothing on cancel.
    virtual std::optional<quint32> ChooseColor(const QString& title = {}) = 0;
    // The font dialog, opened on `initial`; nothing on cancel.
    virtual std::optional<QFont> ChooseFont(const QFont& initial) = 0;
    // The print dialog over pages 1 to maxPage: the first page to print (1 when all pages are chosen);
    // nothing on cancel.
    virtual std::optional<int> ChoosePrintFromPage(int maxPage) = 0;
    // The print dialog over `printer` (the program's QPrinter) for pages 1 to maxPage: the user chooses
    // where it prints, a PDF file among the choices, and which pages. The first and last page chosen;
    // nothing on cancel. By default the first page of ChoosePrintFromPage, to the last.
    virtual std::optional<std::pair<int, int>> ChoosePrintPages(QPagedPaintDevice& printer, int maxPage);
    // Shows a window by its old form name: 1 accepted, 0 rejected or closed (and for a non-modal show),
    // -1 when no such form is registered.
    virtual int ShowForm(const QString& formName, bool modal) = 0;
    // False when nothing on the desktop takes the link.
    virtual bool OpenUrl(const QString& url) = 0;
};

// The installed implementation. Until one is installed, every call throws std::logic_error saying so:
// a dialog must never be answered silently.
Interaction& UI();

// Installs `next` (nullptr goes back to the throwing default) and hands back the previous one.
std::unique_ptr<Interaction> SetInteraction(std::unique_ptr<Interaction> next);
