#include "platform/interaction/scripted_interaction.h"

#include <QObject>
#include <QPointer>

#include "platform/interaction/form_registry.h"

ScriptedInteraction::~ScriptedInteraction() = default;

void ScriptedInteraction::ExpectMsgBox(int answer) {
    queue_.push_back({"MsgBox", answer, {}, false, {}});
}

void ScriptedInteraction::ExpectInput(const QString& answer, bool cancel) {
    queue_.push_back({"InputBox", 0, answer, cancel, {}});
}

void ScriptedInteraction::ExpectOpenFile(const QString& path) {
    queue_.push_back({"OpenFile", 0, path, false, {}});
}

void ScriptedInteraction::ExpectSaveFile(const QString& path) {
    queue_.push_back({"SaveFile", 0, path, false, {}});
}

void ScriptedInteraction::ExpectFolder(const QString& path) {
    queue_.push_back({"Folder", 0, path, false, {}});
}

void ScriptedInteraction::ExpectColor(std::optional<quint32> color) {
    queue_.push_back({"Color", static_cast<int>(color.value_or(0)), {}, !color.has_value(), {}});
}

void ScriptedInteraction::ExpectPrintRange(std::optional<int> fromPage) {
    queue_.push_back({"PrintRange", fromPage.value_or(0), {}, !fromPage.has_value(), {}});
}

void ScriptedInteraction::ExpectFont(std::optional<QFont> font) {
    queue_.push_back({"Font", 0, font ? font->toString() : QString(), !font.has_value(), {}});
}

void ScriptedInteraction::ExpectPrintPages(std::optional<std::pair<int, int>> pages,
                                           std::function<void(QPagedPaintDevice&)> setUp) {
    Expectation e{"PrintPages", pages ? pages->first : 0, {}, !pages.has_value(), {}};
    e.number2 = pages ? pages->second : 0;
    e.printerSetUp = std::move(setUp);
    queue_.push_back(std::move(e));
}

void ScriptedInteraction::ExpectForm(const QString& name, FormDriver driver) {
    queue_.push_back({"Form", 0, name, false, std::move(driver)});
}

void ScriptedInteraction::ExpectUrl(bool taken) {
    queue_.push_back({"Url", 0, {}, taken, {}});
}

ScriptedInteraction::Expectation ScriptedInteraction::take(Recorded call) {
    log_.push_back(call);
    if (queue_.empty())
        throw UnexpectedDialog(
            QStringLiteral("Unexpected %1 \"%2\": nothing queued").arg(call.kind, call.text).toStdString());
    const Expectation& front = queue_.front();
    if (front.kind != call.kind)
        throw UnexpectedDialog(QStringLiteral("Unexpected %1 \"%2\": %3 queued next")
                                   .arg(call.kind, call.text, front.kind)
                                   .toStdString());
    if (front.kind == "Form" && front.text != call.text)
        throw UnexpectedDialog(QStringLiteral("Unexpected Form \"%1\": Form \"%2\" queued next")
                                   .arg(call.text, front.text)
                                   .toStdString());
    Expectation next = std::move(queue_.front());
    queue_.pop_front();
    return next;
}

int ScriptedInteraction::MsgBox(const QString& prompt, int style, const QString& title) {
    return take({"MsgBox", prompt, title, style, {}, {}}).number;
}

QString ScriptedInteraction::InputBox(const QString& prompt, const QString& title, const QString& defaultText,
                                      bool* cancelled) {
    const Expectation e = take({"InputBox", prompt, title, 0, {}, defaultText});
    if (cancelled) *cancelled = e.flag;
    return e.flag ? QString() : e.text;
}

QString ScriptedInteraction::GetOpenFileName(const QString& title, const QString& filter,
                                             const QString& initialDir) {
    return take({"OpenFile", title, title, 0, filter, initialDir}).text;
}

QString ScriptedInteraction::GetSaveFileName(const QString& title, const QString& filter,
                                             const QString& initialDir) {
    return take({"SaveFile", title, title, 0, filter, initialDir}).text;
}

QString ScriptedInteraction::BrowseForFolder(const QString& title, const QString& initialDir) {
    return take({"Folder", title, title, 0, {}, initialDir}).text;
}

std::optional<quint32> ScriptedInteraction::ChooseColor(const QString& title) {
    const Expectation e = take({"Color", title, title, 0, {}, {}});
    if (e.flag) return std::nullopt;
    return static_cast<quint32>(e.number);
}

std::optional<int> ScriptedInteraction::ChoosePrintFromPage(int maxPage) {
    const Expectation e = take({"PrintRange", QString::number(maxPage), {}, maxPage, {}, {}});
    if (e.flag) return std::nullopt;
    return e.number;
}

std::optional<QFont> ScriptedInteraction::ChooseFont(const QFont& initial) {
    const Expectation e = take({"Font", initial.toString(), {}, 0, {}, {}});
    if (e.flag) return std::nullopt;
    QFont chosen;
    chosen.fromString(e.text);
    return chosen;
}

std::optional<std::pair<int, int>> ScriptedInteraction::ChoosePrintPages(QPagedPaintDevice& printer,
                                                                         int maxPage) {
    const Expectation e = take({"PrintPages", QString::number(maxPage), {}, maxPage, {}, {}});
    if (e.printerSetUp) e.printerSetUp(printer);
    if (e.flag) return std::nullopt;
    return std::make_pair(e.number, e.number2);
}

int ScriptedInteraction::ShowForm(const QString& formName, bool modal) {
    const Expectation e = take({"Form", formName, {}, modal ? 1 : 0, {}, {}});
    // The form goes even when the driver throws, e.g. on a nested unexpected dialog.
    struct Owned {
        QPointer<QObject> form;
        ~Owned() { delete form.data(); }
    } owned{FormRegistry::Create(formName)};
    return e.driver ? e.driver(owned.form.data()) : 0;
}

bool ScriptedInteraction::OpenUrl(const QString& url) {
    return take({"Url", url, {}, 0, {}, {}}).flag;
}
