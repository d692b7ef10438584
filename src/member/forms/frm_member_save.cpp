#include <QCheckBox>
#include <QLineEdit>

#include "frame/app_state.h"
#include "frame/language.h"
#include "frame/text_utils.h"
#include "member/forms/frm_member.h"
#include "member/member_input_rules.h"
#include "member/member_record.h"
#include "platform/dao/dao_database.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "store/data_ops.h"

namespace {

const QString kSameNames = QStringLiteral("输入多个子女时，不能有同名！");
const QString kBlankName = QStringLiteral("子女名为空白，不能保存！");

QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

qint32 IdFromTag(const QString& tag) {
    try {
        return CLng(Val(tag));
    } catch (const VbError&) {
        return 0;
    }
}

}  // namespace

void Frm子女::CmdSave_Click() {
    AppState& app = App();
    // A save reached without leaving the field last typed in must store clean text as well.
    cleanAllFields();
    auto* names = get<QLineEdit>(QStringLiteral("Txt子女"));
    if (names->text().isEmpty()) {
        reject();
        return;
    }
    if (!app.SharedMember) app.SharedMember = std::make_shared<Cls子女>();
    app.SharedMember->Mem_Clear();
    if (tag_ == QStringLiteral("s")) {
        app.FormParamString = QStringLiteral("ok");
        accept();
        return;
    }
    static const QStringList kSavingModes{QStringLiteral("-"), QStringLiteral("+"), QStringLiteral("?"),
                                          QStringLiteral("@")};
    // Only the four saving modes write; any other showing must not answer as if it had.
    if (!kSavingModes.contains(tag_)) {
        reject();
        return;
    }

    try {
        QString nameToSave;
        if (!saveNames(nameToSave)) return;
        fillRecord(nameToSave);
        if (!writeRecord()) return;
        app.FormParamString = answer(nameToSave);
        accept();
    } catch (const dao::DaoError& error) {
        // Nothing is answered, so the caller adds no node for a member that was not stored.
        UI().MsgBox(error.Description(), vb::Critical);
    }
}

bool Frm子女::saveNames(QString& nameToSave) {
    AppState& app = App();
    auto* names = get<QLineEdit>(QStringLiteral("Txt子女"));
    Cls数据操作 ops;
    const qint32 id = IdFromTag(sexTag_);

    if (tag_ == QStringLiteral("-") || tag_ == QStringLiteral("+")) {
        app.RootAncestorName.clear();
        QStringList typed = names->text().split(QLatin1Char(';'));
        // Blanks around a name would be stored trimmed but answered untrimmed.
        for (QString& name : typed) name = Trim(name);
        switch (MemberInputRules::CheckNames(typed)) {
            case MemberInputRules::NamesFault::Duplicate:
                UI().MsgBox(Trans(kSameNames), vb::Critical);
                names->setFocus(Qt::OtherFocusReason);
                return false;
            case MemberInputRules::NamesFault::Blank:
                UI().MsgBox(Trans(kBlankName));
                names->setFocus(Qt::OtherFocusReason);
                return false;
            case MemberInputRules::NamesFault::None:
                break;
        }
        const QString surname = fieldText(QStringLiteral("Txt父")).left(qMax(0, app.SurnameLength));
        const QStringList stored = MemberInputRules::PrepareNames(
            typed, surname, [&](const QString& name) { return ops.TongMing字(false, name, id); });
        QStringList joined;
        for (const QString& name : stored) joined << name.left(MemberInputRules::kJoinedNameLength);
        // The field keeps what the user typed: a second Save after a refused or failed one must not
        // put the surname in front again.
        nameToSave = Trim(joined.join(QLatin1Char(';')));
        return true;
    }

    if (tag_ == QStringLiteral("?")) {
        // The member's own name at load needs no new number: editing must not rename it.
        const QString text = names->text();
        if (text != boyTag_) {
            const QString unique = ops.TongMing字(false, StripBracketSuffix(text), id);
            if (unique != text) names->setText(unique);
        }
    }

    nameToSave = Trim(names->text());
    if (tag_ == QStringLiteral("@")) {
        get<QLineEdit>(QStringLiteral("Txt父"))->clear();
        nameToSave = ops.TongMing字(false, names->text(), 0);
    }
    return true;
}

