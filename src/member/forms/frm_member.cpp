#include "member/forms/frm_member.h"
#include "frame/forms/window_utils.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <utility>

#include "frame/app_settings.h"
#include "frame/app_state.h"
#include "frame/language.h"
#include "member/member_input_rules.h"
#include "member/member_record.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"

namespace {

constexpr int kFormWidth = 6240;
constexpr int kFormHeight = 7200;
constexpr int kFrameLeft = 60;
constexpr int kFrameWidth = 6120;
constexpr int kFirstFrameTop = 390;
// Consecutive frames overlap by this much, so that their borders meet as one line.
constexpr int kFrameOverlap = 75;

// Rows inside a frame: a caption is kLabelHeight high, and hiding one closes kLabelHeight + 190, so
// the rows are laid out at exactly that pitch.
constexpr int kLabelHeight = 260;
constexpr int kRowPitch = kLabelHeight + 190;
constexpr int kFieldHeight = 330;
constexpr int kCheckHeight = 300;
constexpr int kFrameMargin = 150;

constexpr int kButtonTop = 6630;
constexpr int kButtonWidth = 1335;
constexpr int kButtonHeight = 435;

int LabelTop(int row) {
    return 210 + row * kRowPitch;
}
int FieldTop(int row) {
    return LabelTop(row) - 45;
}
int CheckTop(int row) {
    return LabelTop(row) - 20;
}
int FrameHeight(int rows) {
    return kFrameMargin + rows * kRowPitch;
}

QRect Label(int left, int row, int width) {
    return QRect(left, LabelTop(row), width, kLabelHeight);
}
QRect Field(int left, int row, int width) {
    return QRect(left, FieldTop(row), width, kFieldHeight);
}
QRect Check(int left, int row, int width) {
    return QRect(left, CheckTop(row), width, kCheckHeight);
}

void FillCombo(QComboBox* combo, const QStringList& items) {
    // Adding to an empty editable combo would replace what load has put into its text.
    const QString keep = combo->currentText();
    const QSignalBlocker quiet(combo);
    combo->addItems(items);
    combo->setEditText(keep);
}

// Old key codes for the keys the form and its fields handle; 0 for the others.
int OldKeyCode(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_F2:
            return 113;
        case Qt::Key_F3:
            return 114;
        default:
            return 0;
    }
}

const QStringList kMotherTabOrder{QStringLiteral("Txt母"),     QStringLiteral("Chk母在世"),
                                  QStringLiteral("Cmb母民族"), QStringLiteral("Cmb母文化"),
                                  QStringLiteral("Txt母职位"), QStringLiteral("Txt母生日"),
                                  QStringLiteral("Txt母过世")};
const QStringList kNameTabOrder{QStringLiteral("Txt子女"), QStringLiteral("ChkSex"),
                                QStringLiteral("Chk子在世")};
const QStringList kMemberTabOrder{
    QStringLiteral("Cmb称"),     QStringLiteral("Cmb加称"),   QStringLiteral("Txt讳"),
    QStringLiteral("Txt字"),     QStringLiteral("Txt谥"),     QStringLiteral("Txt号"),
    QStringLiteral("Cmb子民族"), QStringLiteral("Cmb子文化"), QStringLiteral("Txt子职位"),
    QStringLiteral("Txt子生日"), QStringLiteral("Txt子过世")};

}  // namespace

Frm子女::Frm子女(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Frm子女"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    popupMenu = [](QMenu* menu) { menu->exec(QCursor::pos()); };
    buildControls();
    setHeightTwips(kFormHeight);
}

void Frm子女::RegisterForm() {
    FormRegistry::Register(QStringLiteral("Frm子女"), []() -> QObject* {
        auto* form = new Frm子女;
        form->Form_Load();
        return form;
    });
}

