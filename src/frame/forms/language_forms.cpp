#include "frame/forms/language_forms.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSet>
#include <QTabBar>
#include <QTextEdit>
#include <QToolButton>

#include "frame/language.h"

namespace {

using Converter = std::function<QString(const QString&)>;

// Sets a text only when the conversion changes it, so an unchanged text never triggers a widget's
// change handling and an action's derived tool tip stays derived.
template <typename Get, typename Set>
void convertText(const Converter& convert, Get get, Set set) {
    const QString before = get();
    if (before.isEmpty()) return;
    const QString after = convert(before);
    if (after != before) set(after);
}

class CaptionWalk {
public:
    explicit CaptionWalk(const Converter& convert) : convert_(convert) {}

    void window(QWidget* form) {
        convertText(
            convert_, [&] { return form->windowTitle(); },
            [&](const QString& t) { form->setWindowTitle(t); });
        widget(form);
        for (QObject* child : form->findChildren<QObject*>()) {
            if (auto* w = qobject_cast<QWidget*>(child)) {
                // Another form, parented to this one, converts itself; menus belong to this window.
                if (w->isWindow() && !qobject_cast<QMenu*>(w)) continue;
                if (belongsToOtherWindow(w, form)) continue;
                widget(w);
            } else if (auto* a = qobject_cast<QAction*>(child)) {
                auto* owner = qobject_cast<QWidget*>(a->parent());
                if (owner && owner != form &&
                    ((owner->isWindow() && !qobject_cast<QMenu*>(owner)) ||
                     belongsToOtherWindow(owner, form)))
                    continue;
                action(a);
            }
        }
    }

private:
    static bool belongsToOtherWindow(QWidget* w, QWidget* form) {
        for (QWidget* p = w->parentWidget(); p && p != form; p = p->parentWidget()) {
            if (p->isWindow() && !qobject_cast<QMenu*>(p)) return true;
        }
        return false;
    }

    void action(QAction* a) {
        if (!a || a->isSeparator() || done_.contains(a)) return;
        done_.insert(a);
        convertText(
            convert_, [&] { return a->text(); }, [&](const QString& t) { a->setText(t); });
        convertText(
            convert_, [&] { return a->toolTip(); }, [&](const QString& t) { a->setToolTip(t); });
    }

    void widget(QWidget* w) {
        convertText(
            convert_, [&] { return w->toolTip(); }, [&](const QString& t) { w->setToolTip(t); });
        for (QAction* a : w->actions()) action(a);

        if (auto* menu = qobject_cast<QMenu*>(w)) {
            action(menu->menuAction());  // its title
        } else if (auto* label = qobject_cast<QLabel*>(w)) {
            convertText(
                convert_, [&] { return label->text(); }, [&](const QString& t) { label->setText(t); });
        } else if (auto* tool = qobject_cast<QToolButton*>(w)) {
            if (!tool->defaultAction())
                convertText(
                    convert_, [&] { return tool->text(); }, [&](const QString& t) { tool->setText(t); });
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            convertText(
                convert_, [&] { return button->text(); }, [&](const QString& t) { button->setText(t); });
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            convertText(
                convert_, [&] { return group->title(); }, [&](const QString& t) { group->setTitle(t); });
        } else if (auto* dock = qobject_cast<QDockWidget*>(w)) {
            convertText(
                convert_, [&] { return dock->windowTitle(); },
                [&](const QString& t) { dock->setWindowTitle(t); });
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            convertText(
                convert_, [&] { return edit->placeholderText(); },
                [&](const QString& t) { edit->setPlaceholderText(t); });
        } else if (auto* text = qobject_cast<QTextEdit*>(w)) {
            convertText(
                convert_, [&] { return text->placeholderText(); },
                [&](const QString& t) { text->setPlaceholderText(t); });
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
            convertText(
                convert_, [&] { return plain->placeholderText(); },
                [&](const QString& t) { plain->setPlaceholderText(t); });
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            comboItems(combo);
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            for (int i = 0; i < list->count(); ++i) {
                QListWidgetItem* item = list->item(i);
                convertText(
                    convert_, [&] { return item->text(); }, [&](const QString& t) { item->setText(t); });
                convertText(
                    convert_, [&] { return item->toolTip(); },
                    [&](const QString& t) { item->setToolTip(t); });
            }
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < tabs->count(); ++i) {
                convertText(
                    convert_, [&] { return tabs->tabText(i); },
                    [&](const QString& t) { tabs->setTabText(i, t); });
                convertText(
                    convert_, [&] { return tabs->tabToolTip(i); },
                    [&](const QString& t) { tabs->setTabToolTip(i, t); });
            }
        } else if (auto* header = qobject_cast<QHeaderView*>(w)) {
            headerTitles(header);
        }
    }

    // The items are captions; what the user typed into an editable combo stays as typed.
    void comboItems(QComboBox* combo) {
        const bool editable = combo->isEditable();
        const QString typed = editable ? combo->currentText() : QString();
        const QSignalBlocker quiet(combo);
        for (int i = 0; i < combo->count(); ++i) {
            convertText(
                convert_, [&] { return combo->itemText(i); },
                [&](const QString& t) { combo->setItemText(i, t); });
        }
        if (editable && combo->currentText() != typed) combo->setEditText(typed);
    }

    void headerTitles(QHeaderView* header) {
        QAbstractItemModel* model = header->model();
        if (!model) return;
        const int sections =
            header->orientation() == Qt::Horizontal ? model->columnCount() : model->rowCount();
        for (int i = 0; i < sections; ++i) {
            const QVariant title = model->headerData(i, header->orientation(), Qt::DisplayRole);
            if (title.typeId() != QMetaType::QString) continue;  // row numbers and the like
            convertText(
                convert_, [&] { return title.toString(); },
                [&](const QString& t) {
                    model->setHeaderData(i, header->orientation(), t, Qt::DisplayRole);
                });
        }
    }

    const Converter& convert_;
    QSet<QAction*> done_;
};

}  // namespace

void ConvertWindowCaptions(QWidget* form, const std::function<QString(const QString&)>& convert) {
    if (!form || !convert) return;
    CaptionWalk(convert).window(form);
}

void ClsLanguage::SetLanguage(QObject* form) const {
    auto* window = qobject_cast<QWidget*>(form);
    // Nothing to walk when no conversion is in force (also the language just chosen again).
    if (!window || !Converting()) return;
    ConvertWindowCaptions(window, [this](const QString& text) { return TransLanguage(text); });
}