void Frm子女::fillRecord(const QString& nameToSave) {
    Cls子女& m = *App().SharedMember;
    const auto checked = [this](const char* name) {
        return get<QCheckBox>(QString::fromUtf8(name))->isChecked();
    };
    const auto trimmed = [this](const char* name) { return Trim(fieldText(QString::fromUtf8(name))); };
    const auto text = [this](const char* name) { return fieldText(QString::fromUtf8(name)); };

    m.strFather = trimmed("Txt父");
    m.strMother = trimmed("Txt母");
    m.strMother_Birthday = trimmed("Txt母生日");
    m.strMother_Death = trimmed("Txt母过世");
    m.strMother_Position = trimmed("Txt母职位");
    m.strMother_Education = text("Cmb母文化");
    m.strMother_Folk = text("Cmb母民族");
    m.bMother_Active = checked("Chk母在世");
    m.strBoy = nameToSave;
    m.strBoy_Birthday = trimmed("Txt子生日");
    if (!checked("Chk子在世")) m.strBoy_Death = trimmed("Txt子过世");
    m.strBoy_Position = trimmed("Txt子职位");
    m.strBoy_Education = text("Cmb子文化");
    m.strBoy_Folk = text("Cmb子民族");
    m.bBoy_Active = checked("Chk子在世");
    m.bBoy_Sex = checked("ChkSex");
    m.boy_c = text("Cmb称");
    m.boy_jc = MemberInputRules::TitleSuffixCode(text("Cmb加称"));
    m.boy_wei = trimmed("Txt讳");
    m.boy_zhi = trimmed("Txt字");
    m.boy_hao = trimmed("Txt号");
    m.boy_yi = trimmed("Txt谥");

    if (tag_ == QStringLiteral("@")) {
        get<QLineEdit>(QStringLiteral("Txt父"))->clear();
        m.strFather.clear();
    }
}

// False when the record class refused (it has said why) and the form stays open.
bool Frm子女::writeRecord() {
    AppState& app = App();
    Cls子女& m = *app.SharedMember;
    if (tag_ == QStringLiteral("?")) {
        m.Whnt自已(boyTag_);
        return true;
    }
    if (tag_ == QStringLiteral("-")) {
        // The children move under the new member and the member is added together, or neither.
        dao::Transaction tx = app.DataDb.BeginTrans();
        // A hidden root is a root too: "No_Display" names no father, and moving its "children" would
        // take every other hidden root of the book under the new member.
        if (!m.strFather.isEmpty() && m.strFather != QStringLiteral("No_Display"))
            m.Whnt父母(m.strBoy, m.strMother, m.strFather);
        else
            m.Whnt父亲(m.strBoy, boyTag_);
        app.RootAncestorName.clear();
        m.strFather = fieldText(QStringLiteral("Txt父"));
        m.Save子女(formInputStyle_);
        tx.Commit();
        return true;
    }
    m.strFather = fieldText(QStringLiteral("Txt父"));
    return m.Save子女(formInputStyle_) == 0;
}

QString Frm子女::answer(const QString& nameToSave) const {
    const bool male = get<QCheckBox>(QStringLiteral("ChkSex"))->isChecked();
    return fieldText(QStringLiteral("Txt父")) + QLatin1Char('%') + fieldText(QStringLiteral("Txt母")) +
           QLatin1Char('%') + nameToSave + QLatin1Char('%') +
           (male ? QStringLiteral("True") : QStringLiteral("False"));
}

void Frm子女::CmdCancel_Click() {
    App().FormParamString.clear();
    reject();
}

void Frm子女::CmdContinueFind_Click() {
    App().FormParamString = QStringLiteral("s");
    accept();
}