void Frm子女::buildControls() {
    addLabel(this, QStringLiteral("Lbl_father"), QStringLiteral("父亲："), QRect(120, 75, 960, kLabelHeight));
    QLineEdit* father = addText(this, QStringLiteral("Txt父"), QRect(1080, 30, 2400, kFieldHeight));
    // The form fills the parent in; the user cannot change whose child this is here.
    father->setReadOnly(true);
    father->setToolTip(QStringLiteral("这一项不能输入。"));
    addLabel(this, QStringLiteral("LblOp"), QStringLiteral("F2:粘贴 F3:复制"),
             QRect(3600, 75, 2520, kLabelHeight));

    const auto frame = [this](const QString& name, int rows) {
        auto* box = new QGroupBox(this);
        box->setObjectName(name);
        controls_.insert(name, box);
        place(box, QRect(kFrameLeft, kFirstFrameTop, kFrameWidth, FrameHeight(rows)));
        return box;
    };

    // The mother's particulars.
    frame1_ = frame(QStringLiteral("Frame1"), 5);
    addLabel(frame1_, QStringLiteral("Lbl_mother"), QStringLiteral("母亲："), Label(120, 0, 960));
    addText(frame1_, QStringLiteral("Txt母"), Field(1080, 0, 3480));
    addCheck(frame1_, QStringLiteral("Chk母在世"), QStringLiteral("在世"), Check(4800, 0, 1200));
    addLabel(frame1_, QStringLiteral("Lbl_m民族"), QStringLiteral("民族："), Label(120, 1, 960));
    addCombo(frame1_, QStringLiteral("Cmb母民族"), Field(1080, 1, 1800));
    addLabel(frame1_, QStringLiteral("Lbl_m文化"), QStringLiteral("文化："), Label(3120, 1, 780));
    addCombo(frame1_, QStringLiteral("Cmb母文化"), Field(3900, 1, 2100));
    addLabel(frame1_, QStringLiteral("Lbl_m位"), QStringLiteral("技或位："), Label(120, 2, 960));
    addText(frame1_, QStringLiteral("Txt母职位"), Field(1080, 2, 4920));
    addLabel(frame1_, QStringLiteral("Lbl_m生于"), QStringLiteral("母亲生于居于："), Label(120, 3, 1560));
    addText(frame1_, QStringLiteral("Txt母生日"), Field(1680, 3, 4320));
    addLabel(frame1_, QStringLiteral("Lbl_m卒于"), QStringLiteral("母亲卒于葬于："), Label(120, 4, 1560));
    addText(frame1_, QStringLiteral("Txt母过世"), Field(1680, 4, 4320));

    // The name or names.
    frame3_ = frame(QStringLiteral("Frame3"), 1);
    addLabel(frame3_, QStringLiteral("Lbl_boy"), QStringLiteral("子女："), Label(120, 0, 960));
    QLineEdit* names = addText(frame3_, QStringLiteral("Txt子女"), Field(1080, 0, 2880));
    connect(names, &QLineEdit::textEdited, this, [this] { boyClickPending_ = false; });
    addCheck(frame3_, QStringLiteral("ChkSex"), QStringLiteral("男女"), Check(4080, 0, 900));
    addCheck(frame3_, QStringLiteral("Chk子在世"), QStringLiteral("在世"), Check(5040, 0, 960));

    // The member's own particulars (the father's in several-children style).
    frame2_ = frame(QStringLiteral("Frame2"), 7);
    addLabel(frame2_, QStringLiteral("Lbl_b称"), QStringLiteral("称："), Label(120, 0, 960));
    addCombo(frame2_, QStringLiteral("Cmb称"), Field(1080, 0, 1800));
    addCombo(frame2_, QStringLiteral("Cmb加称"), Field(3000, 0, 2100));
    addLabel(frame2_, QStringLiteral("Lbl_b讳"), QStringLiteral("讳："), Label(120, 1, 960));
    addText(frame2_, QStringLiteral("Txt讳"), Field(1080, 1, 1800));
    addLabel(frame2_, QStringLiteral("Lbl_b字"), QStringLiteral("字："), Label(3120, 1, 780));
    addText(frame2_, QStringLiteral("Txt字"), Field(3900, 1, 2100));
    addLabel(frame2_, QStringLiteral("Lbl_b谥"), QStringLiteral("谥："), Label(120, 2, 960));
    addText(frame2_, QStringLiteral("Txt谥"), Field(1080, 2, 1800));
    addLabel(frame2_, QStringLiteral("Lbl_b号"), QStringLiteral("号："), Label(3120, 2, 780));
    addText(frame2_, QStringLiteral("Txt号"), Field(3900, 2, 2100));
    addLabel(frame2_, QStringLiteral("Lbl_b民族"), QStringLiteral("民族："), Label(120, 3, 960));
    addCombo(frame2_, QStringLiteral("Cmb子民族"), Field(1080, 3, 1800));
    addLabel(frame2_, QStringLiteral("Lbl_b文化"), QStringLiteral("文化："), Label(3120, 3, 780));
    addCombo(frame2_, QStringLiteral("Cmb子文化"), Field(3900, 3, 2100));
    addLabel(frame2_, QStringLiteral("Lbl_b位"), QStringLiteral("技或位："), Label(120, 4, 960));
    addText(frame2_, QStringLiteral("Txt子职位"), Field(1080, 4, 4920));
    addLabel(frame2_, QStringLiteral("Lbl_b生于"), QStringLiteral("子女生于居于："), Label(120, 5, 1560));
    addText(frame2_, QStringLiteral("Txt子生日"), Field(1680, 5, 4320));
    addLabel(frame2_, QStringLiteral("Lbl_b卒于"), QStringLiteral("子女卒于葬于："), Label(120, 6, 1560));
    addText(frame2_, QStringLiteral("Txt子过世"), Field(1680, 6, 4320));

    QPushButton* save = addButton(QStringLiteral("CmdSave"), QStringLiteral("确  定"),
                                  QRect(1500, kButtonTop, kButtonWidth, kButtonHeight));
    connect(save, &QPushButton::clicked, this, &Frm子女::CmdSave_Click);
    QPushButton* cancel = addButton(QStringLiteral("CmdCancel"), QStringLiteral("取  消"),
                                    QRect(3420, kButtonTop, kButtonWidth, kButtonHeight));
    connect(cancel, &QPushButton::clicked, this, &Frm子女::CmdCancel_Click);
    QPushButton* next = addButton(QStringLiteral("CmdContinueFind"), QStringLiteral("继 续 找"),
                                  QRect(1350, kButtonTop, kButtonWidth, kButtonHeight));
    connect(next, &QPushButton::clicked, this, &Frm子女::CmdContinueFind_Click);
    next->hide();

    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("boyItem_edit"));
    const auto item = [this](const QString& name, const QString& caption, void (Frm子女::*handler)()) {
        QAction* action = menu_->addAction(caption);
        action->setObjectName(name);
        if (handler) connect(action, &QAction::triggered, this, handler);
        return action;
    };
    const auto separator = [this](const QString& name) { menu_->addSeparator()->setObjectName(name); };
    itemSaveAs_ =
        item(QStringLiteral("Item_SaveAs"), QStringLiteral("模板另存为"), &Frm子女::Item_SaveAs_Click);
    separator(QStringLiteral("item_sp1"));
    itemDel_ = item(QStringLiteral("Item_Del"), QStringLiteral("删除此项目"), &Frm子女::Item_Del_Click);
    itemEdit_ = item(QStringLiteral("Item_Edit"), QStringLiteral("修改项目名称"), &Frm子女::Item_Edit_Click);
    separator(QStringLiteral("item_sp2"));
    itemSetup_ =
        item(QStringLiteral("Item_Setup"), QStringLiteral("选择输入方式"), &Frm子女::Item_Setup_Click);
    separator(QStringLiteral("item_sp3"));
    tempImport_ =
        item(QStringLiteral("temp_import"), QStringLiteral("导入模板"), &Frm子女::temp_import_Click);
    tempExport_ =
        item(QStringLiteral("temp_export"), QStringLiteral("导出模板"), &Frm子女::temp_export_Click);

    frame3_->raise();
    frame1_->raise();
    father->raise();
    applyTabOrder();
}

