#include "print/forms/pxt_brw.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSize>
#include <QPrinter>
#include <QScrollBar>
#include <QToolBar>
#include <cmath>

#include "frame/app_state.h"
#include "frame/system_utils.h"
#include "platform/dao/dao_error.h"
#include "platform/interaction/form_registry.h"
#include "platform/interaction/interaction.h"
#include "platform/vbcompat.h"
#include "print/chart_html_export.h"
#include "print/forms/chart_picture.h"
#include "print/painter_chart_canvas.h"
#include "print/print_messages.h"

namespace {

using print::Trans;

const QString kFace = QStringLiteral("宋体");
constexpr float kTopOffset = 1472.0f;
constexpr int kCellPadWidth = 12;
constexpr int kCellPadHeight = 30;
constexpr int kMaxLinesPerPage = 101;

struct ZoomRow {
    const char* caption;
    float factor;
    float large;
    float small;
};
// The captions as the list always showed them, two-digit levels with a leading space.
constexpr ZoomRow kZoom[] = {{"150%", 1.5f, 24, 14},     {"130%", 1.3f, 22, 12},   {"120%", 1.2f, 20, 11},
                             {"110%", 1.1f, 18, 10},     {"100%", 1.0f, 16, 9},    {" 90%", 0.9f, 14.5f, 8},
                             {" 80%", 0.8f, 12, 7},      {" 70%", 0.7f, 11, 6.5f}, {" 50%", 0.5f, 8, 4.5f},
                             {" 25%", 0.25f, 5.5f, 2.5f}};
constexpr int kZoom100 = 4;

enum class Paper { A3, A4, None };
struct PaperRow {
    const char* caption;
    bool translated;
    Paper paper;
    bool swapped;        // the printer's page turned: its height as width
    bool printerAtLoad;  // a printer's own page size at load (else the fixed size)
    bool printerChosen;  // ... and when the row is chosen
    double width;
    double height;
};
// A4 rows give A4 sizes; the codes and the order are those the stored preview state refers to.
constexpr PaperRow kPaper[] = {
    {"A3 297 X 420 毫米(正放)", false, Paper::A3, false, true, false, 16832, 23816},
    {"A3 420 X 297 毫米(横放)", false, Paper::A3, true, true, false, 23816, 16832},
    {"A4 210 X 297 毫米(正放)", false, Paper::A4, false, true, true, 11904, 16832},
    {"A4 297 X 210 毫米(横放)", false, Paper::A4, true, true, true, 16832, 11904},
    {"宽行（连续）打印纸", true, Paper::None, false, false, false, 21424, 15848},
    {"窄行（连续）打印纸", true, Paper::None, false, false, false, 12304, 15848},
    {"A3 420 X 297 毫米(横向)", false, Paper::A3, true, true, true, 23816, 16832},
    {"A4 297 X 210 毫米(横向)", false, Paper::A4, true, true, true, 16832, 11904},
};
constexpr int kPaperRows = int(std::size(kPaper));

QString PaperCaption(int row) {
    const QString caption = QString::fromUtf8(kPaper[row].caption);
    return kPaper[row].translated ? Trans(caption) : caption;
}

// The leading number of a box's text, 0 when it has none or it is too large to read.
double NumberIn(const QString& text) {
    try {
        return Val(text);
    } catch (const VbError&) {
        return 0;
    }
}

void SetPrinterPaper(QPrinter& printer, Paper paper) {
    if (paper == Paper::None) return;
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(QPageSize(paper == Paper::A3 ? QPageSize::A3 : QPageSize::A4));
}

}  // namespace

Pxt_Brw::Pxt_Brw(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Pxt_Brw"));
    setWindowTitle(QStringLiteral("世系图浏览器"));
    setWindowIcon(QApplication::windowIcon());
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    resize(1120, 760);
    BuildControls();
}

Pxt_Brw::~Pxt_Brw() = default;

void Pxt_Brw::RegisterForm() {
    FormRegistry::Register(QStringLiteral("Pxt_Brw"), []() -> QObject* { return new Pxt_Brw; });
}

