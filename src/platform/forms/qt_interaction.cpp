#include "platform/forms/qt_interaction.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "platform/forms/qt_translations.h"
#include "platform/interaction/form_registry.h"

namespace {

QString titleOrAppName(const QString& title) {
    return title.isEmpty() ? QGuiApplication::applicationDisplayName() : title;
}

// Ends a modal run of a plain widget when it is hidden or closed, as hiding a modal form did.
class HideWatcher : public QObject {
public:
    explicit HideWatcher(QEventLoop* loop) : loop_(loop) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide) loop_->quit();
        return false;
    }

private:
    QEventLoop* loop_;
};

// While the user is asked something, the ordinary cursor, even inside a wait that shows the wait cursor.
class AskingCursor {
public:
    AskingCursor() : pushed_(QApplication::overrideCursor() != nullptr) {
        if (pushed_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~AskingCursor() {
        if (pushed_ && qApp) QApplication::restoreOverrideCursor();
    }
    AskingCursor(const AskingCursor&) = delete;
    AskingCursor& operator=(const AskingCursor&) = delete;

private:
    bool pushed_;
};

// What the window manager usually puts around a window (a title bar above, thin borders), for placing a
// window before its real frame is known.
constexpr QMargins kUsualFrame(8, 40, 8, 8);

// A window that has not placed itself opens over the window the user is in, as dialogs do, whole on that
// window's screen; not at the corner where a manager puts windows it knows nothing about.
void PlaceOverActiveWindow(QWidget* window) {
    const QWidget* over = QApplication::activeWindow();
    if (window->testAttribute(Qt::WA_Moved) || !over || over == window || !over->screen()) return;
    if (!window->testAttribute(Qt::WA_Resized)) window->adjustSize();
    const QRect free = over->screen()->availableGeometry();
    QRect framed(QPoint(), window->size().grownBy(kUsualFrame));
    framed.moveCenter(over->frameGeometry().center());
    framed.moveLeft(
        std::clamp(framed.left(), free.left(), std::max(free.left(), free.right() + 1 - framed.width())));
    framed.moveTop(
        std::clamp(framed.top(), free.top(), std::max(free.top(), free.bottom() + 1 - framed.height())));
    window->move(framed.topLeft());
}

}  // namespace

std::unique_ptr<QMessageBox> QtInteraction::BuildMessageBox(const QString& prompt, int style,
                                                            const QString& title, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(titleOrAppName(title));
    // Prompts often carry names and paths; "<" in them must show as typed.
    box->setTextFormat(Qt::PlainText);
    box->setText(prompt);

    QList<QMessageBox::StandardButton> buttons;
    switch (style & 0xF) {
        case vb::OKCancel:
            buttons = {QMessageBox::Ok, QMessageBox::Cancel};
            break;
        case vb::AbortRetryIgnore:
            buttons = {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
            break;
        case vb::YesNoCancel:
            buttons = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
            break;
        case vb::YesNo:
            buttons = {QMessageBox::Yes, QMessageBox::No};
            break;
        case vb::RetryCancel:
            buttons = {QMessageBox::Retry, QMessageBox::Cancel};
            break;
        default:
            buttons = {QMessageBox::Ok};
            break;
    }
    QMessageBox::StandardButtons all;
    for (auto b : buttons) all |= b;
    box->setStandardButtons(all);
    const int defaultIndex = (style & 0x300) >> 8;
    box->setDefaultButton(buttons.value(defaultIndex, buttons.first()));

    switch (style & 0x70) {
        case vb::Critical:
            box->setIcon(QMessageBox::Critical);
            break;
        case vb::Question:
            box->setIcon(QMessageBox::Question);
            break;
        case vb::Exclamation:
            box->setIcon(QMessageBox::Warning);
            break;
        case vb::Information:
            box->setIcon(QMessageBox::Information);
            break;
        default:
            box->setIcon(QMessageBox::NoIcon);
            break;
    }
    // A box narrower than its title gets the title cut by the window frame.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        const int titleWidth = box->fontMetrics().horizontalAdvance(box->windowTitle()) + 120;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

int QtInteraction::AnswerFor(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Ok:
            return vb::OK;
        case QMessageBox::Abort:
            return vb::Abort;
        case QMessageBox::Retry:
            return vb::Retry;
        case QMessageBox::Ignore:
            return vb::Ignore;
        case QMessageBox::Yes:
            return vb::Yes;
        case QMessageBox::No:
            return vb::No;
        default:
            return vb::Cancel;
    }
}

QString QtInteraction::ToQtFilter(const QString& filter) {
    if (!filter.contains(u'|')) return filter;
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (auto& p : patterns) {
            p = p.trimmed();
            // On Linux "*.*" would hide every file without a dot.
            if (p == QLatin1String("*.*")) p = QStringLiteral("*");
        }
        const QString joined = patterns.join(u' ');
        QString description = parts[i];
        description.remove(trailingPatterns);
        description = description.trimmed();
        out << (description.isEmpty() ? joined : description + QStringLiteral(" (") + joined + u')');
    }
    return out.join(QStringLiteral(";;"));
}

int QtInteraction::MsgBox(const QString& prompt, int style, const QString& title) {
    AskingCursor asking;
    auto box = BuildMessageBox(prompt, style, title, QApplication::activeWindow());
    box->exec();
    return AnswerFor(box->standardButton(box->clickedButton()));
}

QString QtInteraction::InputBox(const QString& prompt, const QString& title, const QString& defaultText,
                                bool* cancelled) {
    AskingCursor asking;
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(titleOrAppName(title));
    dialog.setLabelText(prompt);
    if (auto* label = dialog.findChild<QLabel*>()) label->setTextFormat(Qt::PlainText);
    dialog.setTextValue(defaultText);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (cancelled) *cancelled = !ok;
    return ok ? dialog.textValue() : QString();
}

namespace {

// As QFileDialog's own static functions do, with the dates of Qt's dialog in Chinese.
QString RunFileDialog(const QString& title, const QString& initialDir, const QString& filter,
                      QFileDialog::AcceptMode accept, QFileDialog::FileMode mode) {
    AskingCursor asking;
    QFileDialog dialog(QApplication::activeWindow(), title, initialDir, filter);
    dialog.setAcceptMode(accept);
    dialog.setFileMode(mode);
    if (mode == QFileDialog::Directory) dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setProxyModel(NewChineseFileDates(&dialog));
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.selectedFiles().value(0);
}

}  // namespace

QString QtInteraction::GetOpenFileName(const QString& title, const QString& filter,
                                       const QString& initialDir) {
    return RunFileDialog(title, initialDir, ToQtFilter(filter), QFileDialog::AcceptOpen,
                         QFileDialog::ExistingFile);
}

QString QtInteraction::GetSaveFileName(const QString& title, const QString& filter,
                                       const QString& initialDir) {
    return RunFileDialog(title, initialDir, ToQtFilter(filter), QFileDialog::AcceptSave,
                         QFileDialog::AnyFile);
}

QString QtInteraction::BrowseForFolder(const QString& title, const QString& initialDir) {
    return RunFileDialog(title, initialDir, QString(), QFileDialog::AcceptOpen, QFileDialog::Directory);
}

quint32 QtInteraction::ToOldColor(const QColor& color) {
    const QRgb rgb = color.rgb();
    return quint32(qRed(rgb)) | quint32(qGreen(rgb)) << 8 | quint32(qBlue(rgb)) << 16;
}

std::optional<quint32> QtInteraction::ChooseColor(const QString& title) {
    // The old dialog opened on black, its colour before anything was chosen.
    const QColor chosen = QColorDialog::getColor(Qt::black, QApplication::activeWindow(), title);
    if (!chosen.isValid()) return std::nullopt;
    return ToOldColor(chosen);
}

std::optional<int> QtInteraction::ChoosePrintFromPage(int maxPage) {
    QPrinter printer;
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, maxPage);
    dialog.setFromTo(1, maxPage);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    if (printer.printRange() != QPrinter::PageRange || printer.fromPage() < 1) return 1;
    return printer.fromPage();
}

