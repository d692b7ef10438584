#include "member/forms/frm_col_select.h"
#include "frame/forms/window_utils.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "frame/app_state.h"
#include "frame/language.h"
#include "platform/dao/dao_database.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"

namespace {

// Shown columns are numbered from 50, the others from 100, so that "order by col_visible,seqno" lists the
// shown ones first in their order.
constexpr int kFirstShown = 50;
constexpr int kFirstHidden = 100;
constexpr int kShown = 2;
constexpr int kNotShown = 3;

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QListWidget* List(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QLabel* Label(QWidget* parent, const QString& name, const QString& caption, const QRect& geometry) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

// Writes one column's layout: the first row of the column is edited, a column without a row gets one.
// col_width stays as the list window saved it.
void WriteColumn(dao::Database& db, const QString& table, const QString& column, int seqno, int visible) {
    const QVariant row =
        db.Scalar(QStringLiteral("SELECT rowid FROM \"rowcolctrl\" WHERE \"table_name\" = ? AND "
                                 "\"col_name\" = ? ORDER BY rowid LIMIT 1"),
                  {table, column});
    if (row.isNull()) {
        db.Execute(QStringLiteral("INSERT INTO \"rowcolctrl\" (\"table_name\", \"col_name\", \"seqno\", "
                                  "\"col_visible\") VALUES (?, ?, ?, ?)"),
                   {table, column, seqno, visible});
    } else {
        db.Execute(
            QStringLiteral("UPDATE \"rowcolctrl\" SET \"table_name\" = ?, \"col_name\" = ?, \"seqno\" = ?, "
                           "\"col_visible\" = ? WHERE rowid = ?"),
            {table, column, seqno, visible, row});
    }
}

}  // namespace

FrmColSelect::FrmColSelect(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmColSelect"));
    setWindowTitle(QStringLiteral("选择显示的列"));
    setFixedSize(TwipsToPixels(5760), TwipsToPixels(4080));

    label1_ =
        Label(this, QStringLiteral("Label1"), QStringLiteral("不显示的列："), TwipsRect(240, 160, 1800, 255));
    list1_ = List(this, QStringLiteral("List1"), TwipsRect(240, 450, 1800, 2775));
    label2_ =
        Label(this, QStringLiteral("Label2"), QStringLiteral("显示的列："), TwipsRect(2895, 160, 1800, 255));
    list2_ = List(this, QStringLiteral("List2"), TwipsRect(2895, 450, 1800, 2775));

    cmdSelectOne_ =
        Button(this, QStringLiteral("CmdSelectOne"), QStringLiteral("->"), TwipsRect(2160, 900, 615, 375));
    cmdUnSelectOne_ =
        Button(this, QStringLiteral("CmdUnSelectOne"), QStringLiteral("<-"), TwipsRect(2160, 1440, 615, 375));
    cmdUp_ = Button(this, QStringLiteral("CmdUp"), QStringLiteral("上移"), TwipsRect(4815, 900, 735, 375));
    cmdDown_ =
        Button(this, QStringLiteral("CmdDown"), QStringLiteral("下移"), TwipsRect(4815, 1440, 735, 375));
    cmdApply_ =
        Button(this, QStringLiteral("CmdApply"), QStringLiteral("确  定"), TwipsRect(1680, 3420, 1215, 420));
    cmdCancel_ =
        Button(this, QStringLiteral("CmdCancel"), QStringLiteral("取  消"), TwipsRect(3120, 3420, 1215, 420));

    connect(cmdSelectOne_, &QPushButton::clicked, this, &FrmColSelect::CmdSelectOne_Click);
    connect(cmdUnSelectOne_, &QPushButton::clicked, this, &FrmColSelect::CmdUnSelectOne_Click);
    connect(cmdUp_, &QPushButton::clicked, this, &FrmColSelect::CmdUp_Click);
    connect(cmdDown_, &QPushButton::clicked, this, &FrmColSelect::CmdDown_Click);
    connect(cmdApply_, &QPushButton::clicked, this, &FrmColSelect::CmdApply_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmColSelect::CmdCancel_Click);
}

void FrmColSelect::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmColSelect"), []() -> QObject* {
        auto* form = new FrmColSelect;
        form->setDestTable(App().FormParamString);
        form->Form_Load();
        return form;
    });
}