QLabel* Frm子女::addLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& twips) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    controls_.insert(name, label);
    place(label, twips);
    watch(label);
    return label;
}

QLineEdit* Frm子女::addText(QWidget* parent, const QString& name, const QRect& twips) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    controls_.insert(name, edit);
    place(edit, twips);
    watch(edit);
    return edit;
}

QComboBox* Frm子女::addCombo(QWidget* parent, const QString& name, const QRect& twips) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    // Enter in the box moves on; it must not also add the typed text to the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    controls_.insert(name, combo);
    place(combo, twips);
    watch(combo);
    watch(combo->lineEdit());
    return combo;
}

QCheckBox* Frm子女::addCheck(QWidget* parent, const QString& name, const QString& caption,
                             const QRect& twips) {
    auto* check = new QCheckBox(caption, parent);
    check->setObjectName(name);
    controls_.insert(name, check);
    place(check, twips);
    watch(check);
    return check;
}

QPushButton* Frm子女::addButton(const QString& name, const QString& caption, const QRect& twips) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    controls_.insert(name, button);
    place(button, twips);
    watch(button);
    return button;
}

void Frm子女::watch(QWidget* w) {
    w->installEventFilter(this);
}

void Frm子女::place(QWidget* w, const QRect& twips) {
    twips_.insert(w, twips);
    // Corners are converted, not sizes, so that neighbours never drift apart by rounding.
    const QPoint topLeft(TwipsToPixels(twips.left()), TwipsToPixels(twips.top()));
    const QPoint end(TwipsToPixels(twips.left() + twips.width()),
                     TwipsToPixels(twips.top() + twips.height()));
    w->setGeometry(QRect(topLeft, QSize(end.x() - topLeft.x(), end.y() - topLeft.y())));
}

