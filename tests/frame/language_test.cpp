#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "frame/app_state.h"
#include "frame/language.h"

namespace {

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAppState(); }
    void TearDown() override { ResetAppState(); }
    static void Use(qint32 language, qint32 previous) {
        App().LanguageId = language;
        App().PrevLanguageId = previous;
    }
    ClsLanguage translator_;
};

TEST_F(LanguageTest, TransLanguageConvertsOnlyWhileTheLanguageDiffersFromThePrevious) {
    const QString simplified = QStringLiteral("是否删除该成员及其所有子女？");
    const QString traditional = QStringLiteral("是否刪除該成員及其所有子女？");
    struct Case {
        qint32 language, previous;
        QString input, expected;
    };
    for (const Case& c : {Case{0, 0, simplified, simplified}, Case{1, 0, simplified, traditional},
                          Case{0, 1, traditional, simplified}, Case{1, 1, simplified, simplified},
                          Case{0, 0, traditional, traditional}, Case{2, 0, simplified, simplified},
                          Case{3, 1, simplified, simplified}, Case{255, 0, simplified, simplified}}) {
        Use(c.language, c.previous);
        EXPECT_EQ(translator_.TransLanguage(c.input), c.expected) << c.language << "/" << c.previous;
    }
    Use(1, 0);
    EXPECT_EQ(translator_.TransLanguage(QString()), QString());
    EXPECT_EQ(translator_.TransLanguage(QStringLiteral("Wang 1923 %1")), QStringLiteral("Wang 1923 %1"));
    // Beyond the basic plane and beyond code page 936: kept, not lost.
    EXPECT_EQ(translator_.TransLanguage(QStringLiteral("𠀀族谱😀")), QStringLiteral("𠀀族譜😀"));
}

// A window with one control of every kind that carries a caption, and the data controls beside them.
struct SampleForm {
    QMainWindow window;
    QLabel* label;
    QPushButton* button;
    QCheckBox* check;
    QRadioButton* option;
    QGroupBox* group;
    QLineEdit* edit;
    QTextEdit* text;
    QComboBox* combo;
    QComboBox* typedCombo;
    QListWidget* list;
    QTabWidget* tabs;
    QTreeWidget* tree;
    QTableWidget* table;
    QMenu* menu;
    QAction* open;
    QAction* tool;
    QDialog* childDialog;

    SampleForm() {
        window.setWindowTitle(QStringLiteral("系统设置"));
        auto* central = new QWidget;
        auto* layout = new QVBoxLayout(central);
        window.setCentralWidget(central);
        layout->addWidget(label = new QLabel(QStringLiteral("姓名：")));
        layout->addWidget(button = new QPushButton(QStringLiteral("确定")));
        button->setToolTip(QStringLiteral("保存后关闭"));
        layout->addWidget(check = new QCheckBox(QStringLiteral("显示世代")));
        layout->addWidget(option = new QRadioButton(QStringLiteral("单个输入")));
        layout->addWidget(group = new QGroupBox(QStringLiteral("父亲资料")));
        layout->addWidget(edit = new QLineEdit(QStringLiteral("张国华")));
        edit->setToolTip(QStringLiteral("输入姓名"));
        edit->setPlaceholderText(QStringLiteral("请输入"));
        layout->addWidget(text = new QTextEdit(QStringLiteral("传记")));
        layout->addWidget(combo = new QComboBox);
        combo->addItems({QStringLiteral("汉族"), QStringLiteral("满族")});
        combo->setCurrentIndex(1);
        layout->addWidget(typedCombo = new QComboBox);
        typedCombo->setEditable(true);
        typedCombo->addItems({QStringLiteral("汉族"), QStringLiteral("回族")});
        typedCombo->setEditText(QStringLiteral("汉族人"));
        layout->addWidget(list = new QListWidget);
        list->addItems({QStringLiteral("学历"), QStringLiteral("职务")});
        layout->addWidget(tabs = new QTabWidget);
        tabs->addTab(new QWidget, QStringLiteral("基本资料"));
        tabs->setTabToolTip(0, QStringLiteral("个人资料"));
        layout->addWidget(tree = new QTreeWidget);
        tree->setHeaderLabels({QStringLiteral("成员"), QStringLiteral("世代")});
        new QTreeWidgetItem(tree, {QStringLiteral("张国华"), QStringLiteral("十")});
        layout->addWidget(table = new QTableWidget(1, 1));
        table->setHorizontalHeaderLabels({QStringLiteral("出生日期")});
        table->setItem(0, 0, new QTableWidgetItem(QStringLiteral("一九五〇年冬")));

        menu = window.menuBar()->addMenu(QStringLiteral("文件"));
        open = menu->addAction(QStringLiteral("打开族谱"));
        open->setToolTip(QStringLiteral("打开备份"));
        menu->addSeparator();
        QToolBar* bar = window.addToolBar(QStringLiteral("工具"));
        tool = bar->addAction(QStringLiteral("删除"));

        childDialog = new QDialog(&window);
        childDialog->setWindowTitle(QStringLiteral("设置密码"));
        new QLabel(QStringLiteral("密码"), childDialog);
    }
};