void FrmColSelect::showEvent(QShowEvent* event) {
    Form_Load();
    QDialog::showEvent(event);
}

void FrmColSelect::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    setWindowIcon(QApplication::windowIcon());
    list1_->clear();
    list2_->clear();
    dao::Recordset rs = App().DataDb.OpenRecordset(
        QStringLiteral("SELECT \"col_name\", \"col_visible\" FROM \"rowcolctrl\" WHERE \"table_name\" = ? "
                       "ORDER BY \"seqno\", rowid"),
        {destTable_});
    for (; !rs.EOF_(); rs.MoveNext()) {
        // A row without a visibility is neither shown nor hidden: it stays out of both lists.
        if (rs.IsNull("col_visible")) continue;
        const qint64 visible = rs.Long("col_visible");
        (visible < kNotShown ? list2_ : list1_)->addItem(rs.Text("col_name"));
    }
    rs.Close();
    if (App().Translator) App().Translator->SetLanguage(this);
}

void FrmColSelect::moveSelected(QListWidget* from, QListWidget* to) {
    const int row = from->currentRow();
    if (row < 0 || !from->item(row)->isSelected()) return;
    const QString text = from->item(row)->text();
    if (text.isEmpty()) return;
    to->addItem(text);
    delete from->takeItem(row);
    // As after removing the selected entry of a list box: nothing is selected any more.
    from->setCurrentRow(-1);
    from->clearSelection();
}

void FrmColSelect::CmdSelectOne_Click() {
    moveSelected(list1_, list2_);
}

void FrmColSelect::CmdUnSelectOne_Click() {
    moveSelected(list2_, list1_);
}

void FrmColSelect::swapWith(int row, int other) {
    QListWidgetItem* a = list2_->item(row);
    QListWidgetItem* b = list2_->item(other);
    const QString text = a->text();
    a->setText(b->text());
    b->setText(text);
    // The moved column stays selected.
    list2_->setCurrentRow(other);
}

void FrmColSelect::CmdUp_Click() {
    const int row = list2_->currentRow();
    if (row >= 1 && list2_->item(row)->isSelected()) swapWith(row, row - 1);
}

void FrmColSelect::CmdDown_Click() {
    const int row = list2_->currentRow();
    if (row >= 0 && row < list2_->count() - 1 && list2_->item(row)->isSelected()) swapWith(row, row + 1);
}

void FrmColSelect::CmdApply_Click() {
    if (list2_->count() == 0) {
        const auto& translator = App().Translator;
        const QString message = QStringLiteral("至少必须选用一列！");
        UI().MsgBox(translator ? translator->TransLanguage(message) : message, vb::Critical);
        return;
    }
    // A button handler must not let a database error escape into the event loop: the layout stays as
    // it was, the user is told, and the dialog stays open.
    try {
        dao::Database& db = App().DataDb;
        dao::Transaction trans = db.BeginTrans();
        for (int i = 0; i < list2_->count(); ++i)
            WriteColumn(db, destTable_, list2_->item(i)->text(), kFirstShown + i, kShown);
        for (int i = 0; i < list1_->count(); ++i)
            WriteColumn(db, destTable_, list1_->item(i)->text(), kFirstHidden + i, kNotShown);
        trans.Commit();
    } catch (const dao::DaoError& error) {
        UI().MsgBox(error.Description(), vb::Critical);
        return;
    }
    // ListDialogOk stays as the caller set it, so the list is rebuilt.
    accept();
}

void FrmColSelect::CmdCancel_Click() {
    reject();
}

void FrmColSelect::reject() {
    App().ListDialogOk = 0;
    QDialog::reject();
}
