// The print command of the book toolbar: the print-format dialog, then its command string carried out
// for the selected member's branch.
#include "frame/app_state.h"
#include "frame/text_utils.h"
#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/member_tree_widget.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/print_zp.h"

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
        if (format == u'0') printChart(name, title);
    }
}

void dsptree::printChart(const QString& name, const QString& title) {
    App().FormParamString = title;
    if (!clsPrintZp().PrintPxt(name, false)) return;
    PresetChartPreview();
    UI().ShowForm(QStringLiteral("Pxt_Brw"), true);
}
