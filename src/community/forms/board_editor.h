#pragma once

#include <QTextEdit>

#include "mainwin/dhtml_edit.h"

// The message board's editor: rich text that runs the page editor's numbered commands, so that the
// board's toolbar shares the command table. Enter starts a new line here and nowhere else.
class BoardEditor : public QTextEdit, public DhtmlEditor {
public:
    explicit BoardEditor(QWidget* parent = nullptr);
    void ExecCommand(int command, const QVariantList& rest = {}) override;
    int QueryStatus(int command) override;

private:
    void toggle(int command);
    void insertImage();
};
