#include "mainwin/forms/html_edit_view.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include "frame/file_services.h"
#include "mainwin/forms/find_bar.h"
#include "mainwin/forms/page_viewer.h"
#include "mainwin/forms/web_wait.h"
#include "platform/codepage.h"
#include "platform/interaction/interaction.h"
#include "store/page_file.h"

namespace {

constexpr quint32 kWorld = QWebEngineScript::ApplicationWorld;

const QString kEmptyPage = QStringLiteral("<html><head></head><body></body></html>");
const QString kPictureFilter = QStringLiteral(
    "图片文件(*.gif;*.jpg;*.jpeg;*.png;*.bmp)|*.gif;*.jpg;*.jpeg;*.png;*.bmp|所有文件(*.*)|*.*");
const QString kDefaultTable = QStringLiteral(
    "<table border=1 cellspacing=0 cellpadding=2><tr><td>&nbsp;</td><td>&nbsp;</td></tr>"
    "<tr><td>&nbsp;</td><td>&nbsp;</td></tr></table>");

// The engine's name of each command that runs through execCommand; a status the page pushes for
// each. Copy, cut and paste run as the engine's own actions (the page may not use the clipboard).
const QHash<int, QString>& EditingNames() {
    static const QHash<int, QString> names{
        {decmd::kBold, QStringLiteral("bold")},
        {decmd::kItalic, QStringLiteral("italic")},
        {decmd::kUnderline, QStringLiteral("underline")},
        {decmd::kDelete, QStringLiteral("delete")},
        {decmd::kJustifyLeft, QStringLiteral("justifyLeft")},
        {decmd::kJustifyCenter, QStringLiteral("justifyCenter")},
        {decmd::kJustifyRight, QStringLiteral("justifyRight")},
        {decmd::kOutdent, QStringLiteral("outdent")},
        {decmd::kIndent, QStringLiteral("indent")},
        {decmd::kOrderList, QStringLiteral("insertOrderedList")},
        {decmd::kUnorderList, QStringLiteral("insertUnorderedList")},
        {decmd::kImage, QStringLiteral("insertImage")},
        {decmd::kFont, QStringLiteral("fontName")},
        {decmd::kHyperlink, QStringLiteral("createLink")},
        {decmd::kInsertTable, QStringLiteral("insertHTML")},
        {decmd::kUndo, QStringLiteral("undo")},
        {decmd::kRedo, QStringLiteral("redo")},
        {decmd::kSelectAll, QStringLiteral("selectAll")},
    };
    return names;
}

QString Json(const QJsonValue& value) {
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

// Design mode on, and the command statuses pushed to the program whenever the selection or the text
// changes. Copy and cut follow the selection: the engine answers false for them outside a user's
// own key press.
QString EditorScript() {
    QJsonObject names;
    for (auto it = EditingNames().cbegin(); it != EditingNames().cend(); ++it)
        names.insert(QString::number(it.key()), it.value());
    return QStringLiteral(R"JS((function () {
  document.designMode = 'on';
  if (window.__pageEditor) return;
  window.__pageEditor = true;
  var names = %1, latching = {bold: 1, italic: 1, underline: 1, justifyLeft: 1, justifyCenter: 1,
    justifyRight: 1, insertOrderedList: 1, insertUnorderedList: 1};
  function status(name) {
    try {
      if (!document.queryCommandEnabled(name)) return 1;
      return latching[name] && document.queryCommandState(name) ? 7 : 3;
    } catch (e) { return 0; }
  }
  function collect() {
    var s = {};
    for (var id in names) s[id] = status(names[id]);
    var sel = document.getSelection();
    var selected = !!(sel && sel.rangeCount && !sel.isCollapsed) ? 3 : 1;
    s['%2'] = selected;
    s['%3'] = selected;
    return s;
  }
  new QWebChannel(qt.webChannelTransport, function (channel) {
    var bridge = channel.objects.editorBridge, queued = false;
    function push() {
      if (queued) return;
      queued = true;
      // After the event, once: pages run no script of their own, and timers then do not fire either.
      Promise.resolve().then(function () { queued = false; bridge.pushStatuses(collect()); });
    }
    ['selectionchange', 'input', 'keyup', 'mouseup', 'focus'].forEach(function (e) {
      document.addEventListener(e, push, true);
    });
    push();
  });
})();)JS")
        .arg(QString::fromUtf8(QJsonDocument(names).toJson(QJsonDocument::Compact)))
        .arg(decmd::kCopy)
        .arg(decmd::kCut);
}

