#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHash>
#include <QLineEdit>
#include <utility>

#include "frame/app_state.h"
#include "frame/forms/window_utils.h"
#include "frame/language.h"
#include "member/forms/frm_member.h"
#include "member/member_input_rules.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"

namespace {

const QString kRangeCapped = QStringLiteral("编号范围太大，只取了前500个编号！");

QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

// The field each caption fills from the clipboard.
const QHash<QString, QString>& CaptionFields() {
    static const QHash<QString, QString> fields{
        {QStringLiteral("Lbl_b号"), QStringLiteral("Txt号")},
        {QStringLiteral("Lbl_b生于"), QStringLiteral("Txt子生日")},
        {QStringLiteral("Lbl_b卒于"), QStringLiteral("Txt子过世")},
        {QStringLiteral("Lbl_mother"), QStringLiteral("Txt母")},
        {QStringLiteral("Lbl_m生于"), QStringLiteral("Txt母生日")},
        {QStringLiteral("Lbl_m卒于"), QStringLiteral("Txt母过世")},
        {QStringLiteral("Lbl_m位"), QStringLiteral("Txt母职位")},
        {QStringLiteral("Lbl_m民族"), QStringLiteral("Cmb母民族")},
        {QStringLiteral("Lbl_m文化"), QStringLiteral("Cmb母文化")},
        {QStringLiteral("Lbl_b民族"), QStringLiteral("Cmb子民族")},
        {QStringLiteral("Lbl_b文化"), QStringLiteral("Cmb子文化")},
        {QStringLiteral("Lbl_b位"), QStringLiteral("Txt子职位")},
        {QStringLiteral("Lbl_b称"), QStringLiteral("Cmb称")},
        {QStringLiteral("Lbl_b讳"), QStringLiteral("Txt讳")},
        {QStringLiteral("Lbl_b字"), QStringLiteral("Txt字")},
    };
    return fields;
}

}  // namespace

QString Frm子女::fieldText(const QString& name) const {
    QWidget* w = control(name);
    if (auto* edit = dynamic_cast<QLineEdit*>(w)) return edit->text();
    if (auto* combo = dynamic_cast<QComboBox*>(w)) return combo->currentText();
    return QString();
}

void Frm子女::setFieldText(const QString& name, const QString& text) {
    QWidget* w = control(name);
    if (auto* edit = dynamic_cast<QLineEdit*>(w)) {
        if (edit->text() != text) edit->setText(text);
    } else if (auto* combo = dynamic_cast<QComboBox*>(w)) {
        if (combo->currentText() != text) combo->setEditText(text);
    }
}

void Frm子女::focusField(const QString& name) {
    if (QWidget* w = control(name)) w->setFocus(Qt::OtherFocusReason);
}

QString Frm子女::clipboardText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void Frm子女::Field_LostFocus(const QString& name) {
    if (name == QStringLiteral("Txt子女")) {
        bool capped = false;
        setFieldText(name, MemberInputRules::CleanChildrenText(fieldText(name), formInputStyle_, &capped));
        if (capped) UI().MsgBox(Trans(kRangeCapped), vb::Exclamation);
        return;
    }
    if (MemberInputRules::FieldLength(name) == 0) return;
    setFieldText(name, MemberInputRules::CleanField(name, fieldText(name)));
}

void Frm子女::cleanAllFields() {
    for (auto it = controls_.cbegin(); it != controls_.cend(); ++it)
        if (MemberInputRules::FieldLength(it.key()) != 0) Field_LostFocus(it.key());
    Field_LostFocus(QStringLiteral("Txt子女"));
}

void Frm子女::Field_KeyDown(const QString& name, int keyCode) {
    if (keyCode != 13 && keyCode != Qt::Key_Return && keyCode != Qt::Key_Enter) return;
    if (name == QStringLiteral("Txt父")) {
        focusField(QStringLiteral("Txt母"));
        return;
    }
    EnterToTab(13);
}

void Frm子女::Caption_Click(const QString& caption) {
    if (caption == QStringLiteral("Lbl_boy")) {
        Lbl_boy_Click();
        return;
    }
    const QString field = CaptionFields().value(caption);
    if (field.isEmpty()) return;
    const AppState& app = App();
    setFieldText(field, fieldText(field) + Trim(clipboardText()));
    if (caption == QStringLiteral("Lbl_m民族") || caption == QStringLiteral("Lbl_b民族")) {
        if (Trim(fieldText(field)).isEmpty()) setFieldText(field, app.DefaultFolk);
    } else if (caption == QStringLiteral("Lbl_b称")) {
        if (Trim(fieldText(field)).isEmpty()) setFieldText(field, app.DefaultTitle);
        if (Trim(fieldText(QStringLiteral("Cmb加称"))).isEmpty())
            setFieldText(QStringLiteral("Cmb加称"), app.DefaultTitleSuffix);
    }
    if (caption != QStringLiteral("Lbl_b号")) focusField(field);
}

void Frm子女::Lbl_boy_Click() {
    auto* names = get<QLineEdit>(QStringLiteral("Txt子女"));
    QString clip = Trim(clipboardText());
    clip.remove(QLatin1Char('['));
    clip.remove(QLatin1Char(']'));
    boyTextBeforeClick_ = names->text();
    boyClickPending_ = true;
    // At the caret; only a selection is replaced.
    const bool selected = names->hasSelectedText();
    const int start = selected ? names->selectionStart() : names->cursorPosition();
    const int length = selected ? int(names->selectedText().size()) : 0;
    const QString text = names->text();
    names->setText(text.left(start) + clip + text.mid(start + length));
    names->setCursorPosition(start + int(clip.size()));
    names->setFocus(Qt::OtherFocusReason);
}

void Frm子女::Lbl_boy_DblClick() {
    auto* names = get<QLineEdit>(QStringLiteral("Txt子女"));
    // The click that came with the double-click has already put the clipboard in; it goes in once.
    if (std::exchange(boyClickPending_, false)) names->setText(boyTextBeforeClick_);
    const QString surname = fieldText(QStringLiteral("Txt父")).left(qMax(0, App().SurnameLength));
    names->setText(surname + names->text() + Trim(clipboardText()));
    names->setFocus(Qt::OtherFocusReason);
}