std::optional<QFont> QtInteraction::ChooseFont(const QFont& initial) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, QApplication::activeWindow());
    if (!ok) return std::nullopt;
    return chosen;
}

std::optional<std::pair<int, int>> QtInteraction::ChoosePrintPages(QPagedPaintDevice& device, int maxPage) {
    auto* printer = dynamic_cast<QPrinter*>(&device);
    if (!printer) return Interaction::ChoosePrintPages(device, maxPage);
    QPrintDialog dialog(printer, QApplication::activeWindow());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, maxPage);
    dialog.setFromTo(1, maxPage);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    if (printer->printRange() != QPrinter::PageRange || printer->fromPage() < 1)
        return std::make_pair(1, maxPage);
    return std::make_pair(printer->fromPage(), std::clamp(printer->toPage(), printer->fromPage(), maxPage));
}

int QtInteraction::ShowForm(const QString& formName, bool modal) {
    if (!modal) {
        if (QWidget* existing = open_.value(formName)) {
            existing->show();
            existing->raise();
            existing->activateWindow();
            return 0;
        }
    }
    QObject* object = FormRegistry::Create(formName);
    if (!object) return -1;
    std::optional<AskingCursor> asking;
    if (modal) asking.emplace();
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) {
        qWarning("Form %s is not a window", qUtf8Printable(formName));
        delete object;
        return -1;
    }

    if (!modal) {
        widget->setAttribute(Qt::WA_DeleteOnClose);
        open_.insert(formName, widget);
        PlaceOverActiveWindow(widget);
        widget->show();
        return 0;
    }

    QPointer<QWidget> guard(widget);
    int result = 0;
    if (auto* dialog = qobject_cast<QDialog*>(widget)) {
        result = dialog->exec();
    } else {
        QEventLoop loop;
        HideWatcher watcher(&loop);
        PlaceOverActiveWindow(widget);
        widget->installEventFilter(&watcher);
        QObject::connect(widget, &QObject::destroyed, &loop, &QEventLoop::quit);
        widget->setWindowModality(Qt::ApplicationModal);
        widget->show();
        loop.exec();
        if (guard) guard->removeEventFilter(&watcher);
    }
    delete guard.data();
    return result;
}

bool QtInteraction::OpenUrl(const QString& url) {
    if (url.trimmed().isEmpty()) return false;
    return QDesktopServices::openUrl(QUrl::fromUserInput(url));
}