void Frm子女::moveUp(QWidget* w, int twips) {
    place(w, twips_.value(w).translated(0, -twips));
}

void Frm子女::setHeightTwips(int twips) {
    heightTwips_ = twips;
    setFixedSize(TwipsToPixels(kFormWidth), TwipsToPixels(twips));
}

QRect Frm子女::GeometryTwips(const QString& name) const {
    if (name == objectName()) return QRect(0, 0, kFormWidth, heightTwips_);
    return twips_.value(control(name));
}

QWidget* Frm子女::control(const QString& name) const {
    return controls_.value(name);
}

void Frm子女::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    AppState& app = App();
    if (!app.SharedMember) app.SharedMember = std::make_shared<Cls子女>();
    Cls子女& m = *app.SharedMember;

    setWindowIcon(QApplication::windowIcon());
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QStringLiteral("mQentaraQp")) setWindowTitle(window->windowTitle());
    tag_ = app.FormParamString;
    itemSetup_->setEnabled(false);

    const bool edit = tag_ == QStringLiteral("?");
    if (!edit) {
        m.boy_hao.clear();
        m.boy_wei.clear();
        m.boy_yi.clear();
        m.boy_zhi.clear();
        m.strBoy_Birthday.clear();
        m.strBoy_Death.clear();
        sexTag_ = QStringLiteral("0");
    }

    setFieldText(QStringLiteral("Txt父"), m.strFather);
    setFieldText(QStringLiteral("Txt母"), m.strMother);
    setFieldText(QStringLiteral("Txt母生日"), m.strMother_Birthday);
    setFieldText(QStringLiteral("Txt母过世"), m.strMother_Death);
    get<QCheckBox>(QStringLiteral("Chk母在世"))->setChecked(m.bMother_Active);
    setFieldText(QStringLiteral("Txt母职位"), m.strMother_Position);
    setFieldText(QStringLiteral("Cmb母文化"), m.strMother_Education);
    setFieldText(QStringLiteral("Cmb母民族"), m.strMother_Folk);
    setFieldText(QStringLiteral("Cmb称"), m.boy_c);
    formList_ = MemberInputRules::TitleSuffixTexts();
    setFieldText(QStringLiteral("Cmb加称"), formList_.value(m.boy_jc));
    setFieldText(QStringLiteral("Txt讳"), m.boy_wei);
    setFieldText(QStringLiteral("Txt谥"), m.boy_yi);
    setFieldText(QStringLiteral("Txt字"), m.boy_zhi);
    setFieldText(QStringLiteral("Txt号"), m.boy_hao);

    boyTag_ = m.strBoy;
    setFieldText(QStringLiteral("Txt子女"), QString());
    if (edit) {
        setFieldText(QStringLiteral("Txt子女"), m.strBoy);
        sexTag_ = QString::number(m.lBoy_ID);
    }

    setFieldText(QStringLiteral("Txt子生日"), m.strBoy_Birthday);
    setFieldText(QStringLiteral("Txt子过世"), m.strBoy_Death);
    get<QCheckBox>(QStringLiteral("Chk子在世"))->setChecked(m.bBoy_Active);
    setFieldText(QStringLiteral("Txt子职位"), m.strBoy_Position);
    setFieldText(QStringLiteral("Cmb子文化"), m.strBoy_Education);
    setFieldText(QStringLiteral("Cmb子民族"), m.strBoy_Folk);
    get<QCheckBox>(QStringLiteral("ChkSex"))
        ->setChecked(tag_ == QStringLiteral("@") || tag_ == QStringLiteral("+") || m.bBoy_Sex);

    if (tag_ == QStringLiteral("-")) {
        setWindowTitle(m.strFather.isEmpty() ? QStringLiteral("创建一个始祖")
                                             : QStringLiteral("增加一个子代"));
        formInputStyle_ = 1;
    }
    if (tag_ == QStringLiteral("+")) {
        setWindowTitle(QStringLiteral("增加一个子代"));
        formInputStyle_ = quint8(app.ChildInputStyle);
        itemSetup_->setEnabled(true);
    }
    if (!edit) {
        setFieldText(QStringLiteral("Cmb母民族"), app.DefaultFolk);
        setFieldText(QStringLiteral("Cmb子民族"), app.DefaultFolk);
        setFieldText(QStringLiteral("Cmb称"), app.DefaultTitle);
        setFieldText(QStringLiteral("Cmb加称"), app.DefaultTitleSuffix);
        get<QCheckBox>(QStringLiteral("Chk母在世"))->setChecked(app.DefaultAlive);
        get<QCheckBox>(QStringLiteral("Chk子在世"))->setChecked(app.DefaultAlive);
    }
    if (edit) {
        setWindowTitle(QStringLiteral("修改这个成员"));
        formInputStyle_ = 1;
    }
    if (tag_ == QStringLiteral("@")) {
        setWindowTitle(QStringLiteral("创建新谱始祖"));
        formInputStyle_ = 1;
    }
    if (tag_ == QStringLiteral("s")) {
        formInputStyle_ = quint8(app.ChildInputStyle);
        setWindowTitle(QStringLiteral("查找"));
        setFieldText(QStringLiteral("Txt子女"), m.strBoy);
        auto* next = get<QPushButton>(QStringLiteral("CmdContinueFind"));
        next->show();
        auto* save = get<QPushButton>(QStringLiteral("CmdSave"));
        save->setText(QStringLiteral("找 到 了"));
        auto* cancel = get<QPushButton>(QStringLiteral("CmdCancel"));
        for (auto [button, left] : {std::pair<QPushButton*, int>{next, 1350}, {save, 3030}, {cancel, 4770}}) {
            QRect twips = twips_.value(button);
            twips.moveLeft(left);
            place(button, twips);
        }
    }

    try {
        MemberFormFillLists();
        templateName_ = GetAppSetting(QStringLiteral("curinput"));
        if (templateName_.isEmpty()) templateName_ = Cls提示::kBuiltInTemplate;
        QList<Cls提示::TemplateControl> controls = templateControls();
        const QString hidden = Cls提示().DsptAllFrm子女(quint8(app.ChildInputStyle), controls, templateName_);
        applyTemplateControls(controls);
        const QStringList names = hidden.split(QLatin1Char('%'));
        for (qsizetype i = 1; i < names.size(); ++i) {
            formList_ << names[i];
            menuTarget_ = names[i];
            Item_Del_Click();
        }
    } catch (const dao::DaoError& error) {
        // The form still works with the design layout and empty lists.
        UI().MsgBox(error.Description(), vb::Critical);
    }

    if (app.Translator) app.Translator->SetLanguage(this);
    app.FormParamString.clear();
}

