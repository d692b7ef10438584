#include "community/forms/frm_down_ld.h"

#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "community/cls_download.h"
#include "community/ebook_library.h"
#include "community/ebook_tables.h"
#include "community/forms/group_list_view.h"
#include "community/forms/main_tree_refresh.h"
#include "community/group_window_columns.h"
#include "community/soft_no.h"
#include "community/translated.h"
#include "frame/forms/program_icon.h"
#include "frame/forms/window_utils.h"
#include "frame/http_procedures.h"
#include "mainwin/tree_pages.h"
#include "platform/dao/dao_error.h"
#include "platform/http/http_client.h"
#include "platform/interaction/do_events.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "store/data_ops.h"

namespace {

constexpr int kFrameHeight = 600;
constexpr int kImageSize = 480;
constexpr int kKeyRole = Qt::UserRole;
const QString kCaption = QStringLiteral("电子文档下载");
// How long an opening with an empty list waits for the server before it says it cannot reach it.
constexpr int kProbeTimeoutMs = 5000;
const QString kListTable = QStringLiteral("newdown_eb");

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, int left) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(TwipsRect(left, 120, 1300, 400));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

FrmDownLd::FrmDownLd(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FrmDownLd"));
    setWindowTitle(kCaption);
    resize(TwipsToPixels(10200), TwipsToPixels(6600));

    listView1_ = new QTreeWidget(this);
    listView1_->setObjectName(QStringLiteral("ListView1"));
    listView1_->setRootIsDecorated(false);
    listView1_->setAllColumnsShowFocus(true);
    listView1_->setUniformRowHeights(true);
    listView1_->header()->setStretchLastSection(false);
    listView1_->viewport()->installEventFilter(this);

    frame1_ = new QFrame(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setFixedHeight(TwipsToPixels(kFrameHeight));
    frame1_->setFixedWidth(TwipsToPixels(7200));
    cmdOK_ = Button(frame1_, QStringLiteral("CmdOK"), QStringLiteral("开始下载"), 100);
    cmdReFind_ = Button(frame1_, QStringLiteral("CmdReFind"), QStringLiteral("重新查找"), 1500);
    cmdPublication_ = Button(frame1_, QStringLiteral("CmdPublication"), QStringLiteral("发布文档"), 2900);
    cmdCancel_ = Button(frame1_, QStringLiteral("CmdCancel"), QStringLiteral("取消"), 4300);
    // The stop button takes the cancel button's place while a batch runs.
    cmdStpDown_ = Button(frame1_, QStringLiteral("CmdStpDown"), QStringLiteral("取消下载"), 4300);
    cmdStpDown_->hide();
    cmdOK_->setEnabled(false);

    lblState_ = new QLabel(this);
    lblState_->setObjectName(QStringLiteral("Lblstate"));
    lblState_->hide();
    pBar_ = new QProgressBar(this);
    pBar_->setObjectName(QStringLiteral("PBar"));
    pBar_->setTextVisible(false);
    pBar_->hide();
    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setPixmap(ProgramIcon().pixmap(TwipsToPixels(kImageSize)));
    image1_->resize(TwipsToPixels(kImageSize), TwipsToPixels(kImageSize));

    connect(cmdOK_, &QPushButton::clicked, this, &FrmDownLd::CmdOK_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &FrmDownLd::CmdCancel_Click);
    connect(cmdStpDown_, &QPushButton::clicked, this, &FrmDownLd::CmdStpDown_Click);
    connect(cmdReFind_, &QPushButton::clicked, this, &FrmDownLd::CmdReFind_Click);
    connect(cmdPublication_, &QPushButton::clicked, this, &FrmDownLd::CmdPublication_Click);
    connect(listView1_, &QTreeWidget::itemChanged, this, [this] { ListView1_Click(); });
    Form_Resize();
}

FrmDownLd::~FrmDownLd() = default;

void FrmDownLd::RegisterForm() {
    FormRegistry::Register(QStringLiteral("FrmDownLd"), [] {
        auto* form = new FrmDownLd;
        form->Form_Load();
        return form;
    });
}

void FrmDownLd::Form_Load() {
    App().SoftNo = MakeSoftNo();
    softNo_ = App().SoftNo;
    setWindowIcon(ProgramIcon());
    FillEbookList();
    if (const auto& translator = App().Translator) translator->SetLanguage(this);
    if (listView1_->topLevelItemCount() == 0) tellWhyEmpty();
}

void FrmDownLd::tellWhyEmpty() {
    auto* probe = new AsyncHttpGet(this);
    connect(probe, &AsyncHttpGet::finished, this, [this, probe](const QString&, bool answered) {
        probe->deleteLater();
        if (running_ || listView1_->topLevelItemCount() > 0) return;
        lblState_->setText(Translated(
            answered ? QStringLiteral("列表是空的：请按“重新查找”从服务器查找电子文档。")
                     : QStringLiteral(
                           "无法连接服务器，取不到电子文档列表。请检查网络连接，稍后按“重新查找”再试。")));
        lblState_->show();
    });
    probe->start(BuildUrl(GetServerBaseUrl(), QStringLiteral("/flsh2/getbookodklj.asp"), {}),
                 kProbeTimeoutMs);
}

void FrmDownLd::Form_Resize() {
    const int w = width();
    const int h = height();
    const int frame = frame1_->height();
    const int bottom = TwipsToPixels(420);
    listView1_->setGeometry(0, 0, qMax(0, w - TwipsToPixels(100)), qMax(0, h - frame - bottom));
    image1_->move(w - image1_->width() - TwipsToPixels(100), h - image1_->height() - TwipsToPixels(400));
    frame1_->move(0, h - frame - bottom);
    // Between batches the label has the whole width: it then says why the list is empty.
    const int margin = TwipsToPixels(100);
    lblState_->setGeometry(margin, h - bottom + 4, pBar_->isHidden() ? qMax(0, w - 2 * margin) : w / 2,
                           bottom - 8);
    pBar_->setGeometry(w / 2 + TwipsToPixels(100), h - bottom + 6,
                       qMax(0, w / 2 - image1_->width() - TwipsToPixels(400)), bottom - 12);
}

void FrmDownLd::Form_Unload() {
    // By the layout's own names: the headers may show them converted to the other script.
    QList<ListColumn> columns;
    for (int k = 0; k < columnNames_.size(); ++k)
        columns.append({columnNames_[k], listView1_->columnWidth(k) * 15});
    try {
        group_window_columns::Store(kListTable, columns);
    } catch (const dao::DaoError&) {
        // A layout that cannot be written only costs the widths next time.
    }
}

void FrmDownLd::FillEbookList() {
    QSignalBlocker quiet(listView1_);
    listView1_->clear();
    QList<ListColumn> columns;
    QList<ebook_library::Row> rows;
    try {
        EnsureEbookTables();
        columns = group_window_columns::Shown(kListTable);
        rows = ebook_library::Rows(columns);
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
    }
    columnNames_.clear();
    for (const auto& column : columns) columnNames_ << column.caption;
    listView1_->setColumnCount(int(qMax<qsizetype>(1, columns.size())));
    listView1_->setHeaderLabels(columnNames_);
    for (int k = 0; k < columns.size(); ++k)
        listView1_->setColumnWidth(k, TwipsToPixels(columns[k].widthTwips));
    for (const auto& row : rows) {
        auto* item = new QTreeWidgetItem(listView1_, row.texts);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setData(0, kKeyRole, row.key);
    }
    if (listView1_->topLevelItemCount() > 0) {
        listView1_->setCurrentItem(listView1_->topLevelItem(0));
        // Why the list was empty no longer holds.
        if (!running_) lblState_->hide();
    }
    ListView1_Click();
}

void FrmDownLd::ListView1_Click() {
    if (running_) return;
    bool any = false;
    for (int i = 0; i < listView1_->topLevelItemCount() && !any; ++i)
        any = listView1_->topLevelItem(i)->checkState(0) == Qt::Checked;
    cmdOK_->setEnabled(any);
}

void FrmDownLd::ListView1_MouseDown(int button) {
    // A new list would pull the items from under a running batch.
    if (button != 2 || running_) return;
    if (GroupListView::ChooseColumns(kListTable)) FillEbookList();
}

bool FrmDownLd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == listView1_->viewport() && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        ListView1_MouseDown(2);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FrmDownLd::CmdCancel_Click() {
    close();
}

void FrmDownLd::CmdReFind_Click() {
    if (running_) return;
    App().ListDialogOk = 1;
    UI().ShowForm(QStringLiteral("FrmSearch"), true);
    if (App().ListDialogOk != 0) FillEbookList();
}

void FrmDownLd::CmdPublication_Click() {
    AppState& app = App();
    app.SelectedNodeIndex = 0;
    app.SoftNo = softNo_;
    // With no list row the publication is a new e-book: an empty library must not stay empty for ever.
    const QTreeWidgetItem* item = listView1_->currentItem();
    if (!item && listView1_->topLevelItemCount() > 0) item = listView1_->topLevelItem(0);
    if (item) app.SelectedNodeIndex = ebook_library::ItemId(item->data(0, kKeyRole).toString());
    UI().ShowForm(QStringLiteral("FrmGetInfo"), false);
}

bool FrmDownLd::confirmStop() {
    return UI().MsgBox(Translated(QStringLiteral("您是否已下定决心停止下载？")),
                       vb::YesNo + vb::Exclamation + vb::DefaultButton2) == vb::Yes;
}

void FrmDownLd::CmdStpDown_Click() {
    if (!running_ || !confirmStop()) return;
    stopRequested_ = true;
    userStopped_ = true;
    if (tg_) tg_->CloseAll();
}

void FrmDownLd::setRunning(bool running) {
    running_ = running;
    cmdCancel_->setVisible(!running);
    cmdStpDown_->setVisible(running);
    cmdReFind_->setEnabled(!running);
    cmdOK_->setEnabled(false);
    lblState_->setText(QString());
    lblState_->setVisible(running);
    if (!running) {
        pBar_->hide();
        Form_Resize();
        ListView1_Click();
    }
}

void FrmDownLd::CmdOK_Click() {
    if (running_) return;
    setRunning(true);
    delete tg_;
    tg_ = new clsDownLoad(this);
    connect(tg_, &clsDownLoad::GetData, this, &FrmDownLd::tg_GetData);
    connect(tg_, &clsDownLoad::ErrMassage, this, &FrmDownLd::tg_ErrMassage);
    connect(tg_, &clsDownLoad::DownLoadOver, this, [this] { downloadDone_ = true; });
    stopRequested_ = false;
    userStopped_ = false;
    imported_ = 0;
    missing_ = 0;
    failed_ = 0;
    TreeChangeMark changing;

    const int n = listView1_->topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        if (listView1_->topLevelItem(i)->checkState(0) != Qt::Checked) continue;
        cmdStpDown_->setEnabled(true);
        if (!fetch(i)) break;
    }
    if (imported_ > 0) RebuildMainTreesAfterImport();

    App().StrgPswdDigest.clear();
    setRunning(false);
    if (closeAfterBatch_) {
        close();
        return;
    }
    const ebook_library::BatchOutcome outcome{userStopped_, imported_, missing_, failed_};
    UI().MsgBox(outcome.Text(), outcome.Style());
}

