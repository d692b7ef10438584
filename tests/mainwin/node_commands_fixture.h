#pragma once

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QTreeWidget>

#include "dsptree_fixture.h"
#include "member/forms/frm_member.h"
#include "platform/interaction/form_registry.h"

// A main window over a small book, with the real member form behind "Frm子女":
//   甲 ─┬─ 乙 (mother 李氏) ─┬─ 丁
//       │                    └─ 戊
//       └─ 丙
//   庚
class NodeCommandsFixture : public DsptreeFixture {
protected:
    void SetUp() override {
        DsptreeFixture::SetUp();
        Frm子女::RegisterForm();
        Add(QStringLiteral("甲"), QString());
        Add(QStringLiteral("乙"), QStringLiteral("甲"));
        Add(QStringLiteral("丙"), QStringLiteral("甲"), -9999, false);
        Add(QStringLiteral("丁"), QStringLiteral("乙"));
        Add(QStringLiteral("戊"), QStringLiteral("乙"));
        Add(QStringLiteral("庚"), QString());
        Db().Execute(QStringLiteral("UPDATE \"本姓成员\" SET \"mother\" = '李氏' WHERE \"filial\" = '乙'"));
    }
    void TearDown() override {
        DsptreeFixture::TearDown();
        FormRegistry::Unregister(QStringLiteral("Frm子女"));
    }

    // The member form saves the names typed, as a user would.
    void ExpectMemberForm(const QString& names, bool male = true) {
        ui_->ExpectForm(QStringLiteral("Frm子女"), [names, male](QObject* object) {
            auto* form = dynamic_cast<Frm子女*>(object);
            form->findChild<QLineEdit*>(QStringLiteral("Txt子女"))->setText(names);
            form->findChild<QCheckBox*>(QStringLiteral("ChkSex"))->setChecked(male);
            form->CmdSave_Click();
            return 1;
        });
    }
    // A prompt dialog answering `answer` ("" cancels); records the request it was shown with.
    void ExpectLittle(const QString& answer) {
        ui_->ExpectForm(QStringLiteral("FrmLittle"), [this, answer](QObject*) {
            requests_ << App().FormParamString + QLatin1Char('#') + QString::number(App().LittleRunType);
            App().FormParamString = answer;
            return 1;
        });
    }
    void Select(const QString& name) { Click(name); }
    void Press(const char* key) { window_->Toolbar1_ButtonClick(QString::fromLatin1(key)); }
    void Menu(const char* item) { window_->MenuItem(QString::fromLatin1(item))->trigger(); }

    QString Column(const QString& name, const char* column) {
        return Db()
            .Scalar(QStringLiteral("SELECT \"%1\" FROM \"本姓成员\" WHERE \"filial\" = ?")
                        .arg(QLatin1String(column)),
                    {name})
            .toString();
    }
    bool Exists(const QString& name) {
        return !Db().Scalar(QStringLiteral("SELECT 1 FROM \"本姓成员\" WHERE \"filial\" = ?"), {name})
                    .isNull();
    }
    // "key<parent" of every node, in node order.
    QStringList Shape() {
        QStringList out;
        for (int i = 1; i <= Nodes().Count(); ++i) out << Nodes().KeyAt(i) + "<" + Nodes().ParentKeyAt(i);
        return out;
    }
    QStringList Children(const QString& name) {
        QStringList out;
        const QTreeWidgetItem* node = Node(name);
        for (int c = 0; c < node->childCount(); ++c) out << node->child(c)->text(0);
        return out;
    }

    QStringList requests_;
};