QString WebChannelScript() {
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

QWebEngineScript MakeScript(const QString& name, const QString& source,
                            QWebEngineScript::InjectionPoint point) {
    QWebEngineScript script;
    script.setName(name);
    script.setSourceCode(source);
    script.setInjectionPoint(point);
    script.setWorldId(kWorld);
    script.setRunsOnSubFrames(false);
    return script;
}

// Without the engine: the attribute values of the text, as the engine's getAttribute gives them.
QStringList AttributeValues(const QString& html, const QString& tags, const QString& attribute) {
    const QRegularExpression pattern(
        QStringLiteral("<(?:%1)\\b[^>]*?\\b%2\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)')").arg(tags, attribute),
        QRegularExpression::CaseInsensitiveOption);
    QStringList values;
    for (auto it = pattern.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString value = m.captured(1).isNull() ? m.captured(2) : m.captured(1);
        value.replace(QLatin1String("&quot;"), QLatin1String("\""))
            .replace(QLatin1String("&amp;"), QLatin1String("&"));
        if (!value.isEmpty()) values << value;
    }
    return values;
}

int HtmlFontSize(int points) {
    static constexpr int kBounds[] = {8, 10, 12, 14, 18, 24};
    int size = 1;
    for (const int bound : kBounds) {
        if (points <= bound) return size;
        ++size;
    }
    return size;
}

}  // namespace

void HtmlEditBridge::pushStatuses(const QVariantMap& statuses) {
    for (auto it = statuses.cbegin(); it != statuses.cend(); ++it)
        statuses_.insert(it.key().toInt(), it.value().toInt());
    emit statusesChanged();
}

HtmlEditView::HtmlEditView(QWidget* parent) : QWidget(parent), bridge_(new HtmlEditBridge(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    findBar_ = new FindBar(this);
    if (PageViewer::EngineEnabled()) createView();
    column->addWidget(findBar_);
}

HtmlEditView::~HtmlEditView() = default;

void HtmlEditView::createView() {
    view_ = new QWebEngineView(this);
    view_->setObjectName(QStringLiteral("DHTMLEdit1View"));
    layout()->addWidget(view_);
    PageViewer::PrepareForStoredPages(view_);
    QWebEnginePage* page = view_->page();
    page->scripts().insert(
        MakeScript(QStringLiteral("webchannel"), WebChannelScript(), QWebEngineScript::DocumentCreation));
    page->scripts().insert(
        MakeScript(QStringLiteral("editor"), EditorScript(), QWebEngineScript::DocumentReady));
    channel_ = new QWebChannel(this);
    channel_->registerObject(QStringLiteral("editorBridge"), bridge_);
    page->setWebChannel(channel_, kWorld);
    connect(page, &QWebEnginePage::loadingChanged, this, &HtmlEditView::onLoadingChanged);
    findBar_->SetPage(page);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { emit contextMenuRequested(view_->mapToGlobal(at)); });
    // The engine's own widget takes the mouse; it comes as a child of the view once a page shows.
    view_->installEventFilter(this);
}

bool HtmlEditView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::ChildAdded) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            child->installEventFilter(this);
    } else if (watched != view_ && event->type() == QEvent::MouseMove) {
        emit mouseMoved();
    }
    return QWidget::eventFilter(watched, event);
}

void HtmlEditView::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

void HtmlEditView::load(const QUrl& url) {
    hasDocument_ = true;
    bridge_->Clear();
    requested_ = url;
    loading_ = true;
    view_->load(url);
}

void HtmlEditView::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || info.url() != requested_) return;
    loading_ = false;
    emit documentComplete(requested_.toLocalFile(),
                          info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
}

void HtmlEditView::waitLoaded() {
    if (!WaitUntil([this] { return !loading_; }, kAnswerTimeoutMs))
        throw EditorError(QStringLiteral("编辑器没有载入页面。"));
}

QVariant HtmlEditView::runScript(const QString& script) {
    waitLoaded();
    const std::optional<QVariant> result = RunScriptAndWait(view_->page(), script, kWorld, kAnswerTimeoutMs);
    if (!result) throw EditorError(QStringLiteral("编辑器没有回应。"));
    return *result;
}

void HtmlEditView::LoadDocument(const QString& path) {
    documentPath_ = path;
    if (view_) {
        load(QUrl::fromLocalFile(path));
        return;
    }
    QFile file(path);
    const bool ok = file.open(QIODevice::ReadOnly);
    hasDocument_ = ok;
    const QByteArray bytes = ok ? file.readAll() : QByteArray();
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    html_ =
        decoder.isValid() && bytes.contains("charset") ? QString(decoder.decode(bytes)) : FromGb18030(bytes);
    emit documentComplete(path, ok);
}

