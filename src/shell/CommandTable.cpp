#include "shell/CommandTable.h"

#include "panes/CommandIds.h"

#include <QHash>

namespace CommandTable {

const QList<MenuLine> &menuLines()
{
    static const QList<MenuLine> lines = {
        {0, MenuLine::Popup, 0, "&File"},
        {1, MenuLine::Popup, 0, "&New"},
        {2, MenuLine::Command, Cmd::NewHost, "&Host"},
        {2, MenuLine::Command, Cmd::NewFolder, "&Folder"},
        {1, MenuLine::Command, Cmd::Open, "&Open"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Command, Cmd::Copy, "&Copy"},
        {1, MenuLine::Command, Cmd::Delete, "&Delete"},
        {1, MenuLine::Popup, 0, "&Mark Selection"},
        {2, MenuLine::Command, Cmd::MarkFolder, "As &Folder"},
        {2, MenuLine::Command, Cmd::MarkBinary, "As &Binary"},
        {2, MenuLine::Command, Cmd::MarkAscii, "As &ASCII"},
        {1, MenuLine::Command, Cmd::Rename, "&Rename"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Command, Cmd::Close, "&Close"},
        {0, MenuLine::Popup, 0, "&Edit"},
        {1, MenuLine::Command, Cmd::SelectUsingFilter, "Select Using &Filter"},
        {1, MenuLine::Command, Cmd::UnselectAll, "&Unselect All"},
        {1, MenuLine::Command, Cmd::SelectAll, "&Select All"},
        {1, MenuLine::Command, Cmd::InvertSelection, "&Invert Selection"},
        {0, MenuLine::Popup, 0, "&View"},
        {1, MenuLine::Command, Cmd::DirectoryInformation, "&Directory Information"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Command, Cmd::SplitVertically, "Split Windows &Vertically"},
        {1, MenuLine::Command, Cmd::ShowTransferButtons, "Show &Transfer Buttons"},
        {1, MenuLine::Command, Cmd::ShowTitles, "S&how Titles"},
        {1, MenuLine::Command, Cmd::SplitWindow, "&Split Window"},
        {1, MenuLine::Command, Cmd::ShowDirectories, "Show Di&rectories"},
        {1, MenuLine::Command, Cmd::ShowTree, "Show &Tree"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Command, Cmd::SmallIcons, "S&mall Icons"},
        {1, MenuLine::Command, Cmd::ListView, "&List"},
        {1, MenuLine::Command, Cmd::Details, "&Details"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Popup, 0, "Arrange &Icons"},
        {2, MenuLine::Command, Cmd::ByName, "by &Name"},
        {2, MenuLine::Command, Cmd::ByType, "by &Type"},
        {2, MenuLine::Command, Cmd::BySize, "by Si&ze"},
        {2, MenuLine::Command, Cmd::ByDate, "by &Date"},
        {2, MenuLine::Separator, 0, nullptr},
        {2, MenuLine::Command, Cmd::Descending, "D&escending"},
        {2, MenuLine::Command, Cmd::Ascending, "&Ascending"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Popup, 0, "&Options"},
        {2, MenuLine::Popup, 0, "&Program Options"},
        {3, MenuLine::Command, Cmd::StoreUploadsUniquely, "Store Uploads &Uniquely"},
        {3, MenuLine::Command, Cmd::PassiveModeTransfers, "&Passive Mode Transfers"},
        {3, MenuLine::Popup, 0, "&Default Transfer Type"},
        {4, MenuLine::Command, Cmd::ThisConnection, "&This Connection"},
        {4, MenuLine::Command, Cmd::NewConnection, "&New Connection"},
        {4, MenuLine::Command, Cmd::PromptConnection, "&Prompt"},
        {4, MenuLine::Separator, 0, nullptr},
        {4, MenuLine::Command, Cmd::ForegroundTransfer, "&Foreground Transfer"},
        {4, MenuLine::Command, Cmd::BackgroundTransfer, "&Background Transfer"},
        {4, MenuLine::Command, Cmd::PromptHostToHost, "P&rompt on Host to Host"},
        {3, MenuLine::Command, Cmd::EditAsciiExtensions, "Edit &ASCII Extensions"},
        {3, MenuLine::Command, Cmd::EditCachePath, "Edit &Cache Path"},
        {3, MenuLine::Command, Cmd::ChangeEmail, "Change &EMail Address"},
        {2, MenuLine::Command, Cmd::HostOptions, "&Host Options"},
        {2, MenuLine::Command, Cmd::StartupPaths, "&Startup Paths..."},
        {0, MenuLine::Popup, 0, "&Tools"},
        {1, MenuLine::Command, Cmd::GoToFolder, "&Go to Folder"},
        {1, MenuLine::Command, Cmd::GoUp, "Go &Up"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Command, Cmd::RefreshAllSubFolders, "Refresh &All Sub Folders"},
        {1, MenuLine::Command, Cmd::RefreshCurrent, "Refresh &Current Folder"},
        {1, MenuLine::Command, Cmd::Search, "&Search For File..."},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Command, Cmd::EmptyConnectionBuffer, "&Empty Connection Buffer"},
        {1, MenuLine::Command, Cmd::CloseAllConnections, "C&lose All Connections"},
        {1, MenuLine::Command, Cmd::CloseHostConnections, "Close This &Host's Connections"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Command, Cmd::CustomCommand, "&Custom Command"},
        {1, MenuLine::Command, Cmd::WatchConnection, "&Watch Connection"},
        {0, MenuLine::Popup, 0, "&Help"},
        {1, MenuLine::Command, Cmd::HelpTopics, "&Help Topics"},
        {1, MenuLine::Separator, 0, nullptr},
        {1, MenuLine::Command, Cmd::About, "&About"},
    };
    return lines;
}

