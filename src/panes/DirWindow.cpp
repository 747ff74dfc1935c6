// Placeholder bodies; the location tree is being built.
#include "panes/DirWindow.h"

const QString DirWindow::PlaceholderText = QStringLiteral("***...Filler...***");
const QString DirWindow::AllHosts = QStringLiteral("All Hosts");
const QString DirWindow::MyComputer = QStringLiteral("My Computer");

DirWindow::DirWindow(Window *pane, ConnectionManager *pool, QWidget *parent)
    : QTreeWidget(parent), pane_(pane), pool_(pool)
{
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *now) { emit selectionChanged(now); });
}
quint32 DirWindow::nodeFlags(const QTreeWidgetItem *node) { return node ? node->data(0, Qt::UserRole).toUInt() : 0; }
void DirWindow::setNodeFlags(QTreeWidgetItem *node, quint32 flags) { node->setData(0, Qt::UserRole, flags); }
int DirWindow::nodeIcon(const QTreeWidgetItem *) { return 1; }
int DirWindow::nodeSelectedIcon(const QTreeWidgetItem *) { return 4; }
void DirWindow::setNodeIcons(QTreeWidgetItem *, int, int) {}
bool DirWindow::isPlaceholder(const QTreeWidgetItem *node) { return node && node->text(0) == PlaceholderText; }
QTreeWidgetItem *DirWindow::topNode() const { return topLevelItem(0); }
void DirWindow::BuildRoots() {}
void DirWindow::AddHostEntries(QTreeWidgetItem *, int) {}
void DirWindow::AddDrives(QTreeWidgetItem *) {}
DirWindow::Location DirWindow::GetNodeLocation(const QTreeWidgetItem *) const { return {}; }
QTreeWidgetItem *DirWindow::FindHostNode(QTreeWidgetItem *start, const QString &) const { return start; }
QTreeWidgetItem *DirWindow::FindPathNode(QTreeWidgetItem *hostNode, const QString &) const { return hostNode; }
QTreeWidgetItem *DirWindow::findLocationNode(const QString &, const QString &) const { return nullptr; }
QTreeWidgetItem *DirWindow::EnsureChildNode(QTreeWidgetItem *parent, const QString &, bool, bool) { return parent; }
bool DirWindow::GoToLocation(const QString &, const QString &, bool) { return false; }
bool DirWindow::ListNode(QTreeWidgetItem *, FileWindow *, bool) { return true; }
void DirWindow::ScanLocalDirectory(QTreeWidgetItem *, FileWindow *) {}
void DirWindow::GoUp() {}
void DirWindow::listingStarted(const QString &, const QString &) {}
void DirWindow::listingEntry(const QString &, const QString &, const ListingEntry &) {}
void DirWindow::listingEnded(const QString &, const QString &, bool) {}
void DirWindow::directoryRemoved(const QString &, const QString &, const QString &) {}
void DirWindow::directoryRenamed(const QString &, const QString &, const QString &, const QString &) {}
void DirWindow::directoryCreated(const QString &, const QString &, const QString &) {}
bool DirWindow::handleCommand(int) { return false; }
bool DirWindow::commandState(int, CommandState &) { return false; }
void DirWindow::keyPressEvent(QKeyEvent *event) { QTreeWidget::keyPressEvent(event); }
void DirWindow::mousePressEvent(QMouseEvent *event) { QTreeWidget::mousePressEvent(event); }
QList<DirWindow *> DirWindow::allTrees() const { return {const_cast<DirWindow *>(this)}; }