QString HtmlEditView::writeWorkFile(const QString& html) {
    if (!workDir_) workDir_ = std::make_unique<QTemporaryDir>();
    // A new name each time: a load is told apart from the one before by its address.
    const QString path = workDir_->filePath(QStringLiteral("page%1.htm").arg(++workFiles_));
    QFile::remove(workDir_->filePath(QStringLiteral("page%1.htm").arg(workFiles_ - 2)));
    WriteHtmlFile(path, html);
    return path;
}

void HtmlEditView::Clear() {
    documentPath_.clear();
    SetDocumentHTML(kEmptyPage);
}

void HtmlEditView::SetDocumentHTML(const QString& html) {
    if (!view_) {
        hasDocument_ = true;
        html_ = html;
        return;
    }
    load(QUrl::fromLocalFile(writeWorkFile(html)));
}

void HtmlEditView::SaveDocument(const QString& path) {
    WriteHtmlFile(path, DocumentHTML());
}

QString HtmlEditView::DocumentHTML() {
    if (!view_) return html_;
    return runScript(QStringLiteral("document.documentElement.outerHTML")).toString();
}

page_save::DomFacts HtmlEditView::DomFacts() {
    page_save::DomFacts facts;
    facts.documentPath = documentPath_;
    if (!view_) {
        facts.html = html_;
        const QStringList backgrounds =
            AttributeValues(html_, QStringLiteral("body"), QStringLiteral("background"));
        facts.background = backgrounds.value(0);
        facts.images = AttributeValues(html_, QStringLiteral("img"), QStringLiteral("src"));
        facts.embeds = AttributeValues(html_, QStringLiteral("embed"), QStringLiteral("src"));
        facts.links = AttributeValues(html_, QStringLiteral("a|area"), QStringLiteral("href"));
        return facts;
    }
    const QVariantMap found = runScript(QStringLiteral(R"JS((function () {
  function values(list, name) {
    var out = [];
    for (var i = 0; i < list.length; ++i) {
      var v = list[i].getAttribute(name);
      if (v) out.push(v);
    }
    return out;
  }
  var body = document.body;
  return {html: document.documentElement.outerHTML,
          background: body ? (body.getAttribute('background') || '') : '',
          images: values(document.images, 'src'), embeds: values(document.embeds, 'src'),
          links: values(document.links, 'href')};
})())JS"))
                                  .toMap();
    if (!found.contains(QStringLiteral("html"))) throw EditorError(QStringLiteral("编辑器没有给出页面。"));
    facts.html = found.value(QStringLiteral("html")).toString();
    facts.background = found.value(QStringLiteral("background")).toString();
    facts.images = found.value(QStringLiteral("images")).toStringList();
    facts.embeds = found.value(QStringLiteral("embeds")).toStringList();
    facts.links = found.value(QStringLiteral("links")).toStringList();
    return facts;
}

QString HtmlEditView::SelectedText() {
    if (!view_) return selectedText_;
    try {
        return runScript(QStringLiteral("String(document.getSelection() || '')")).toString();
    } catch (const EditorError&) {
        return QString();
    }
}

int HtmlEditView::QueryStatus(int command) {
    if (command == decmd::kPaste) {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data && !data->formats().isEmpty() ? decmd::kStatusEnabled : decmd::kStatusDisabled;
    }
    if (command == decmd::kFindText) return decmd::kStatusEnabled;
    return bridge_->Status(command);
}

void HtmlEditView::execEditing(const QString& name, const QVariant& value) {
    const QString call =
        QStringLiteral("document.execCommand(%1, false, %2);")
            .arg(Json(name), value.isValid() ? Json(QJsonValue::fromVariant(value)) : QStringLiteral("null"));
    view_->page()->runJavaScript(call, kWorld);
}

void HtmlEditView::ExecCommand(int command, const QVariantList& rest) {
    if (!view_) {
        commandsRun_.append({command, rest});
        return;
    }
    QWebEnginePage* page = view_->page();
    switch (command) {
        case decmd::kCopy:
            page->triggerAction(QWebEnginePage::Copy);
            break;
        case decmd::kCut:
            page->triggerAction(QWebEnginePage::Cut);
            break;
        case decmd::kPaste:
            page->triggerAction(QWebEnginePage::Paste);
            break;
        case decmd::kUndo:
            page->triggerAction(QWebEnginePage::Undo);
            break;
        case decmd::kRedo:
            page->triggerAction(QWebEnginePage::Redo);
            break;
        case decmd::kSelectAll:
            page->triggerAction(QWebEnginePage::SelectAll);
            break;
        case decmd::kFindText:
            findBar_->Open();
            return;
        case decmd::kImage:
            insertImage();
            break;
        case decmd::kFont:
            chooseFont();
            break;
        case decmd::kInsertTable:
            execEditing(EditingNames().value(command), kDefaultTable);
            break;
        case decmd::kHyperlink:
            if (rest.size() >= 2 && !rest.at(1).toString().isEmpty())
                execEditing(EditingNames().value(command), rest.at(1));
            break;
        default:
            if (EditingNames().contains(command)) execEditing(EditingNames().value(command));
            break;
    }
    view_->setFocus();
}