void Pxt_Brw::BuildControls() {
    coolBar_ = new QWidget(this);
    coolBar_->setObjectName(QStringLiteral("CoolBar1"));
    auto* band = new QHBoxLayout(coolBar_);
    band->setContentsMargins(2, 2, 2, 2);
    toolbar_ = new QToolBar(coolBar_);
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    band->addWidget(toolbar_);

    const auto addKey = [this](const char* key, const char* caption, const char* tip) {
        QAction* action = toolbar_->addAction(QString::fromUtf8(caption));
        action->setObjectName(QString::fromLatin1(key));
        action->setToolTip(QString::fromUtf8(tip));
        connect(action, &QAction::triggered, this,
                [this, key] { Toolbar1_ButtonClick(QString::fromLatin1(key)); });
    };
    addKey("b_help", "帮助", "帮助");
    addKey("b_print", "打印", "打印");
    addKey("btype2", "纵线", "纵向表格线");
    addKey("btype10", "十字", "十字表格线");
    addKey("preview", "预视", "预视报表");
    addKey("offview", "缩放", "缩放报表内容");
    addKey("b_esc", "退出", "退出");
    toolbar_->addSeparator();

    const auto makeList = [this](const char* name, int widthTwips) {
        auto* list = new QComboBox(toolbar_);
        list->setObjectName(QString::fromLatin1(name));
        list->setEditable(true);
        list->lineEdit()->setReadOnly(true);
        list->setFixedWidth(int(std::lround(widthTwips / ChartPicture::kTwipsPerPixel)));
        toolbar_->addWidget(list);
        return list;
    };
    zoomText_ = makeList("ZoomText", 1750);
    paperText_ = makeList("PaperText", 2700);
    connect(zoomText_, &QComboBox::activated, this, &Pxt_Brw::ZoomText_Click);
    connect(paperText_, &QComboBox::activated, this, &Pxt_Brw::PaperText_Click);
    toolbar_->addSeparator();

    addKey("firstpage", "首页", "第一页");
    addKey("prepage", "前页", "前一页");
    addKey("nextpage", "后页", "后一页");
    addKey("lastpage", "末页", "最后一页");
    const auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(QString::fromUtf8(text), toolbar_);
        l->setObjectName(QString::fromLatin1(name));
        toolbar_->addWidget(l);
        return l;
    };
    const auto box = [this](const char* name, bool editable) {
        auto* b = new QLineEdit(toolbar_);
        b->setObjectName(QString::fromLatin1(name));
        b->setFixedWidth(40);
        b->setReadOnly(!editable);
        if (editable) b->setToolTip(QStringLiteral("可修改"));
        toolbar_->addWidget(b);
        return b;
    };
    label("Text3", "第");
    pageText_ = box("PageText", true);
    label("Text2", "/");
    allPageText_ = box("AllPageText", false);
    text4_ = label("Text4", "页");
    text5_ = label("Text5", "  每页");
    pageLines_ = box("PageLines", true);
    label("Text7", "行");
    toolbar_->addSeparator();
    addKey("b_excel", "Html", "所有页转成Html文件。");

    picture_ = new ChartPicture(this);
    picture_->setObjectName(QStringLiteral("Picture1"));
    picture11_ = new QWidget(this);
    picture11_->setObjectName(QStringLiteral("Picture11"));
    hScroll_ = new QScrollBar(Qt::Horizontal, this);
    hScroll_->setObjectName(QStringLiteral("HScroll11"));
    vScroll_ = new QScrollBar(Qt::Vertical, this);
    vScroll_->setObjectName(QStringLiteral("VScroll11"));
    for (QScrollBar* bar : {hScroll_, vScroll_}) {
        bar->setSingleStep(500);
        bar->setPageStep(5000);
        connect(bar, &QScrollBar::valueChanged, this, [this] {
            ArrangeBrowser();
            picture_->setFocus();
        });
    }
    // The window sees every key before its controls do.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        if (child->focusPolicy() != Qt::NoFocus) child->installEventFilter(this);
    Key(QStringLiteral("offview"))->setVisible(false);
}

QAction* Pxt_Brw::Key(const QString& key) const {
    return toolbar_->findChild<QAction*>(key);
}

bool Pxt_Brw::InPreviewMode() const {
    return !Key(QStringLiteral("preview"))->isVisible();
}

QSizeF Pxt_Brw::PaperSize(int row, bool atLoad) {
    const PaperRow& paper = kPaper[row];
    if (printerAvailable_ && paper.paper != Paper::None) SetPrinterPaper(*printer_, paper.paper);
    if (!printerAvailable_ || !(atLoad ? paper.printerAtLoad : paper.printerChosen))
        return {paper.width, paper.height};
    const QSizeF points = printer_->pageLayout().fullRectPoints().size();
    const QSizeF twips(points.width() * 20, points.height() * 20);
    return paper.swapped ? twips.transposed() : twips;
}

void Pxt_Brw::SetPictureSize(double widthTwips, double heightTwips) {
    picture_->SetPageSize(widthTwips, heightTwips);
    ArrangeBrowser();
}

