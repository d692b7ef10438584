#pragma once

#include <QDialog>
#include <QHash>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

#include "member/hint_lists.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

// The member form: creates a root, inserts a generation, adds one or several children, edits a member,
// starts a new book and shows the candidates of a name search. The caller puts the mode ("-", "+", "?",
// "@" or "s") into App().FormParamString and the member into App().SharedMember, shows the form modally
// and reads the answer from FormParamString: after a save "father%mother%name(s)%True|False", "ok" or
// "s" in find mode, "" when nothing was done.
//
// The form keeps the fixed layout of the old window (positions in twips, 15 to a pixel), because hiding
// a caption closes its row's gap by exactly the row's height. Every handler can be called directly; the
// controls carry their old names as object names.
//
// No Q_OBJECT: moc cuts class names at the first non-ASCII character, and the form needs no signals of its
// own. Use dynamic_cast, not qobject_cast, on an instance from the form registry.
class Frm子女 : public QDialog {
public:
    explicit Frm子女(QWidget* parent = nullptr);

    // Registers the form under "Frm子女"; the instance is loaded before it is handed out.
    static void RegisterForm();

    // ---- Modes, loading and saving (frm_member.cpp, frm_member_save.cpp)
    void Form_Load();
    void Form_Activate();
    // F2 pastes into the focused field, F3 copies from it, Esc closes; true when the key was taken.
    bool Form_KeyDown(int keyCode);
    void CmdSave_Click();
    void CmdCancel_Click();
    void CmdContinueFind_Click();

    // ---- Field behaviour (frm_member_fields.cpp)
    // Leaving a field: Txt子女 has a rule of its own; Txt父 and Cmb加称 are left as they are.
    void Field_LostFocus(const QString& control);
    // Enter moves on; in Txt父 it goes to Txt母.
    void Field_KeyDown(const QString& control, int keyCode);
    // A left click on a caption appends the clipboard text to its field.
    void Caption_Click(const QString& caption);
    void Lbl_boy_Click();
    void Lbl_boy_DblClick();

    // ---- Caption menu (frm_member_menu.cpp)
    // Button 2 pops up boyItem_edit for the caption or check box; other buttons do nothing.
    void Caption_MouseDown(const QString& control, int button);
    void Item_Del_Click();
    void Item_Edit_Click();
    void Item_Setup_Click();
    void Item_SaveAs_Click();
    void temp_export_Click();
    void temp_import_Click();

    // Shows the caption menu; tests replace it so that nothing waits for a mouse.
    std::function<void(QMenu* menu)> popupMenu;

    // ---- State, for callers and tests
    QString Tag() const { return tag_; }
    quint8 FormInputStyle() const { return formInputStyle_; }
    // boyItem_edit's Tag: the control the menu acts on.
    QString MenuTarget() const { return menuTarget_; }
    void SetMenuTarget(const QString& control) { menuTarget_ = control; }
    // Item_SaveAs's Tag: the input template in use.
    QString TemplateName() const { return templateName_; }
    // A control's place in twips inside its container (the form itself for the form's height).
    QRect GeometryTwips(const QString& control) const;
    int HeightTwips() const { return heightTwips_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Construction (frm_member.cpp).
    void buildControls();
    QLabel* addLabel(QWidget* parent, const QString& name, const QString& caption, const QRect& twips);
    QLineEdit* addText(QWidget* parent, const QString& name, const QRect& twips);
    QComboBox* addCombo(QWidget* parent, const QString& name, const QRect& twips);
    QCheckBox* addCheck(QWidget* parent, const QString& name, const QString& caption, const QRect& twips);
    QPushButton* addButton(const QString& name, const QString& caption, const QRect& twips);
    void place(QWidget* w, const QRect& twips);
    void moveUp(QWidget* w, int twips);
    void setHeightTwips(int twips);
    void watch(QWidget* w);

    // Layout and lists (frm_member.cpp).
    void MemberFormFillLists();
    void MemberFormShow();
    void applyTabOrder();
    QList<Cls提示::TemplateControl> templateControls() const;
    void applyTemplateControls(const QList<Cls提示::TemplateControl>& controls);

    // Saving (frm_member_save.cpp).
    bool saveNames(QString& nameToSave);
    void cleanAllFields();
    void fillRecord(const QString& nameToSave);
    bool writeRecord();
    QString answer(const QString& nameToSave) const;

    // Field helpers (frm_member_fields.cpp).
    QString fieldText(const QString& control) const;
    void setFieldText(const QString& control, const QString& text);
    void focusField(const QString& control);
    static QString clipboardText();

    // Hiding (frm_member_menu.cpp).
    void hideControl(const QString& control);

    QWidget* control(const QString& name) const;
    template <typename T>
    T* get(const QString& name) const {
        return dynamic_cast<T*>(control(name));
    }

    bool loaded_ = false;
    QString tag_;
    quint8 formInputStyle_ = 1;
    QString boyTag_;  // Txt子女's tag: the name at load
    QString sexTag_;  // ChkSex's tag: the member id in edit mode, else "0"
    QString menuTarget_;
    QString templateName_;
    QStringList formList_;
    int heightTwips_ = 0;
    // The text before the last click on Lbl_boy, so that a double-click starts from it.
    QString boyTextBeforeClick_;
    bool boyClickPending_ = false;
    // The release that ends a double-click on a caption.
    bool ignoreRelease_ = false;

    QHash<QWidget*, QRect> twips_;
    QHash<QString, QWidget*> controls_;
    QGroupBox* frame1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QGroupBox* frame3_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* itemSaveAs_ = nullptr;
    QAction* itemDel_ = nullptr;
    QAction* itemEdit_ = nullptr;
    QAction* itemSetup_ = nullptr;
    QAction* tempImport_ = nullptr;
    QAction* tempExport_ = nullptr;
};
