#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>

#include "frame/app_state.h"
#include "frame/language.h"
#include "member/forms/frm_member.h"
#include "member/template_menu.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/interaction.h"

namespace {

// What hiding a caption takes with it, and whether its row closes.
struct HideRule {
    QStringList alsoHidden;
    bool rowGoes = false;
};

const QHash<QString, HideRule>& HideRules() {
    static const QHash<QString, HideRule> rules{
        {QStringLiteral("Lbl_mother"), {{QStringLiteral("Txt母"), QStringLiteral("Chk母在世")}, true}},
        {QStringLiteral("Lbl_m民族"),
         {{QStringLiteral("Cmb母民族"), QStringLiteral("Lbl_m文化"), QStringLiteral("Cmb母文化")}, true}},
        {QStringLiteral("Lbl_m文化"), {{QStringLiteral("Cmb母文化")}, false}},
        {QStringLiteral("Lbl_m位"), {{QStringLiteral("Txt母职位")}, true}},
        {QStringLiteral("Lbl_m生于"), {{QStringLiteral("Txt母生日")}, true}},
        {QStringLiteral("Lbl_m卒于"), {{QStringLiteral("Txt母过世")}, true}},
        {QStringLiteral("Lbl_b称"), {{QStringLiteral("Cmb称"), QStringLiteral("Cmb加称")}, true}},
        {QStringLiteral("Lbl_b讳"),
         {{QStringLiteral("Txt讳"), QStringLiteral("Lbl_b字"), QStringLiteral("Txt字")}, true}},
        {QStringLiteral("Lbl_b字"), {{QStringLiteral("Txt字")}, false}},
        {QStringLiteral("Lbl_b谥"),
         {{QStringLiteral("Txt谥"), QStringLiteral("Lbl_b号"), QStringLiteral("Txt号")}, true}},
        {QStringLiteral("Lbl_b号"), {{QStringLiteral("Txt号")}, false}},
        {QStringLiteral("Lbl_b民族"),
         {{QStringLiteral("Cmb子民族"), QStringLiteral("Lbl_b文化"), QStringLiteral("Cmb子文化")}, true}},
        {QStringLiteral("Lbl_b文化"), {{QStringLiteral("Cmb子文化")}, false}},
        {QStringLiteral("Lbl_b位"), {{QStringLiteral("Txt子职位")}, true}},
        {QStringLiteral("Lbl_b生于"), {{QStringLiteral("Txt子生日")}, true}},
        {QStringLiteral("Lbl_b卒于"), {{QStringLiteral("Txt子过世")}, true}},
        // The father's and the name caption leave their fields in place, so their rows stay.
    };
    return rules;
}

const QStringList kMotherGroup{
    QStringLiteral("Lbl_mother"), QStringLiteral("Txt母"),     QStringLiteral("Chk母在世"),
    QStringLiteral("Lbl_m民族"),  QStringLiteral("Cmb母民族"), QStringLiteral("Lbl_m文化"),
    QStringLiteral("Cmb母文化"),  QStringLiteral("Lbl_m位"),   QStringLiteral("Txt母职位"),
    QStringLiteral("Lbl_m生于"),  QStringLiteral("Txt母生日"), QStringLiteral("Lbl_m卒于"),
    QStringLiteral("Txt母过世")};
const QStringList kMemberGroup{
    QStringLiteral("Chk子在世"), QStringLiteral("ChkSex"),    QStringLiteral("Lbl_boy"),
    QStringLiteral("Lbl_b谥"),   QStringLiteral("Lbl_b位"),   QStringLiteral("Lbl_b生于"),
    QStringLiteral("Lbl_b卒于"), QStringLiteral("Lbl_b民族"), QStringLiteral("Lbl_b文化"),
    QStringLiteral("Lbl_b称"),   QStringLiteral("Lbl_b讳"),   QStringLiteral("Lbl_b字"),
    QStringLiteral("Lbl_b号"),   QStringLiteral("Txt谥"),     QStringLiteral("Txt子职位"),
    QStringLiteral("Txt子生日"), QStringLiteral("Txt子过世"), QStringLiteral("Cmb子民族"),
    QStringLiteral("Cmb子文化"), QStringLiteral("Cmb称"),     QStringLiteral("Cmb加称"),
    QStringLiteral("Txt讳"),     QStringLiteral("Txt字"),     QStringLiteral("Txt号")};

// The controls whose right button opens the caption menu.
const QSet<QString> kMenuControls{
    QStringLiteral("ChkSex"),     QStringLiteral("Chk母在世"),  QStringLiteral("Chk子在世"),
    QStringLiteral("Lbl_father"), QStringLiteral("Lbl_mother"), QStringLiteral("Lbl_boy"),
    QStringLiteral("Lbl_b称"),    QStringLiteral("Lbl_b号"),    QStringLiteral("Lbl_b讳"),
    QStringLiteral("Lbl_b民族"),  QStringLiteral("Lbl_b生于"),  QStringLiteral("Lbl_b谥"),
    QStringLiteral("Lbl_b位"),    QStringLiteral("Lbl_b文化"),  QStringLiteral("Lbl_b字"),
    QStringLiteral("Lbl_b卒于"),  QStringLiteral("Lbl_m民族"),  QStringLiteral("Lbl_m生于"),
    QStringLiteral("Lbl_m位"),    QStringLiteral("Lbl_m文化"),  QStringLiteral("Lbl_m卒于")};

// A frame whose height falls below this has no row left.
constexpr int kEmptyFrameHeight = 180;
constexpr int kRowGap = 190;

QString Trans(const QString& text) {
    const auto& translator = App().Translator;
    return translator ? translator->TransLanguage(text) : text;
}

void ReportDbError(const dao::DaoError& error) {
    UI().MsgBox(error.Description(), vb::Critical);
}

}  // namespace

