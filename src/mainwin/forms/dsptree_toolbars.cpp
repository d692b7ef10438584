#include <QAction>
#include <QLayout>
#include <QToolBar>

#include "mainwin/forms/dsptree.h"
#include "mainwin/forms/glyph_icons.h"

namespace {

// One button: its key, the text it shows or its tool tip, the glyph of its picture.
struct ButtonSpec {
    const char* key;
    const char* text;
    const char* glyph;
};

// The book toolbar's buttons carry their labels; the others show pictures with their texts as tool
// tips.
constexpr ButtonSpec kBookButtons[] = {
    {"b_exit", "退出", "退"},
    {"b_saveas", "从当前结点备份", "备"},
    {"b_load", "恢复为独立新谱", "恢"},
    {"b_print", "从当前结点开始打印", "印"},
    {"b_lineoff", "拆分为分支谱", "拆"},
    {"b_syssetup", "系统设置", "设"},
    {"b_find", "查找", "查"},
};

// nullptr key: a separator.
constexpr ButtonSpec kMainButtons[] = {
    {"Previous", "前页", "前"},       {"NextPage", "下页", "下"},     {nullptr, nullptr, nullptr},
    {"online", "在线客服", "客"},     {"b_down", "登录服务器", "登"}, {"b_group", "宗亲会列表", "宗"},
    {"b_edit", "编写生平事迹", "编"},
};

constexpr ButtonSpec kEditButtons[] = {
    {"b_2find", "查找", "查"},
    {"b_copy", "复制", "复"},
    {"b_paste", "粘贴", "粘"},
    {"b_cut", "剪切", "剪"},
    {"b_delete", "删除", "删"},
    {"b_redo", "重做", "重"},
    {"b_undo", "恢复", "撤"},
    {"b_b", "粗体", "B"},
    {"b_i", "斜体", "I"},
    {"b_u", "下划线", "U"},
    {"b_left", "左对齐", "左"},
    {"b_center", "居中对齐", "中"},
    {"b_right", "右对齐", "右"},
    {"b_unent", "减少缩进", "减"},
    {"b_ent", "缩进", "缩"},
    {"b_order", "序号", "1."},
    {"b_item", "项目符号", "•"},
    {"b_img", "插入图片", "图"},
    {"b_meda", "插入视音频", "音"},
    {"b_font", "选择字体", "字"},
    {nullptr, nullptr, nullptr},
    {"f_open", "打开一个Html文件", "开"},
    {"f_save", "另存为网页文件", "存"},
    {"f_print", "打印", "印"},
};

constexpr ButtonSpec kNodeButtons[] = {
    {"node_new", "创建新谱始祖", "新"},
    {"node_tongbei", "增加一个同辈", "同"},
    {"node_zhilu", "增加一个子代", "子"},
    {"node_edit", "修改这个结点", "改"},
    {"node_del", "删除这个结点", "删"},
    {"node_up", "上移", "上"},
    {"node_down", "下移", "下"},
    {"node_sort", "固定子代排列顺序", "序"},
    {"node_script", "编写生平", "写"},
    {"page_find", "页面中查找", "找"},
    {"node_chm", "生成Chm格式帮助文件", "书"},
};

constexpr int kFirstEditingButton = 2;
constexpr int kLastEditingButton = 20;

// Adds the buttons; each starts disabled, since its command comes with its own file.
template <size_t N>
std::vector<QAction*> AddButtons(QToolBar* bar, const ButtonSpec (&specs)[N], const QColor& colour,
                                 bool labelled) {
    std::vector<QAction*> added;
    for (const ButtonSpec& spec : specs) {
        if (!spec.key) {
            bar->addSeparator();
            added.push_back(nullptr);
            continue;
        }
        auto* action = new QAction(QString::fromUtf8(spec.text), bar);
        SetGlyphIcon(action, QString::fromUtf8(spec.glyph), colour);
        action->setObjectName(QString::fromLatin1(spec.key));
        action->setToolTip(QString::fromUtf8(spec.text));
        action->setProperty("Tag", QString());
        action->setEnabled(false);
        bar->addAction(action);
        added.push_back(action);
    }
    bar->setToolButtonStyle(labelled ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    return added;
}

}  // namespace

QToolBar* dsptree::addToolbar(QWidget* holder, const QString& name,
                              void (dsptree::*dispatch)(const QString&)) {
    auto* bar = new QToolBar(holder);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(18, 18));
    holder->layout()->addWidget(bar);
    // One handler for the whole toolbar, which tells the buttons apart by their keys.
    connect(bar, &QToolBar::actionTriggered, this,
            [this, dispatch](QAction* action) { (this->*dispatch)(action->objectName()); });
    return bar;
}

void dsptree::buildToolbars() {
    tbarOpEx_ = addToolbar(coolBar1_, QStringLiteral("TbarOpEx"), &dsptree::TbarOpEx_ButtonClick);
    AddButtons(tbarOpEx_, kBookButtons, QColor(0x9c, 0x1f, 0x1f), true);

    tbarOP_ = addToolbar(coolBar1_, QStringLiteral("TbarOP"), &dsptree::TbarOP_ButtonClick);
    AddButtons(tbarOP_, kMainButtons, QColor(0x2f, 0x5d, 0x9a), false);
    ToolbarButton(QStringLiteral("b_edit"))->setCheckable(true);

    tbarEditEx_ = addToolbar(coolBar1_, QStringLiteral("TbarEditEx"), &dsptree::TbarEditEx_ButtonClick);
    editButtons_ = AddButtons(tbarEditEx_, kEditButtons, QColor(0x3d, 0x7a, 0x4a), false);

    toolbar1_ = addToolbar(coolBar2_, QStringLiteral("Toolbar1"), &dsptree::Toolbar1_ButtonClick);
    toolbar1_->setOrientation(Qt::Vertical);
    AddButtons(toolbar1_, kNodeButtons, QColor(0x6b, 0x4f, 0x2a), false);
    coolBar2_->layout()->setAlignment(toolbar1_, Qt::AlignTop);
    coolBar2_->setFixedWidth(toolbar1_->sizeHint().width());
}

QAction* dsptree::ToolbarButton(const QString& key) const {
    for (const QToolBar* bar : {tbarOpEx_, tbarOP_, tbarEditEx_, toolbar1_}) {
        if (!bar) continue;
        for (QAction* action : bar->actions())
            if (action->objectName() == key) return action;
    }
    return nullptr;
}

void dsptree::SetEditingButtonsEnabled(bool enabled) {
    for (int index = kFirstEditingButton; index <= kLastEditingButton; ++index)
        if (QAction* button = editButtons_.at(size_t(index) - 1)) button->setEnabled(enabled);
}
