#include "panes/DirWindowNode.h"

#include "ftp/RemoteName.h"
#include "platform/SafeText.h"
#include "panes/DirWindow.h"

DirWindowNode::DirWindowNode(const QString &text) : QTreeWidgetItem(QStringList{text}, NodeType)
{
}

QVariant DirWindowNode::data(int column, int role) const
{
    if (role == Qt::DisplayRole && column == 0) {
        const QString name = shownRemoteName(QTreeWidgetItem::data(0, Qt::EditRole).toString());
        const QString label = QTreeWidgetItem::data(0, LabelRole).toString();
        return label.isEmpty() ? name : safeText(label) + u' ' + name;
    }
    return QTreeWidgetItem::data(column, role);
}

bool DirWindowNode::operator<(const QTreeWidgetItem &other) const
{
    // "My Computer" leads the hosts under "All Hosts".
    const bool computer = DirWindow::nodeFlags(this) & DirWindow::MyComputerNode;
    const bool otherComputer = DirWindow::nodeFlags(&other) & DirWindow::MyComputerNode;
    if (computer != otherComputer)
        return computer;
    const QString a = nodeName(this);
    const QString b = nodeName(&other);
    const int caseless = a.compare(b, Qt::CaseInsensitive);
    return caseless != 0 ? caseless < 0 : a < b;
}
