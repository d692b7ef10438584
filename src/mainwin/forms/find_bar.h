#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QWebEnginePage;

// The find bar under a page: the typed text is looked for in the page as it is typed, Enter goes to
// the next hit, Shift+Enter to the one before, Escape closes the bar and clears the marks.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);

    // The page searched; nullptr (a page without an engine) searches nothing.
    void SetPage(QWebEnginePage* page);
    // Shows the bar with the text field focused and its text selected.
    void Open();
    void Close();
    void FindNext(bool backward = false);
    QLineEdit* field() const { return field_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<QWebEnginePage> page_;
    QLineEdit* field_ = nullptr;
    QLabel* result_ = nullptr;
};
