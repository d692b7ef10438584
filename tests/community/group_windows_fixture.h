#pragma once

#include <QAction>
#include <QHash>
#include <QPushButton>
#include <QTreeWidget>
#include <ostream>

#include "community/forms/group_list_view.h"
#include "online/online_book_fixture.h"
#include "store/data_ops.h"

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Accounts on a server of the test's own, a book, and a stand-in main window whose association button
// shows the tool tip the windows set.
class GroupWindowsTest : public OnlineBookTest {
protected:
    void SetUp() override {
        OnlineBookTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        db_ = OpenTestConnection();
        cmd_.SetActiveConnection(db_.get());
        mainWindow_.setObjectName(QStringLiteral("dsptree"));
        groupButton_ = new QAction(&mainWindow_);
        groupButton_->setObjectName(QStringLiteral("b_group"));
        mainWindow_.show();
    }

    qint32 account(const QString& number, const QString& nick, int level = 0) {
        const qint32 id = RegisterTestAccount(cmd_, number, nick, level);
        numbers_.insert(id, number);
        return id;
    }
    // The program's user logged on as the account, in the association given.
    void logOnAs(qint32 account, qint32 group = 0) {
        ASSERT_EQ(LogOnProgramUser(numbers_.value(account)), account);
        App().CurrentUser->curGroup_Id = group;
    }
    // The account's association, state and position on the server: "group|state|position|last group".
    QString serverState(qint32 account) {
        return server_->admin()
            .exec(QStringLiteral("SELECT group_id || '|' || group_state || '|' || position_id || '|' || "
                                 "lastgroup_id FROM accounts WHERE acc_id = %1")
                      .arg(account))
            .rows.value(0)
            .value(0);
    }
    // The cell texts of every row of a list, "|"-joined.
    static QStringList shown(const QTreeWidget* list) {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QStringList cells;
            for (int c = 0; c < list->columnCount(); ++c) cells << list->topLevelItem(i)->text(c);
            out << cells.join(u'|');
        }
        return out;
    }
    // Which of the buttons are enabled, as "1"/"0" in the order given.
    template <typename Form>
    static QString enabled(const Form& form, std::initializer_list<const char*> names) {
        QString out;
        for (const char* name : names)
            out +=
                form.template findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled() ? u'1' : u'0';
        return out;
    }
    static void click(GroupListView* list, int row, bool checked = true) {
        list->setRowChecked(list->topLevelItem(row), checked);
    }

    std::unique_ptr<DoorConnection> db_;
    ServerCommand cmd_;
    QHash<qint32, QString> numbers_;  // account id -> number
    QWidget mainWindow_;
    QAction* groupButton_ = nullptr;
};