void Frm子女::Caption_MouseDown(const QString& name, int button) {
    if (button != 2 || !kMenuControls.contains(name)) return;
    menuTarget_ = name;
    const bool keepRow = name == QStringLiteral("Lbl_father") || name == QStringLiteral("Lbl_boy");
    if (keepRow) itemDel_->setEnabled(false);
    popupMenu(menu_);
    if (keepRow) itemDel_->setEnabled(true);
}

void Frm子女::Item_Del_Click() {
    hideControl(menuTarget_);
}

void Frm子女::hideControl(const QString& name) {
    QWidget* target = control(name);
    if (!target) return;
    target->setVisible(false);
    target->setEnabled(false);
    const HideRule rule = HideRules().value(name);
    for (const QString& other : rule.alsoHidden)
        if (QWidget* w = control(other)) w->setVisible(false);
    if (!rule.rowGoes) return;

    const QRect gone = twips_.value(target);
    const int gap = gone.height() + kRowGap;
    const int limit = gone.top() + gone.height();
    for (const QString& button :
         {QStringLiteral("CmdSave"), QStringLiteral("CmdCancel"), QStringLiteral("CmdContinueFind")})
        moveUp(control(button), gap);
    setHeightTwips(heightTwips_ - gap);

    const auto closeGap = [&](const QStringList& group, QGroupBox* frame) {
        for (const QString& member : group) {
            QWidget* w = control(member);
            if (w && twips_.value(w).top() > limit) moveUp(w, gap);
        }
        QRect box = twips_.value(frame);
        box.setHeight(box.height() - gap);
        place(frame, box);
    };
    if (kMotherGroup.contains(name)) {
        closeGap(kMotherGroup, frame1_);
        if (twips_.value(frame1_).height() < kEmptyFrameHeight) frame1_->setVisible(false);
        moveUp(frame3_, gap);
        if (formInputStyle_ == 1) moveUp(frame2_, gap);
    } else if (kMemberGroup.contains(name)) {
        closeGap(kMemberGroup, frame2_);
        if (formInputStyle_ != 1) {
            moveUp(frame1_, gap);
            moveUp(frame3_, gap);
        }
    }
}

void Frm子女::Item_Edit_Click() {
    QWidget* target = control(menuTarget_);
    auto* label = dynamic_cast<QLabel*>(target);
    auto* check = dynamic_cast<QCheckBox*>(target);
    if (!label && !check) return;
    const QString current = label ? label->text() : check->text();
    const QString caption = UI().InputBox(Trans(QStringLiteral("请输入项目名称：")), QString(), current);
    if (caption.isEmpty()) return;
    if (label) label->setText(caption);
    if (check) check->setText(caption);
}

void Frm子女::Item_Setup_Click() {
    UI().ShowForm(QStringLiteral("FrmSysSetup"), true);
    if (tag_ == QStringLiteral("s") || tag_ == QStringLiteral("+"))
        formInputStyle_ = quint8(App().ChildInputStyle);
    try {
        MemberFormShow();
    } catch (const dao::DaoError& error) {
        ReportDbError(error);
    }
    if (App().Translator) App().Translator->SetLanguage(this);
}

void Frm子女::Item_SaveAs_Click() {
    try {
        templateName_ =
            TemplateMenu::SaveAs(quint8(App().ChildInputStyle), templateControls(), templateName_);
    } catch (const dao::DaoError& error) {
        ReportDbError(error);
    }
}

void Frm子女::temp_export_Click() {
    try {
        TemplateMenu::Export(templateName_);
    } catch (const dao::DaoError& error) {
        ReportDbError(error);
    }
}

void Frm子女::temp_import_Click() {
    try {
        TemplateMenu::Import();
    } catch (const dao::DaoError& error) {
        ReportDbError(error);
    }
}
