#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <QWidget>
#include <memory>
#include <stdexcept>

#include "mainwin/dhtml_edit.h"
#include "mainwin/page_properties.h"
#include "mainwin/page_save_plan.h"

class FindBar;
class QTemporaryDir;
class QWebChannel;
class QWebEngineLoadingInfo;
class QWebEngineView;

// The statuses of the editing commands, as the editor's page pushes them whenever the selection or
// the text changes, so that a status is answered at once.
class HtmlEditBridge : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Command number (as text) to status.
    Q_INVOKABLE void pushStatuses(const QVariantMap& statuses);
    // 0 (not supported) for a command the page has not told about.
    int Status(int command) const { return statuses_.value(command, decmd::kStatusNotSupported); }
    void Clear() { statuses_.clear(); }

signals:
    // The page told new statuses: the selection or the text changed.
    void statusesChanged();

private:
    QHash<int, int> statuses_;
};

// The engine did not answer in time, or the document could not be had.
class EditorError : public std::runtime_error {
public:
    explicit EditorError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    QString message() const { return message_; }

private:
    QString message_;
};

// An HTML editor: a web view in design mode over a document loaded from a file (never from a string,
// which the engine limits). It runs the numbered editing commands, answers their statuses from what
// the page pushed, shows and writes the page properties, and hands out the document with the DOM
// facts its save needs. Documents load asynchronously (documentComplete); what reads the document
// waits for the load first. Nothing here knows the window that holds the editor.
//
// Without the engine (PageViewer::SetEngineEnabled(false)) the document is a text: loads read the file,
// commands are recorded, and the DOM facts are read from the text's attributes.
class HtmlEditView : public QWidget, public DhtmlEditor, public PagePropertiesDocument {
    Q_OBJECT
public:
    explicit HtmlEditView(QWidget* parent = nullptr);
    ~HtmlEditView() override;

    // ---- Documents
    void LoadDocument(const QString& path);
    // An empty document.
    void Clear();
    // Writes the document to the file (GB18030 with its declaration); throws EditorError or VbError.
    void SaveDocument(const QString& path);
    // The document as the engine writes it out; throws EditorError.
    QString DocumentHTML();
    // Replaces the document (through a work file); relative addresses keep resolving against the
    // document loaded last.
    void SetDocumentHTML(const QString& html);
    // The document with its background, pictures, media and links; throws EditorError.
    page_save::DomFacts DomFacts();
    // The selected text ("" for none or when the engine does not answer).
    QString SelectedText();
    // The file loaded last ("" after Clear); what relative addresses resolve against.
    QString DocumentPath() const { return documentPath_; }
    // Whether a document was ever put into the editor.
    bool HasDocument() const { return hasDocument_; }

    // ---- Commands
    void ExecCommand(int command, const QVariantList& rest = {}) override;
    int QueryStatus(int command) override;
    PageProperties ReadPageProperties() override;
    void WritePageProperties(const PageProperties& properties) override;

    QWebEngineView* view() const { return view_; }
    FindBar* findBar() const { return findBar_; }
    HtmlEditBridge* bridge() const { return bridge_; }

    // Without the engine: the commands run so far, and the text that counts as selected.
    struct Command {
        int command;
        QVariantList rest;
    };
    const QList<Command>& CommandsRun() const { return commandsRun_; }
    void SetSelectedText(const QString& text) { selectedText_ = text; }

    // Time the engine gets to answer, in milliseconds.
    static constexpr int kAnswerTimeoutMs = 15000;

signals:
    void documentComplete(const QString& path, bool ok);
    void mouseMoved();
    void contextMenuRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void createView();
    void load(const QUrl& url);
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void waitLoaded();
    QVariant runScript(const QString& script);
    void execEditing(const QString& name, const QVariant& value = {});
    void insertImage();
    void chooseFont();
    QString writeWorkFile(const QString& html);

    QWebEngineView* view_ = nullptr;
    QWebChannel* channel_ = nullptr;
    HtmlEditBridge* bridge_ = nullptr;
    FindBar* findBar_ = nullptr;
    std::unique_ptr<QTemporaryDir> workDir_;
    int workFiles_ = 0;
    QUrl requested_;
    bool loading_ = false;
    bool hasDocument_ = false;
    QString documentPath_;

    // Without the engine.
    QString html_;
    QString selectedText_;
    PageProperties properties_;
    QList<Command> commandsRun_;
};
