#pragma once

#include "panes/CommandTarget.h"

#include <QHash>
#include <QPersistentModelIndex>
#include <QString>
#include <QTreeWidget>

class ConnectionManager;
class FileWindow;
class Window;
struct HostEntry;
struct ListingEntry;

// The location tree of a pane: "All Hosts" with the host folders and hosts, "My Computer" with
// the local drives, and below hosts and drives the directories as listings arrive. The selected
// node is the pane's location; a node's position gives its host and path.
class DirWindow : public QTreeWidget, public CommandTarget
{
    Q_OBJECT
public:
    // Bits of a node's data word.
    enum NodeFlag : quint32 {
        Seen = 0x1,
        ComputerNode = 0x2,
        DriveNode = 0x4,
        Container = 0x8,
        Top = 0x10,
        FolderLike = 0x20,
        HostFolder = 0x40,
        HostNode = 0x80,
        MyComputerNode = 0x100,
        StartPathPending = 0x10000000,
        Pending = 0x20000000,
    };
    static constexpr quint32 TopData = 0x38;
    static constexpr quint32 MyComputerData = 0x10A;
    static constexpr quint32 DriveData = 0x4;
    static constexpr quint32 HostFolderData = 0x68;
    static constexpr quint32 HostData = 0x10000082;
    static constexpr quint32 DirectoryData = 0x1;
    static constexpr quint32 PendingData = 0x20000000;

    static const QString PlaceholderText;  // "***...Filler...***"
    static const QString AllHosts;         // "All Hosts"
    static const QString MyComputer;       // "My Computer"

    struct Location
    {
        QString host;   // empty above the hosts, "My Computer" for the local disks
        QString path;   // "/", "/pub/", "C:/", "C:/dir/"
        bool remote = false;
    };

    // pane and pool may be null in tests that only build and search the tree.
    DirWindow(Window *pane, ConnectionManager *pool, QWidget *parent = nullptr);
    ~DirWindow() override;

    // Node data and pictures.
    static quint32 nodeFlags(const QTreeWidgetItem *node);
    static void setNodeFlags(QTreeWidgetItem *node, quint32 flags);
    static int nodeIcon(const QTreeWidgetItem *node);          // PaneIcon index
    static int nodeSelectedIcon(const QTreeWidgetItem *node);
    static void setNodeIcons(QTreeWidgetItem *node, int icon, int selectedIcon);
    static bool isPlaceholder(const QTreeWidgetItem *node);
    QTreeWidgetItem *topNode() const;

    void BuildRoots();
    void AddHostEntries(QTreeWidgetItem *parent, int folderId);
    void AddDrives(QTreeWidgetItem *node);

    // The host database below "All Hosts" (DirWindowHosts.cpp).
    // "All Hosts" and host folders hold hosts; "My Computer" does not.
    static bool holdsHosts(const QTreeWidgetItem *node);
    // The folder id a host-holding node stands for: 0 for "All Hosts".
    static int hostFolderId(const QTreeWidgetItem *node);
    // The node of the host or host folder of that name, or null.
    QTreeWidgetItem *hostEntryNode(const QString &name) const;
    // Brings the hosts and folders below the node in line with the store; true when a node came
    // or went.
    bool SyncHostEntries(QTreeWidgetItem *container);
    // The node of a renamed host or folder takes its new name (and keeps its children).
    void hostEntryRenamed(const QString &oldName, const QString &newName);

    Location GetNodeLocation(const QTreeWidgetItem *node) const;
    QTreeWidgetItem *FindHostNode(QTreeWidgetItem *start, const QString &host) const;
    QTreeWidgetItem *FindPathNode(QTreeWidgetItem *hostNode, const QString &path) const;
    // The node of exactly (host, path), or null when the tree does not hold it.
    QTreeWidgetItem *findLocationNode(const QString &host, const QString &path) const;
    QTreeWidgetItem *EnsureChildNode(QTreeWidgetItem *parent, const QString &name, bool expand, bool caseSensitive);
    // False (after telling the user) when the host is not in the tree.
    bool GoToLocation(const QString &host, const QString &path, bool select);
    // Fills list (or just the tree when list is null) for the node; false when an expansion has to
    // wait for a listing, or a local directory could not be read. A given list's shownListing
    // becomes -2; a plain expansion leaves the list alone.
    bool ListNode(QTreeWidgetItem *node, FileWindow *list, bool expansion);
    void ScanLocalDirectory(QTreeWidgetItem *node, FileWindow *list);
    void GoUp();