void Frm子女::MemberFormFillLists() {
    Cls提示 hints;
    FillCombo(get<QComboBox>(QStringLiteral("Cmb称")), MemberInputRules::TitleTexts());
    FillCombo(get<QComboBox>(QStringLiteral("Cmb加称")), MemberInputRules::TitleSuffixTexts());
    QStringList folk;
    hints.Bind民族(folk);
    FillCombo(get<QComboBox>(QStringLiteral("Cmb母民族")), folk);
    FillCombo(get<QComboBox>(QStringLiteral("Cmb子民族")), folk);
    QStringList education{QString()};
    hints.Bind学历(education);
    FillCombo(get<QComboBox>(QStringLiteral("Cmb母文化")), education);
    FillCombo(get<QComboBox>(QStringLiteral("Cmb子文化")), education);
    MemberFormShow();
}

void Frm子女::MemberFormShow() {
    AppState& app = App();
    auto* father = control(QStringLiteral("Txt父"));
    const auto moveTo = [this](QWidget* frame, int top) {
        QRect twips = twips_.value(frame);
        twips.moveTop(top);
        place(frame, twips);
    };
    const auto below = [this](QWidget* frame) {
        const QRect twips = twips_.value(frame);
        return twips.top() + twips.height() - kFrameOverlap;
    };

    if (formInputStyle_ == 1) {
        moveTo(frame1_, kFirstFrameTop);
        moveTo(frame3_, below(frame1_));
        moveTo(frame2_, below(frame3_));
        frame3_->raise();
        frame1_->raise();
        father->raise();
    } else {
        moveTo(frame2_, kFirstFrameTop);
        moveTo(frame1_, below(frame2_));
        moveTo(frame3_, below(frame1_));
        frame1_->raise();
        frame2_->raise();
        father->raise();

        // The particulars group shows the father's own, which the save writes back to his row.
        Cls子女& m = *app.SharedMember;
        if (MemberInputRules::TakeFatherParticulars(m.Return父亲信息(m.strFather), m)) {
            setFieldText(QStringLiteral("Txt讳"), m.boy_wei);
            setFieldText(QStringLiteral("Txt谥"), m.boy_yi);
            setFieldText(QStringLiteral("Txt字"), m.boy_zhi);
            setFieldText(QStringLiteral("Txt号"), m.boy_hao);
            setFieldText(QStringLiteral("Cmb称"), m.boy_c);
            setFieldText(QStringLiteral("Cmb加称"), MemberInputRules::TitleSuffixText(m.boy_jc));
            setFieldText(QStringLiteral("Txt子生日"), m.strBoy_Birthday);
            setFieldText(QStringLiteral("Txt子过世"), m.strBoy_Death);
            get<QCheckBox>(QStringLiteral("Chk子在世"))->setChecked(m.bBoy_Active);
            setFieldText(QStringLiteral("Txt子职位"), m.strBoy_Position);
            setFieldText(QStringLiteral("Cmb子文化"), m.strBoy_Education);
            setFieldText(QStringLiteral("Cmb子民族"), m.strBoy_Folk);
            get<QCheckBox>(QStringLiteral("ChkSex"))
                ->setChecked(tag_ == QStringLiteral("@") || tag_ == QStringLiteral("+") || m.bBoy_Sex);
        }
    }

    QList<Cls提示::TemplateControl> controls = templateControls();
    Cls提示().Dspt生于卒于(quint8(app.ChildInputStyle), controls, templateName_);
    applyTemplateControls(controls);
    applyTabOrder();
}

