#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// The frame's commands as data: the menu tree, the status-bar hints, the accelerator table and
// the tool bar. The frame builds its menus, keys and buttons from these tables.
namespace CommandTable {

// One line of the menu tree. depth 0 is the menu bar; a popup's items follow it one level deeper.
struct MenuLine
{
    enum Kind { Command, Popup, Separator };
    int depth;
    Kind kind;
    int id;           // command id; 0 for popups and separators
    const char *text; // item text with its mnemonic; the key is shown beside it (shortcutText)
};

struct Accelerator
{
    QKeyCombination key;
    int id;
};

// One gadget of the tool bar, left to right: a button sending id with the picture numbered
// picture, or a separator of the given width in pixels.
struct ToolGadget
{
    int id;      // 0 for a separator
    int picture; // bitmap number of the button's picture
    int width;   // separator width
};

const QList<MenuLine> &menuLines();
// In table order; where two entries share a key the first one wins.
const QList<Accelerator> &accelerators();
const QList<ToolGadget> &toolGadgets();

// The status-bar hint of a command; empty when it has none.
QString hint(int id);
// A command's name for tool tips: its menu text without mnemonic ("Go Up").
QString name(int id);
// The menu text of a command; empty when no menu item sends it.
QString menuText(int id);
// The key that runs a command, as the desktop writes it ("Ctrl+U"); empty when none does.
QString shortcutText(int id);
// The text of a command's menu item: its text, then a tab and its key for the shortcut column.
QString menuItemText(int id);

} // namespace CommandTable