void HtmlEditView::insertImage() {
    const QString path =
        ClsCmDialog().CmDgSelectFile(kPictureFilter, QString(), ClsCmDialog::kOpenFile).toString();
    if (path.isEmpty()) return;
    // The address as the page save reads it back: "file://" and the path as it stands.
    execEditing(QStringLiteral("insertImage"), QString(QStringLiteral("file://") + path));
}

void HtmlEditView::chooseFont() {
    const std::optional<QFont> chosen = UI().ChooseFont(QFont(QStringLiteral("宋体"), 12));
    if (!chosen) return;
    QJsonObject font{{QStringLiteral("family"), chosen->family()},
                     {QStringLiteral("size"), HtmlFontSize(chosen->pointSize())},
                     {QStringLiteral("bold"), chosen->bold()},
                     {QStringLiteral("italic"), chosen->italic()},
                     {QStringLiteral("underline"), chosen->underline()},
                     {QStringLiteral("strikeThrough"), chosen->strikeOut()}};
    view_->page()->runJavaScript(
        QStringLiteral(R"JS((function (f) {
  document.execCommand('fontName', false, f.family);
  document.execCommand('fontSize', false, String(f.size));
  ['bold', 'italic', 'underline', 'strikeThrough'].forEach(function (c) {
    if (document.queryCommandState(c) !== f[c]) document.execCommand(c);
  });
})(%1);)JS")
            .arg(QString::fromUtf8(QJsonDocument(font).toJson(QJsonDocument::Compact))),
        kWorld);
}

PageProperties HtmlEditView::ReadPageProperties() {
    if (!view_) return properties_;
    const QVariantMap found = runScript(QStringLiteral(R"JS((function () {
  var body = document.body;
  return {title: document.title,
          colours: [document.bgColor, document.fgColor, document.linkColor, document.vlinkColor,
                    document.alinkColor],
          background: body ? (body.getAttribute('background') || '') : '',
          fixed: !!body && ((body.getAttribute('bgproperties') || '').toLowerCase() === 'fixed' ||
                            body.style.backgroundAttachment === 'fixed')};
})())JS"))
                                  .toMap();
    PageProperties properties;
    properties.title = found.value(QStringLiteral("title")).toString();
    const QStringList colours = found.value(QStringLiteral("colours")).toStringList();
    for (int i = 0; i < PageProperties::kColourCount; ++i) properties.colours[size_t(i)] = colours.value(i);
    properties.background = found.value(QStringLiteral("background")).toString();
    properties.fixedBackground = found.value(QStringLiteral("fixed")).toBool();
    return properties;
}

void HtmlEditView::WritePageProperties(const PageProperties& properties) {
    if (!view_) {
        const QString title = properties_.title;
        properties_ = properties;
        properties_.title = title;
        return;
    }
    QJsonArray colours;
    for (const QString& colour : properties.colours) colours.append(colour);
    const QJsonObject values{{QStringLiteral("colours"), colours},
                             {QStringLiteral("background"), properties.background},
                             {QStringLiteral("fixed"), properties.fixedBackground}};
    // The engine ignores the old bgproperties attribute; the style keeps the picture in place.
    runScript(QStringLiteral(R"JS((function (p) {
  document.bgColor = p.colours[0];
  document.fgColor = p.colours[1];
  document.linkColor = p.colours[2];
  document.vlinkColor = p.colours[3];
  document.alinkColor = p.colours[4];
  var body = document.body;
  if (!body) return true;
  if (p.background) body.setAttribute('background', p.background);
  else body.removeAttribute('background');
  if (p.fixed) {
    body.setAttribute('bgproperties', 'fixed');
    body.style.backgroundAttachment = 'fixed';
  } else {
    body.removeAttribute('bgproperties');
    body.style.backgroundAttachment = '';
    if (!body.getAttribute('style')) body.removeAttribute('style');
  }
  return true;
})(%1))JS")
                  .arg(QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact))));
}