void Frm子女::applyTabOrder() {
    QStringList order{QStringLiteral("Txt父")};
    if (formInputStyle_ == 1)
        order << kMotherTabOrder << kNameTabOrder << kMemberTabOrder;
    else
        order << kMemberTabOrder << kMotherTabOrder << kNameTabOrder;
    order << QStringLiteral("CmdSave") << QStringLiteral("CmdCancel") << QStringLiteral("CmdContinueFind");
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(control(order[i - 1]), control(order[i]));
}

QList<Cls提示::TemplateControl> Frm子女::templateControls() const {
    QList<Cls提示::TemplateControl> controls;
    for (const QString& name : Cls提示::TemplateControlNames()) {
        QWidget* w = control(name);
        if (!w) continue;
        QString caption;
        if (auto* label = dynamic_cast<QLabel*>(w)) caption = label->text();
        if (auto* check = dynamic_cast<QCheckBox*>(w)) caption = check->text();
        controls.append({name, caption, !w->isHidden()});
    }
    return controls;
}

void Frm子女::applyTemplateControls(const QList<Cls提示::TemplateControl>& controls) {
    for (const Cls提示::TemplateControl& item : controls) {
        QWidget* w = control(item.name);
        if (!w) continue;
        if (auto* label = dynamic_cast<QLabel*>(w)) label->setText(item.caption);
        if (auto* check = dynamic_cast<QCheckBox*>(w)) check->setText(item.caption);
        if (w->isHidden() == item.visible) w->setVisible(item.visible);
    }
}