TEST_F(LanguageTest, SetLanguageConvertsEveryCaptionAndNoData) {
    SampleForm f;
    Use(1, 0);

    translator_.SetLanguage(&f.window);

    EXPECT_EQ(f.window.windowTitle(), QStringLiteral("系統設置"));
    EXPECT_EQ(f.label->text(), QStringLiteral("姓名："));
    EXPECT_EQ(f.button->text(), QStringLiteral("確定"));
    EXPECT_EQ(f.button->toolTip(), QStringLiteral("保存後關閉"));
    EXPECT_EQ(f.check->text(), QStringLiteral("顯示世代"));
    EXPECT_EQ(f.option->text(), QStringLiteral("單個輸入"));
    EXPECT_EQ(f.group->title(), QStringLiteral("父親資料"));
    EXPECT_EQ(f.edit->toolTip(), QStringLiteral("輸入姓名"));
    EXPECT_EQ(f.edit->placeholderText(), QStringLiteral("請輸入"));
    EXPECT_EQ(f.combo->itemText(0), QStringLiteral("漢族"));
    EXPECT_EQ(f.combo->itemText(1), QStringLiteral("滿族"));
    EXPECT_EQ(f.combo->currentIndex(), 1);
    EXPECT_EQ(f.typedCombo->itemText(1), QStringLiteral("回族"));
    EXPECT_EQ(f.list->item(0)->text(), QStringLiteral("學歷"));
    EXPECT_EQ(f.list->item(1)->text(), QStringLiteral("職務"));
    EXPECT_EQ(f.tabs->tabText(0), QStringLiteral("基本資料"));
    EXPECT_EQ(f.tabs->tabToolTip(0), QStringLiteral("個人資料"));
    EXPECT_EQ(f.tree->headerItem()->text(0), QStringLiteral("成員"));
    EXPECT_EQ(f.table->horizontalHeaderItem(0)->text(), QStringLiteral("出生日期"));
    EXPECT_EQ(f.menu->title(), QStringLiteral("文件"));
    EXPECT_EQ(f.open->text(), QStringLiteral("打開族譜"));
    EXPECT_EQ(f.open->toolTip(), QStringLiteral("打開備份"));
    EXPECT_EQ(f.tool->text(), QStringLiteral("刪除"));

    // What the user typed and the book's own data stay as they are.
    EXPECT_EQ(f.edit->text(), QStringLiteral("张国华"));
    EXPECT_EQ(f.text->toPlainText(), QStringLiteral("传记"));
    EXPECT_EQ(f.typedCombo->currentText(), QStringLiteral("汉族人"));
    EXPECT_EQ(f.tree->topLevelItem(0)->text(0), QStringLiteral("张国华"));
    EXPECT_EQ(f.table->item(0, 0)->text(), QStringLiteral("一九五〇年冬"));
    // Another window converts itself when it loads.
    EXPECT_EQ(f.childDialog->windowTitle(), QStringLiteral("设置密码"));
    EXPECT_EQ(f.childDialog->findChild<QLabel*>()->text(), QStringLiteral("密码"));

    // And back: the texts on screen return to Simplified.
    Use(0, 1);
    translator_.SetLanguage(&f.window);
    EXPECT_EQ(f.window.windowTitle(), QStringLiteral("系统设置"));
    EXPECT_EQ(f.button->toolTip(), QStringLiteral("保存后关闭"));
    EXPECT_EQ(f.list->item(0)->text(), QStringLiteral("学历"));
    EXPECT_EQ(f.tree->headerItem()->text(0), QStringLiteral("成员"));
    EXPECT_EQ(f.open->text(), QStringLiteral("打开族谱"));
}

TEST_F(LanguageTest, SetLanguageLeavesTheWindowWhenNothingIsInForce) {
    for (const auto& [language, previous] :
         {std::pair{0, 0}, std::pair{1, 1}, std::pair{2, 0}, std::pair{3, 1}}) {
        SampleForm f;
        Use(language, previous);
        translator_.SetLanguage(&f.window);
        EXPECT_EQ(f.window.windowTitle(), QStringLiteral("系统设置"));
        EXPECT_EQ(f.button->text(), QStringLiteral("确定"));
        EXPECT_EQ(f.open->text(), QStringLiteral("打开族谱"));
    }
    Use(1, 0);
    translator_.SetLanguage(nullptr);  // nothing to walk, nothing fails
    QObject notAWindow;
    translator_.SetLanguage(&notAWindow);
}

}  // namespace