    // A listing of (host, directory) applied to this tree: mark, add, sweep. A listing that broke
    // off (complete false) removes nothing it did not reach. The node may leave the tree meanwhile.
    void listingStarted(const QString &host, const QString &directory);
    void listingEntry(const QString &host, const QString &directory, const ListingEntry &entry);
    void listingEnded(const QString &host, const QString &directory, bool complete);
    void directoryRemoved(const QString &host, const QString &directory, const QString &name);
    void directoryRenamed(const QString &host, const QString &directory, const QString &oldName, const QString &newName);
    void directoryCreated(const QString &host, const QString &parent, const QString &name);

    // The last input was a mouse click (or Open selected a node): show the selection at once.
    bool selectedByMouse = false;
    // Fetch from the host when the cache cannot be used; a Ctrl+click clears it.
    bool fetch = true;

    bool handleCommand(int id) override;
    bool commandState(int id, CommandState &state) override;

signals:
    // The selected node changed (by any means); the pane shows it at once or after its timer.
    void selectionChanged(QTreeWidgetItem *node);
    // In-place editing of a node's label began (Rename) / was confirmed with a new text. The label
    // keeps its old text: the pane renames the host, folder or directory and then sets it.
    void labelEditStarted(QTreeWidgetItem *node);
    void labelEdited(QTreeWidgetItem *node, const QString &newText);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    Window *pane_;
    ConnectionManager *pool_;
    // This tree and those of every other pane of the pool.
    QList<DirWindow *> allTrees() const;

    // The directory nodes being filled by listings under way, with their children by name.
    struct Sweep
    {
        QPersistentModelIndex node;                 // invalid once the node left the tree
        QHash<QString, QTreeWidgetItem *> children; // kept current when children are removed
        bool placeholderRemoved = false;
    };
    QHash<QString, Sweep> sweeps_; // key: host + '\n' + directory

    // Expansions and collapses made by the program itself, not by the user.
    bool quiet_ = false;
    // The selection is moving off nodes that are being removed.
    bool removing_ = false;
    // The node whose label is being edited, with its text when editing began.
    QPersistentModelIndex editing_;
    QString editingText_;

    static QTreeWidgetItem *addNode(QTreeWidgetItem *parent, const QString &text, quint32 flags, int icon,
                                    int selectedIcon);
    static void addPlaceholder(QTreeWidgetItem *node);
    static QTreeWidgetItem *exactChild(const QTreeWidgetItem *parent, const QString &text);
    static QHash<QString, QTreeWidgetItem *> childrenByText(const QTreeWidgetItem *node);
    static bool markSeen(QTreeWidgetItem *node, int icon);
    static void clearSeen(QTreeWidgetItem *node);
    void addHostEntries(QTreeWidgetItem *parent, int folderId, const QList<HostEntry> &entries,
                        QList<int> &openFolders);
    bool syncHostEntries(QTreeWidgetItem *node, int folderId, const QList<HostEntry> &entries,
                         QList<int> &openFolders);
    QTreeWidgetItem *nodeAtPath(QTreeWidgetItem *hostNode, const QString &path, bool exact) const;
    static QString localDriveForm(QString path);
    void tellUser(const QString &text, const QString &caption);
    void setExpandedQuietly(QTreeWidgetItem *node, bool expanded);
    void removeUnseenChildren(QTreeWidgetItem *node);
    void sortNode(QTreeWidgetItem *node);
    bool scanLocal(QTreeWidgetItem *node, FileWindow *list);
    void applyLocalEntries(QTreeWidgetItem *node, const QString &path, const QString &nativeDirectory,
                           FileWindow *list);

    void onCurrentItemChanged(QTreeWidgetItem *current, QTreeWidgetItem *previous);
    void onItemExpanded(QTreeWidgetItem *node);
    void onItemCollapsed(QTreeWidgetItem *node);
    void onRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void onItemChanged(QTreeWidgetItem *node, int column);
    void onEditorClosed();
    void startLabelEdit(QTreeWidgetItem *node);
    static bool canRename(const QTreeWidgetItem *node);
};
