// The print command of the book toolbar: the print-format dialog, then its command string carried out
// for the selected member's branch.
#include "frame/app_state.h"
#include "frame/progress.h"
#include "frame/text_utils.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/main_window_shared.h"
#include "mainwin/forms/member_tree_widget.h"
#include "mainwin/forms/page_print_preview.h"
#include "mainwin/forms/page_viewer.h"
#include "mainwin/forms/web_wait.h"
#include "platform/bookdir.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/book_output.h"
#include "print/chm_doc.h"
#include "print/print_zp.h"
#include "store/data_ops.h"

#include <QTreeWidgetItem>

namespace {

// Loading a long book takes its time; a viewer that never reports is given up on.
constexpr int kBookLoadTimeoutMs = 300000;

ChmTocNode TocOf(const QTreeWidgetItem* item) {
    ChmTocNode node{item->text(0), {}};
    node.children.reserve(size_t(item->childCount()));
    for (int i = 0; i < item->childCount(); ++i) node.children.push_back(TocOf(item->child(i)));
    return node;
}

}  // namespace

void dsptree::printBranch() {
    AppState& app = App();
    if (app.SelectedNodeIndex == 0 || app.SelectedNodeIndex > treeNodes_->Count()) return;
    const QString name = TextAfterBrace(treeNodes_->TextAt(app.SelectedNodeIndex));
    if (name.isEmpty()) return;
    app.FormParamString = name;
    UI().ShowForm(QStringLiteral("FrmPrintCtrl"), true);
    const QString command = app.FormParamString;
    if (command.isEmpty()) return;

    const QString title = command.mid(4);
    const QChar kind = command.at(0);
    if (kind == u'0') {
        const QChar format = command.size() > 1 ? command.at(1) : QChar();
        const bool details = command.at(2) != u'0';
        if (format == u'0') {
            printChart(name, title);
        } else if (format == u'1') {
            publishSite(name, title, details);
        } else if (format == u'2') {
            // The e-book is named after the member; the title is not used.
            app.FormParamString = name;
            const int index = app.SelectedNodeIndex;
            if (index == 0 || treeNodes_->ItemAt(index)->childCount() == 0) return;
            DataOps().Chm_标识世祖(name, index);
            buildEbook(index, details);
        }
    } else if (kind == u'3') {
        printBook(name, command.at(1), command.at(2) == u'1');
    }
}

void dsptree::printChart(const QString& name, const QString& title) {
    App().FormParamString = title;
    if (!clsPrintZp().PrintPxt(name, false)) return;
    PresetChartPreview();
    UI().ShowForm(QStringLiteral("Pxt_Brw"), true);
}

void dsptree::printBook(const QString& name, QChar style, bool vertical) {
    App().FormParamString = name;
    QStringList parts;
    {
        clsPrintZp printer;
        const quint8 flag = vertical ? 1 : 0;
        if (!(style == u'0' ? printer.打印文档(name, flag) : printer.传记谱(name, flag))) return;
        parts = printer.BookParts();
    }
    // A long book shows its first part: the whole would take longer to load than to print.
    SetDocumentLoaded(false);
    webBrowser1_->Navigate(parts.size() > 1 ? parts.first() : clsPrintZp::BookFile());
    ShowViewer();
    const bool loaded = WaitUntil([this] { return DocumentLoaded(); }, kBookLoadTimeoutMs);
    Progress().Hide();
    if (!loaded) {
        UI().MsgBox(mainwin::Trans(QStringLiteral("打印页未能在限定时间内装入，打印已取消。")), vb::Critical);
    } else {
        ShowBookPrintPreview(this, parts);
    }
    // The book stays in tPrint.htm; its parts were only for printing.
    webBrowser1_->Navigate(QStringLiteral("about:blank"));
    BookOutput::RemoveParts();
}

void dsptree::publishSite(const QString& name, const QString& title, bool details) {
    App().FormParamString = title;
    clsPrintZp printer;
    if (!printer.PrintPxt(name, true)) return;
    printer.Lfn_to_html2(details);
}

void dsptree::buildEbook(int nodeIndex, bool details) {
    if (nodeIndex < 1 || nodeIndex > treeNodes_->Count()) return;
    ClsChmDoc().init_Nopen_Chm(TocOf(treeNodes_->ItemAt(nodeIndex)), details);
}