const QList<Accelerator> &accelerators()
{
    static const QList<Accelerator> table = {
        {Qt::Key_F8, Cmd::Copy},
        {Qt::Key_Delete, Cmd::Delete},
        {Qt::Key_F7, Cmd::Rename},
        {Qt::Key_F2, Cmd::CustomCommand},
        {Qt::Key_F3, Cmd::WatchConnection},
        {Qt::CTRL | Qt::Key_U, Cmd::GoUp},
        {Qt::Key_F6, Cmd::DirectoryInformation},
        {Qt::Key_F10, Cmd::RefreshAllSubFolders},
        {Qt::Key_F9, Cmd::RefreshCurrent},
        {Qt::Key_F11, Cmd::GoToFolder},
        {Qt::CTRL | Qt::Key_S, Cmd::SelectUsingFilter},
        {Qt::CTRL | Qt::Key_U, Cmd::UnselectAll}, // never reached: Go Up has the key
        {Qt::CTRL | Qt::Key_E, Cmd::SelectAll},
        {Qt::CTRL | Qt::Key_I, Cmd::InvertSelection},
        {Qt::CTRL | Qt::Key_H, Cmd::NewHost},
        {Qt::CTRL | Qt::Key_N, Cmd::NewFolder},
        {Qt::CTRL | Qt::Key_F, Cmd::MarkFolder},
        {Qt::CTRL | Qt::Key_B, Cmd::MarkBinary},
        {Qt::CTRL | Qt::Key_A, Cmd::MarkAscii},
        // Where a Linux file manager goes up.
        {Qt::Key_Backspace, Cmd::GoUp},
        {Qt::ALT | Qt::Key_Up, Cmd::GoUp},
    };
    return table;
}

const QList<ToolGadget> &toolGadgets()
{
    static const QList<ToolGadget> gadgets = {
        {Cmd::Open, 1, 0},
        {0, 0, 6},
        {Cmd::Copy, 3, 0},
        {Cmd::Delete, 4, 0},
        {0, 0, 6},
        {Cmd::RefreshCurrent, 20, 0},
        {0, 0, 10},
        {Cmd::SmallIcons, 15, 0},
        {Cmd::ListView, 16, 0},
        {Cmd::Details, 16627, 0},
        {0, 0, 6},
        {Cmd::GoUp, 22, 0},
    };
    return gadgets;
}

