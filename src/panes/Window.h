#pragma once

#include "ftp/PaneView.h"
#include "panes/CommandTarget.h"
#include "platform/Prompt.h"

#include <QBasicTimer>
#include <QPointer>
#include <QWidget>

class ArrowButton;
class ConnectionManager;
class DirWindow;
class FileWindow;
class QLabel;
class QMimeData;
class QUrl;
class QTreeWidgetItem;
struct DirectoryStats;
struct TransferRequest;

// One browser pane: the location tree on the left, the file list on the right, optional title
// lines and, in the second pane, the two transfer arrows. The location shown is always the tree's
// selected node.
class Window : public QWidget, public PaneView, public CommandTarget
{
    Q_OBJECT
public:
    static constexpr int SelectionDelayMs = 300;
    // The transfer arrows' commands: copy from the second pane to the first, from the first to
    // the second.
    static constexpr int ArrowToFirst = 102;
    static constexpr int ArrowToSecond = 103;
    static constexpr int DividerMargin = 60;

    Window(QWidget *parent, int paneNumber, ConnectionManager *pool);
    ~Window() override;

    int paneNumber() const { return paneNumber_; }
    ConnectionManager *pool() const { return pool_; }
    DirWindow *tree() const { return tree_; }
    FileWindow *list() const { return list_; }
    bool showTree() const { return showTree_; }
    bool showTitles() const { return showTitles_; }
    bool showDirs() const { return showDirs_; }
    bool showButtons() const { return showButtons_; }
    int listStyle() const { return listStyle_; }
    int treeWidth() const { return treeWidth_; }
    bool showingFiles() const { return showingFiles_; }
    bool showingHosts() const { return showingHosts_; }
    bool atRoot() const { return atRoot_; }
    bool isRemote() const { return remote_ != 0; }
    QString treeTitle() const;
    QString listTitle() const;
    QWidget *arrowToFirst() const;
    QWidget *arrowToSecond() const;

    // Host and path of the selected node.
    QString currentHost() const;
    QString currentPath() const;
    // Where the pane is, for the window title: "site /pub/", "My Computer C:/docs/", "All Hosts".
    QString locationText() const;

    void ShowLocation();
    void Layout();
    void SetListStyle(int style);
    void GoUp();
    void refreshCurrentFolder();
    // Opens the start location stored for this pane, once every pane of the pool exists.
    void startUpNavigation();
    // Opens the focused item of the list: a folder-like item is entered, a local file is handed
    // to the desktop's default program.
    void openItem();
    // Whether a label of the list may be edited: not the drives, nor "My Computer" among the hosts.
    bool mayRenameListItem(const QString &text, bool nodeCopy) const;

    // The panes are stacked (one above the other) rather than side by side.
    // The panes registered with the pool.
    static QList<Window *> panesOf(const ConnectionManager *pool);

    static bool panesStacked();
    static void setPanesStacked(bool stacked);

    bool handleCommand(int id) override;
    bool commandState(int id, CommandState &state) override;

    // Operations on the selection (WindowOperations.cpp).
    // Copies the list's selection: to the destination pane's location with a preset (the arrows,
    // a drop), or with the destination dialog asking (destination null, preset 0).
    void copySelection(Window *destination, int preset);
    // A copy from one pane to another as the arrows make it: the presets of the pool's options.
    void copyBetween(Window *source, Window *destination);
    void deleteSelection();
    void renameListItem(int row, const QString &newText);
    void renameTreeNode(QTreeWidgetItem *node, const QString &newText);
    // Every pane of the pool shows the host database as the store holds it now.
    static void hostEntriesChanged(ConnectionManager *pool);
    // A host or folder was renamed in the store: every pane's tree and list follow.
    static void hostRenamed(ConnectionManager *pool, const QString &oldName, const QString &newName);
    // Lists every pane of the pool that shows (host, directory) afresh.
    static void refreshPanesShowing(ConnectionManager *pool, const QString &host, const QString &directory);

    // PaneView
    void listingRequested(const QString &host, const QString &directory, int listingId) override;
    void listingStarted(const QString &host, const QString &directory, int listingId) override;
    void listingEntry(const QString &host, const QString &directory, const ListingEntry &entry) override;
    void listingEnded(const QString &host, const QString &directory, bool complete) override;
    void entryRemoved(const QString &host, const QString &directory, const QString &name) override;
    void entryRenamed(const QString &host, const QString &directory, const QString &oldName,
                      const QString &newName) override;
    void directoryCreated(const QString &host, const QString &parent, const QString &name) override;

signals:
    // The location shown changed (titles, arrows and enabling may follow).
    void locationChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool handleOperation(int id);
    bool operationState(int id, CommandState &state);
    // The host database commands (WindowHosts.cpp).
    bool handleHostCommand(int id);
    bool hostCommandState(int id, CommandState &state);
    void createHostFolder();
    void createDirectory();
    void createHost();
    void editHostOptions();
    void removeHostEntry();
    // The host whose options the Host Options command opens: the host shown, or the host
    // selected in a list of hosts; empty when there is none.
    QString optionsHost() const;
    // The tools of the location (WindowTools.cpp).
    bool handleToolCommand(int id);
    bool toolCommandState(int id, CommandState &state);
    void search();
    void showFound(const QString &host, const QString &directory, const QString &name);
    void selectPendingItem();
    bool ask(const QString &text, const QString &caption, Prompt::Icon icon) const;
    TransferRequest selectionRequest(const QList<int> &rows) const;
    void arrowCopy(int id);
    DirectoryStats listStats() const;
    void customCommand();
    void goToFolder();
    void renameEntry(const QString &host, const QString &directory, const QString &oldName, const QString &newName);
    void renameHostEntry(const QString &oldName, const QString &newName);
    // Drops on the list or the tree: another pane's selection, or files from the desktop.
    void acceptDropsOn(QWidget *viewport);
    bool dropAcceptable(const QMimeData *data) const;
    void uploadDropped(const QList<QUrl> &urls);

    void createList(int style);
    void refillList();
    void onTreeSelectionChanged(QTreeWidgetItem *node);
    void setListTitleFor(const QString &host, const QString &path);
    void repaintArrows();
    QList<Window *> allPanes() const;
    Window *secondPane() const;
    // The list shows (or waits for) the listing of this directory.
    bool showsListing(const QString &host, const QString &directory) const;
    int dividerTop() const;
    void showDragBar();

    ConnectionManager *pool_;
    int paneNumber_;
    DirWindow *tree_ = nullptr;
    FileWindow *list_ = nullptr;
    QLabel *treeTitle_ = nullptr;
    QLabel *listTitle_ = nullptr;
    ArrowButton *arrowToFirst_ = nullptr;
    ArrowButton *arrowToSecond_ = nullptr;
    int treeWidth_ = 250;
    bool splitDragging_ = false;
    int dragX_ = -1;
    QWidget *dragBar_ = nullptr; // the divider's position while it is dragged
    QBasicTimer selectionTimer_;
    bool showTitles_ = false;
    bool showDirs_ = true;
    bool showingFiles_ = false;
    bool showingHosts_ = false;
    bool showTree_ = false;
    int remote_ = 0;
    bool atRoot_ = false;
    int listStyle_ = 3;
    bool showButtons_ = false;
    // A listing of the shown directory is filling the list.
    bool filling_ = false;
    QString shownHost_;
    QString shownDirectory_;
    // An item to select once the listing of its folder has arrived (a search's match); forgotten
    // when the pane shows another folder.
    QString selectWhenListed_;
    QString selectHost_;
    QString selectDirectory_;
};