void Pxt_Brw::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    AppState& app = App();
    printerAvailable_ = PrinterAvailable();
    if (printerAvailable_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);

    const int row = std::clamp<int>(app.PreviewPaperKind, 0, kPaperRows - 1);
    paperText_->setEditText(PaperCaption(row));
    const QSizeF page = PaperSize(row, true);
    app.PreviewTopOffset = kTopOffset;
    SetPictureSize(page.width(), page.height());

    {
        QImage probe(1, 1, QImage::Format_RGB32);
        probe.setDotsPerMeterX(picture_->image().dotsPerMeterX());
        probe.setDotsPerMeterY(picture_->image().dotsPerMeterY());
        PainterChartCanvas measure =
            printer_ ? PainterChartCanvas(*printer_, nullptr) : PainterChartCanvas(probe, nullptr);
        measure.SetFont(kFace, app.PreviewSmallFontSize, false);
        app.PreviewCellWidth = qint16(std::lround(measure.TextWidth(QStringLiteral("国"))) + kCellPadWidth);
        app.PreviewCellHeight =
            qint16(std::lround(measure.TextHeight(QStringLiteral("国"))) + kCellPadHeight);
    }
    zoom_ = 1.0f;
    base_ = {double(app.PreviewCellWidth),
             double(app.PreviewCellHeight),
             page.width(),
             page.height(),
             app.PreviewSmallFontSize,
             app.PreviewFontSize};

    QAction* type2 = Key(QStringLiteral("btype2"));
    QAction* type10 = Key(QStringLiteral("btype10"));
    type2->setVisible(app.PreviewParamD == 2);
    type10->setVisible(app.PreviewParamD != 2);
    type10->setEnabled(app.PreviewParamD == 10 || app.PreviewParamD == 2);

    ShowPage(1);
    ChartText chart;
    try {
        chart = ChartText::Load(app.DataDb);
    } catch (const dao::DaoError& e) {
        UI().MsgBox(Trans(QStringLiteral("读取世系图出错：")) + e.Description(), vb::Critical);
    }
    renderer_ = std::make_unique<ChartRenderer>(std::move(chart));
    ComputePagination();

    if (app.Translator) app.Translator->SetLanguage(this);
    text4_->setText(Trans(QStringLiteral("页")));
    text5_->setText(Trans(QStringLiteral("  每页")));
}

void Pxt_Brw::Form_Activate() {
    if (activated_) return;
    activated_ = true;
    ArrangeBrowser();
    for (const ZoomRow& zoom : kZoom) zoomText_->addItem(QString::fromUtf8(zoom.caption));
    const QString paperShown = paperText_->currentText();
    for (int row = 0; row < kPaperRows; ++row) paperText_->addItem(PaperCaption(row));
    paperText_->setEditText(paperShown);
    // Only shown: the sizes stay those of the load until a zoom level is picked.
    zoomText_->setEditText(QString::fromUtf8(kZoom[kZoom100].caption));
    DrawPage();
    DrawGuideLines(Qt::black);
}

void Pxt_Brw::showEvent(QShowEvent* event) {
    Form_Load();
    QDialog::showEvent(event);
    Form_Activate();
}

void Pxt_Brw::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ArrangeBrowser();
}

void Pxt_Brw::done(int result) {
    EmptyChartTable(App().DataDb);
    QDialog::done(result);
}

void Pxt_Brw::ShowPage(int page) {
    page_ = page;
    pageText_->setText(QString::number(page));
}

void Pxt_Brw::ComputePagination() {
    const AppState& app = App();
    const int rows = InPreviewMode()
                         ? ChartRenderer::RowsOnPage(picture_->HeightTwips(), app.PreviewCellHeight)
                         : ChartRenderer::RowsOnPage(base_.pageHeight, base_.cellHeight);
    lines_ = ChartRenderer::LinesPerPage(rows);
    pageLines_->setText(QString::number(lines_));
    pageCount_ = renderer_->PageCount(lines_);
    allPageText_->setText(QString::number(pageCount_));
    UpdatePageKeys();
}

void Pxt_Brw::UpdatePageKeys() {
    const ChartPageKeys keys = ChartRenderer::PageKeys(page_, pageCount_);
    Key(QStringLiteral("firstpage"))->setEnabled(keys.first);
    Key(QStringLiteral("prepage"))->setEnabled(keys.previous);
    Key(QStringLiteral("nextpage"))->setEnabled(keys.next);
    Key(QStringLiteral("lastpage"))->setEnabled(keys.last);
}

