// Placeholder bodies; the file list is being built.
#include "panes/FileWindow.h"

#include <QAbstractItemView>

FileWindow::FileWindow(Window *pane, bool showDirectories, int style, QWidget *parent)
    : QWidget(parent), pane_(pane), showDirectories_(showDirectories), style_(style)
{
}
FileWindow::~FileWindow() = default;
int FileWindow::AddListItem(const QString &, quint64, quint32, int) { return 0; }
void FileWindow::addNodeItem(const QString &, int) {}
void FileWindow::ClearList() {}
void FileWindow::SortList(int, bool, int) {}
int FileWindow::itemCount() const { return 0; }
QString FileWindow::itemText(int) const { return {}; }
int FileWindow::itemIcon(int) const { return 0; }
void FileWindow::setItemIcon(int, int) {}
const itemdata *FileWindow::itemData(int) const { return nullptr; }
QString FileWindow::sizeText(int) const { return {}; }
QString FileWindow::dateText(int) const { return {}; }
bool FileWindow::isSelected(int) const { return false; }
void FileWindow::setSelected(int, bool) {}
QList<int> FileWindow::selectedRows() const { return {}; }
int FileWindow::focusedRow() const { return -1; }
int FileWindow::findItem(const QString &) const { return -1; }
void FileWindow::removeItem(int) {}
void FileWindow::renameItem(int, const QString &) {}
void FileWindow::selectAll() {}
void FileWindow::unselectAll() {}
void FileWindow::invertSelection() {}
void FileWindow::selectUsingFilter() {}
void FileWindow::applyFilter(const QString &, bool, bool, bool) {}
void FileWindow::markSelection(int) {}
void FileWindow::beginRename() {}
bool FileWindow::MatchFilter(const QString &, const QString &, bool, bool) { return false; }
QString FileWindow::formatSize(quint64 size) { return QString::number(size); }
bool FileWindow::handleCommand(int) { return false; }
bool FileWindow::commandState(int, CommandState &) { return false; }
