#include <QAction>
#include <QMenu>

#include "mainwin/forms/dsptree.h"

namespace {

// The items of nodemenu in menu order; an entry without a caption is a separator.
struct MenuSpec {
    const char* name;
    const char* caption;
};

constexpr MenuSpec kMenu[] = {
    {"node_addonedai", "插入一个上辈"},
    {"node_deleteAll", "删除他及子代"},
    {"node_sp2", nullptr},
    {"node_notable", "指定为..."},
    {"node_sp3", nullptr},
    {"node_generation", "显示世代数"},
    {"node_UnGeneration", "清除世代序号"},
    {"node_active", "设置子代在世或过世"},
    {"node_sp4", nullptr},
    {"node_nodisplay", "立即收拢"},
    {"node_display", "立即展开"},
    {"node_sp5", nullptr},
    {"node_color", "直系标示"},
    {"node_sp6", nullptr},
    {"node_multipagemove", "跨页拖动到..."},
    {"node_sp7", nullptr},
    {"node_subboy", "恢复为当前结点的子代"},
    {"node_import", "成批导入Html文件"},
    {"node_sp8", nullptr},
    {"node_SetProtect", "设置数据保护"},
    {"node_sp9", nullptr},
    {"node_tongbudel_1", "同步（服务器）删除此节点"},
    {"node_Uploadinfo_1", "上传此节点数据（到服务器）"},
    {"node_Uploadinfo_n", "上传此节点及子代数据（到服务器）"},
    {"node_downloadinfo_1", "（从服务器）下载此节点数据"},
    {"node_downloadinfo_n", "（从服务器）下载此节点及子代数据"},
    {"edit_cut", "剪切(&T)"},
    {"edit_copy", "复制(&C)"},
    {"edit_paste", "粘贴(&V)"},
    {"edit_sp1", nullptr},
    {"edit_delete", "删除(&D)"},
    {"edit_selectall", "全选(&A)"},
    {"edit_sp2", nullptr},
    {"edit_insimage", "插入图片(&M)"},
    {"edit_instv", "插入视音频(&W)"},
    {"edit_download", "插入下载链接"},
    {"edit_sp3", nullptr},
    {"edit_selectfont", "选择字体(&F)"},
    {"edit_pagebg", "设置页面属性(&P)"},
    {"edit_sp4", nullptr},
    {"edit_nodename", "修改节点名称"},
    {"edit_pagekey", "加为页面关键词"},
};

}  // namespace

void dsptree::buildNodeMenu() {
    nodemenu_ = new QMenu(this);
    nodemenu_->setObjectName(QStringLiteral("nodemenu"));
    for (const MenuSpec& spec : kMenu) {
        QAction* action =
            spec.caption ? nodemenu_->addAction(QString::fromUtf8(spec.caption)) : nodemenu_->addSeparator();
        action->setObjectName(QString::fromLatin1(spec.name));
        // An item waits, disabled, for the file that brings its command.
        if (spec.caption) action->setEnabled(false);
        menuItems_.insert(action->objectName(), action);
    }
    popupMenu = [](QMenu* menu, const QPoint& at) { menu->exec(at); };
}

QAction* dsptree::MenuItem(const QString& name) const {
    return menuItems_.value(name);
}

void dsptree::ConnectMenuItem(const QString& name, std::function<void()> handler) {
    QAction* item = MenuItem(name);
    if (!item) return;
    connect(item, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    item->setEnabled(true);
}

void dsptree::SetMenuVisible(bool nodeItems) {
    for (QAction* item : menuItems_) {
        const QString name = item->objectName();
        if (name.startsWith(QLatin1String("node_")))
            item->setVisible(nodeItems);
        else if (name.startsWith(QLatin1String("edit_")))
            item->setVisible(!nodeItems);
    }
}

void dsptree::PopupNodeMenu(const QPoint& globalPos) {
    if (popupMenu) popupMenu(nodemenu_, globalPos);
}