void Pxt_Brw::DrawPage() {
    if (!renderer_) return;
    int drawn = page_;
    std::unique_ptr<PainterChartCanvas> measure;
    if (printer_) measure = std::make_unique<PainterChartCanvas>(*printer_, nullptr);
    picture_->Paint([&](ChartCanvas& canvas) {
        drawn = renderer_->DrawChartPage(canvas, false, measure.get(), page_, lines_);
    });
    if (drawn != page_) ShowPage(drawn);
}

void Pxt_Brw::DrawGuideLines(const QColor& color) {
    picture_->Paint([&](ChartCanvas& canvas) { ChartRenderer::DrawGuideLines(canvas, color); });
}

void Pxt_Brw::ZoomText_Click(int index) {
    if (index < 0 || index >= int(std::size(kZoom))) return;
    AppState& app = App();
    const ZoomRow& zoom = kZoom[index];
    app.PreviewFontSize = zoom.large;
    app.PreviewSmallFontSize = zoom.small;
    zoom_ = zoom.factor;
    app.PreviewCellWidth = qint16(std::nearbyint(base_.cellWidth * zoom_));
    app.PreviewCellHeight = qint16(std::nearbyint(base_.cellHeight * zoom_));
    if (!InPreviewMode()) {
        SetPictureSize(base_.pageWidth * zoom_, base_.pageHeight * zoom_);
    } else {
        SetPictureSize(base_.pageWidth, base_.pageHeight);
        ComputePagination();
    }
    DrawPage();
    DrawGuideLines(Qt::black);
}

void Pxt_Brw::PaperText_Click(int index) {
    if (index < 0 || index >= kPaperRows) return;
    AppState& app = App();
    app.PreviewTopOffset = kTopOffset;
    const QSizeF page = PaperSize(index, false);
    base_.pageWidth = page.width();
    base_.pageHeight = page.height();
    app.PreviewPaperKind = quint8(index);
    const double scale = InPreviewMode() ? 1.0 : zoom_;
    SetPictureSize(base_.pageWidth * scale, base_.pageHeight * scale);
    ComputePagination();
    DrawPage();
    DrawGuideLines(Qt::black);
}

void Pxt_Brw::Toolbar1_ButtonClick(const QString& key) {
    if (key == QStringLiteral("b_print")) {
        PrintPages();
        return;
    }
    if (key == QStringLiteral("b_esc")) {
        reject();
        return;
    }
    if (key == QStringLiteral("b_excel")) {
        if (renderer_) ExportChartHtml(renderer_->chart());
        return;
    }
    if (key == QStringLiteral("preview") || key == QStringLiteral("offview")) {
        const bool preview = key == QStringLiteral("preview");
        Key(QStringLiteral("preview"))->setVisible(!preview);
        Key(QStringLiteral("offview"))->setVisible(preview);
        const double scale = preview ? 1.0 : zoom_;
        SetPictureSize(base_.pageWidth * scale, base_.pageHeight * scale);
        ComputePagination();
        DrawPage();
        DrawGuideLines(Qt::black);
        return;
    }
    int page = 0;
    if (key == QStringLiteral("firstpage"))
        page = 1;
    else if (key == QStringLiteral("prepage"))
        page = page_ <= 1 ? 1 : page_ - 1;
    else if (key == QStringLiteral("nextpage"))
        page = pageCount_ <= page_ ? pageCount_ : page_ + 1;
    else if (key == QStringLiteral("lastpage"))
        page = pageCount_;
    else
        return;
    ShowPage(std::max(page, 1));
    UpdatePageKeys();
    DrawPage();
    DrawGuideLines(Qt::black);
}

void Pxt_Brw::PageText_LostFocus() {
    const double value = NumberIn(pageText_->text());
    const int page = value >= 1 && value <= pageCount_ ? int(std::nearbyint(value)) : 0;
    if (page >= 1 && page != page_) {
        ShowPage(page);
        DrawPage();
        DrawGuideLines(Qt::black);
    } else {
        pageText_->setText(QString::number(page_));
    }
    UpdatePageKeys();
}

void Pxt_Brw::PageLines_LostFocus() {
    const double value = NumberIn(pageLines_->text());
    const int lines = std::fabs(value) < 1e9 ? int(std::nearbyint(value)) : 0;
    if (lines != lines_ && lines >= 1 && lines <= kMaxLinesPerPage) {
        lines_ = lines;
        pageLines_->setText(QString::number(lines));
        pageCount_ = renderer_->PageCount(lines);
        allPageText_->setText(QString::number(pageCount_));
        UpdatePageKeys();
        DrawPage();
        DrawGuideLines(Qt::black);
    } else {
        pageLines_->setText(QString::number(lines_));
    }
}