bool FrmDownLd::fetch(int index) {
    QTreeWidgetItem* item = listView1_->topLevelItem(index);
    const QString key = item->data(0, kKeyRole).toString();
    ebook_library::Book book;
    try {
        book = ebook_library::BookOf(ebook_library::ItemId(key));
    } catch (const dao::DaoError& e) {
        UI().MsgBox(e.Description(), vb::Critical);
        stopRequested_ = true;
    }
    App().StrgPswdDigest = book.digest;
    currentBookName_ = book.name;
    // A stopped batch passes over the items left; they stay checked.
    if (stopRequested_ || !book.found) return !stopRequested_;

    const QString staging = EbookStagingPath();
    QFile::remove(staging);
    tg_->setURL(book.url);
    tg_->setSaveFile(staging);
    lblState_->setText(ebook_library::ConnectingText());
    DoEvents();
    tg_->CloseAll();
    tg_->Execute();
    DoEvents();
    if (stopRequested_ || !tg_->IsOpen()) {
        if (!userStopped_) ++failed_;
        return false;
    }

    const int status = tg_->StatusCode();
    if (status == 404 || status == 410) {
        // The server has no such file: passed over, and counted in the batch's outcome.
        ++missing_;
        tg_->CloseAll();
    } else {
        contentLength_ = tg_->ContentLength();
        lblState_->setText(ebook_library::StartText(currentBookName_, qMax<qint64>(0, contentLength_)));
        // Without a length the bar only shows that something is going on.
        pBar_->setRange(0, contentLength_ >= 0 ? int(qMin<qint64>(contentLength_ + 1, INT_MAX)) : 0);
        pBar_->setValue(0);
        pBar_->show();
        Form_Resize();
        downloadDone_ = false;
        const bool saved = tg_->StartDownLoad();
        DoEvents();
        if (saved && downloadDone_) {
            cmdStpDown_->setEnabled(false);
            QString error;
            if (ebook_library::ImportDownloaded(book, key, &error) == 0) {
                ++imported_;
                const int shownCount = int(columnNames_.indexOf(QStringLiteral("已下载")));
                if (shownCount >= 0)
                    item->setText(shownCount, QString::number(item->text(shownCount).toLongLong() + 1));
            } else {
                ++failed_;
                UI().MsgBox(
                    Translated(QStringLiteral("电子文档“%1”未能导入：")).arg(currentBookName_) + error,
                    vb::Critical);
            }
        } else if (!userStopped_) {
            ++failed_;
        }
    }
    DoEvents();
    item->setCheckState(0, Qt::Unchecked);
    return true;
}

void FrmDownLd::tg_GetData(qint64 bytes) {
    if (pBar_->maximum() > 0) pBar_->setValue(int(qMin<qint64>(bytes, pBar_->maximum())));
    lblState_->setText(ebook_library::ProgressText(currentBookName_, bytes, qMax<qint64>(0, contentLength_)));
}

void FrmDownLd::tg_ErrMassage(const QString& text) {
    downloadDone_ = false;
    stopRequested_ = true;
    UI().MsgBox(text, vb::Critical);
}

void FrmDownLd::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The batch must wind down first; the window closes when it has.
        event->ignore();
        if (!confirmStop()) return;
        closeAfterBatch_ = true;
        stopRequested_ = true;
        if (tg_) tg_->CloseAll();
        return;
    }
    Form_Unload();
    event->accept();
}

void FrmDownLd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}