QString hint(int id)
{
    static const QHash<int, QString> hints = {
        {Cmd::Open, QStringLiteral("Open the specified file or folder")},
        {Cmd::SelectAll, QStringLiteral("Select all items")},
        {Cmd::Copy, QStringLiteral("Copy selected files to a specific location (host and absolute path)")},
        {Cmd::Delete, QStringLiteral("Delete selected files")},
        {Cmd::Close, QStringLiteral("Exit the program")},
        {Cmd::InvertSelection, QStringLiteral("Invert current selection")},
        {Cmd::WatchConnection, QStringLiteral("Monitor data transferred and received from this host")},
        {Cmd::Ascending, QStringLiteral("Arrange in ascending order")},
        {Cmd::Descending, QStringLiteral("Arrange in descending order")},
        {Cmd::SmallIcons, QStringLiteral("Display files using small icons")},
        {Cmd::ListView, QStringLiteral("Display files as a list")},
        {Cmd::About, QStringLiteral("About Vemal Ftp")},
        {Cmd::ByName, QStringLiteral("Sort items by name")},
        {Cmd::ByType, QStringLiteral("Sort items by extension")},
        {Cmd::BySize, QStringLiteral("Sort items by size")},
        {Cmd::HelpTopics, QStringLiteral("Contents page for Vemal Ftp help")},
        {Cmd::ChangeEmail, QStringLiteral("Change EMail address sent for anonymous logins")},
        {Cmd::SelectUsingFilter, QStringLiteral("Select files based on a wild card")},
        {Cmd::CloseAllConnections, QStringLiteral("Close all open connections")},
        {Cmd::CloseHostConnections, QStringLiteral("Close all connections open to this host")},
        {Cmd::ShowTransferButtons, QStringLiteral("Show buttons to copy files between each window")},
        {Cmd::CustomCommand, QStringLiteral("Send a command to current host")},
        {Cmd::NewFolder, QStringLiteral("Create a new folder to place hosts or files in.")},
        {Cmd::ThisConnection, QStringLiteral("Use this connection when clicking on transfer arrows")},
        {Cmd::NewConnection, QStringLiteral("Use new connection when clicking on transfer arrows")},
        {Cmd::PromptConnection, QStringLiteral("Prompt for connection type when clicking on transfer arrows")},
        {Cmd::ForegroundTransfer, QStringLiteral("Use foreground for host to host transfer when clicking on transfer arrows")},
        {Cmd::BackgroundTransfer, QStringLiteral("Use background for host to host transfer when clicking on transfer arrows")},
        {Cmd::DirectoryInformation, QStringLiteral("Supply information on the number and size of files in current directory")},
        {Cmd::UnselectAll, QStringLiteral("Unselect all items")},
        {Cmd::GoToFolder, QStringLiteral("Go directly to a specific host and folder")},
        {Cmd::EmptyConnectionBuffer, QStringLiteral("Clear all waiting operations from selected hosts buffer.")},
        {Cmd::SplitVertically, QStringLiteral("Split window vertically rather than horizontally")},
        {Cmd::MarkFolder, QStringLiteral("Mark all selected items as being of type folder")},
        {Cmd::MarkBinary, QStringLiteral("Mark all selected items as being binary files")},
        {Cmd::MarkAscii, QStringLiteral("Mark all selected items as being ASCII files")},
        {Cmd::NewHost, QStringLiteral("Create a new host")},
        {Cmd::PromptHostToHost, QStringLiteral("Prompt for transfer type for host to host transfer when clicking on transfer arrows")},
        {Cmd::ByDate, QStringLiteral("Sort items by date")},
        {Cmd::EditCachePath, QStringLiteral("Change the path used for caching directory listings")},
        {Cmd::ShowTitles, QStringLiteral("Show titles on tree and list windows")},
        {Cmd::Rename, QStringLiteral("Change the name of a file, folder or host")},
        {Cmd::Details, QStringLiteral("Display files giving file information")},
        {Cmd::RefreshCurrent, QStringLiteral("Reread current folder.")},
        {Cmd::HostOptions, QStringLiteral("Change attributes of the currently open host")},
        {Cmd::ShowDirectories, QStringLiteral("Show directories as well as files is list display")},
        {Cmd::RefreshAllSubFolders, QStringLiteral("Retrieve and cache directory listing for all sub folders.")},
        {Cmd::EditAsciiExtensions, QStringLiteral("Modify extensions that should be treated as ASCII on transfers")},
        {Cmd::StoreUploadsUniquely, QStringLiteral("Host should allocate a unique name for uploads")},
        {Cmd::PassiveModeTransfers, QStringLiteral("Open data connections to the host (PASV) unless a host's options say otherwise")},
        {Cmd::ShowTree, QStringLiteral("Show directory tree to right of display")},
        {Cmd::GoUp, QStringLiteral("Go up one level")},
        {Cmd::SplitWindow, QStringLiteral("Show an additional file list")},
        {Cmd::Search, QStringLiteral("Search the current folder and its sub folders for a file")},
        {Cmd::StartupPaths, QStringLiteral("Choose the host and folder each window opens at start-up")},
    };
    return hints.value(id);
}

QString menuText(int id)
{
    for (const MenuLine &line : menuLines()) {
        if (line.kind == MenuLine::Command && line.id == id)
            return QString::fromLatin1(line.text);
    }
    return {};
}

QString name(int id)
{
    return menuText(id).remove(QLatin1Char('&'));
}

QString shortcutText(int id)
{
    // Keys that reach the command outside the table: Enter opens the list's focused item, and the
    // window manager closes the window on Alt+F4.
    if (id == Cmd::Open)
        return QStringLiteral("Enter");
    if (id == Cmd::Close)
        return QStringLiteral("Alt+F4");
    QList<QKeyCombination> taken;
    for (const Accelerator &accelerator : accelerators()) {
        if (taken.contains(accelerator.key))
            continue; // the earlier entry has the key
        taken.append(accelerator.key);
        if (accelerator.id == id)
            return QKeySequence(accelerator.key).toString(QKeySequence::NativeText);
    }
    return QString();
}

QString menuItemText(int id)
{
    const QString key = shortcutText(id);
    return key.isEmpty() ? menuText(id) : menuText(id) + QLatin1Char('\t') + key;
}

} // namespace CommandTable
