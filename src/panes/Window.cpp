// Placeholder bodies; the pane is being built.
#include "panes/Window.h"

#include "panes/ArrowButton.h"
#include "panes/DirWindow.h"
#include "panes/FileWindow.h"

#include <QLabel>

namespace {
bool stacked = false;
}

Window::Window(QWidget *parent, int paneNumber, ConnectionManager *pool)
    : QWidget(parent), pool_(pool), paneNumber_(paneNumber)
{
    tree_ = new DirWindow(this, pool, this);
    list_ = new FileWindow(this, true, 3, this);
}
Window::~Window() = default;
QString Window::treeTitle() const { return {}; }
QString Window::listTitle() const { return {}; }
QWidget *Window::arrowToFirst() const { return nullptr; }
QWidget *Window::arrowToSecond() const { return nullptr; }
QString Window::currentHost() const { return {}; }
QString Window::currentPath() const { return {}; }
void Window::ShowLocation() {}
void Window::Layout() {}
void Window::SetListStyle(int) {}
void Window::GoUp() {}
void Window::refreshCurrentFolder() {}
void Window::startUpNavigation() {}
void Window::openItem() {}
bool Window::panesStacked() { return stacked; }
void Window::setPanesStacked(bool s) { stacked = s; }
bool Window::handleCommand(int) { return false; }
bool Window::commandState(int, CommandState &) { return false; }
void Window::listingRequested(const QString &, const QString &, int) {}
void Window::listingStarted(const QString &, const QString &, int) {}
void Window::listingEntry(const QString &, const QString &, const ListingEntry &) {}
void Window::listingEnded(const QString &, const QString &, bool) {}
void Window::entryRemoved(const QString &, const QString &, const QString &) {}
void Window::entryRenamed(const QString &, const QString &, const QString &, const QString &) {}
void Window::directoryCreated(const QString &, const QString &, const QString &) {}
void Window::resizeEvent(QResizeEvent *) {}
void Window::timerEvent(QTimerEvent *) {}
void Window::mousePressEvent(QMouseEvent *) {}
void Window::mouseMoveEvent(QMouseEvent *) {}
void Window::mouseReleaseEvent(QMouseEvent *) {}
void Window::paintEvent(QPaintEvent *) {}
void Window::createList(int) {}
void Window::onTreeSelectionChanged(QTreeWidgetItem *) {}
void Window::setListTitleFor(const QString &, const QString &) {}
void Window::repaintArrows() {}
QList<Window *> Window::allPanes() const { return {}; }
int Window::dividerTop() const { return 0; }