void Frm子女::Form_Activate() {
    if (formInputStyle_ == 1) control(QStringLiteral("Txt子女"))->setFocus();
}

bool Frm子女::Form_KeyDown(int keyCode) {
    const int key = OldKeyCode(keyCode) ? OldKeyCode(keyCode) : keyCode;
    if (key == 113 || key == 114) {
        QWidget* target = QApplication::focusWidget();
        if (auto* combo = dynamic_cast<QComboBox*>(target)) target = combo->lineEdit();
        if (!target) return true;
        QKeyEvent press(QEvent::KeyPress, key == 113 ? Qt::Key_V : Qt::Key_C, Qt::ControlModifier,
                        key == 113 ? QStringLiteral("\x16") : QStringLiteral("\x03"));
        QApplication::sendEvent(target, &press);
        return true;
    }
    if (key == 27) {
        App().FormParamString.clear();
        reject();
        return true;
    }
    return false;
}

bool Frm子女::eventFilter(QObject* watched, QEvent* event) {
    auto* w = dynamic_cast<QWidget*>(watched);
    if (!w) return QDialog::eventFilter(watched, event);
    // A combo's own line edit speaks for the combo.
    QWidget* owner = w;
    if (auto* combo = dynamic_cast<QComboBox*>(w->parentWidget()); combo && combo->lineEdit() == w)
        owner = combo;
    const QString name = owner->objectName();

    switch (event->type()) {
        case QEvent::KeyPress: {
            const int key = OldKeyCode(static_cast<QKeyEvent*>(event)->key());
            if ((key == 113 || key == 114 || key == 27) && Form_KeyDown(key)) return true;
            if (key == 13 && !dynamic_cast<QPushButton*>(owner) && !dynamic_cast<QLabel*>(owner)) {
                Field_KeyDown(name, key);
                return true;
            }
            break;
        }
        case QEvent::FocusOut: {
            // Dropping a combo's list down is not leaving it.
            if (owner == w && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
                Field_LostFocus(name);
            break;
        }
        case QEvent::MouseButtonPress: {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton &&
                (dynamic_cast<QLabel*>(owner) || dynamic_cast<QCheckBox*>(owner))) {
                Caption_MouseDown(name, 2);
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (dynamic_cast<QLabel*>(owner) && mouse->button() == Qt::LeftButton) {
                // The release that ends a double-click is no click of its own.
                if (std::exchange(ignoreRelease_, false)) return true;
                if (owner->rect().contains(mouse->position().toPoint())) Caption_Click(name);
                return true;
            }
            break;
        }
        case QEvent::MouseButtonDblClick: {
            if (dynamic_cast<QLabel*>(owner) &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                ignoreRelease_ = true;
                if (name == QStringLiteral("Lbl_boy")) Lbl_boy_DblClick();
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void Frm子女::showEvent(QShowEvent* event) {
    Form_Load();
    QDialog::showEvent(event);
}

void Frm子女::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Form_Activate();
    QDialog::changeEvent(event);
}
