#pragma once
// The program's resources, registered once at start-up by the application:
// menus, string table entries, icons and accelerator tables, each under its
// resource id. Document templates and frames look them up by id.

#include <QIcon>
#include <QKeySequence>
#include <QString>
#include <vector>

// One entry of a menu: a popup (items not empty), a command (id != 0) or a
// separator (id 0, no items, empty text). The text is the resource text as
// written, e.g. "打开...\tCtrl+O(&O)": '&' marks the mnemonic, what follows
// a tab is the shortcut shown at the right.
struct MenuItemDef {
    QString text;
    int id = 0;
    std::vector<MenuItemDef> items;

    bool IsSeparator() const { return id == 0 && items.empty() && text.isEmpty(); }
    bool IsPopup() const { return !items.empty(); }
};
using MenuDef = std::vector<MenuItemDef>; // the popups of a menu bar

MenuItemDef MenuCommand(const QString& text, int id);
MenuItemDef MenuSeparator();
MenuItemDef MenuPopup(const QString& text, std::vector<MenuItemDef> items);

struct AcceleratorDef {
    QKeySequence key;
    int id;
};

namespace resources {

void RegisterMenu(int id, MenuDef menu);
// nullptr when no menu has that id.
const MenuDef* Menu(int id);

void RegisterString(int id, const QString& text);
// Empty when not registered.
QString String(int id);

void RegisterIcon(int id, const QIcon& icon);
QIcon Icon(int id);

void RegisterAccelerators(int id, std::vector<AcceleratorDef> table);
const std::vector<AcceleratorDef>* Accelerators(int id);

// A document string "\nVantrel\nVantrel\nVantrel Files (*.tda)\n.tda\n..."
// split at '\n'; index 0 window title, 1 document name, 2 new-file name,
// 3 filter name, 4 filter extension, 5 type id, 6 type name. Empty for a
// missing part.
QString DocStringPart(const QString& docString, int index);

// The text a QAction shows for a resource text: the mnemonic suffix "(&O)"
// written after the shortcut moves before the tab, so "打开...\tCtrl+O(&O)"
// shows as "打开...(&O)" with "Ctrl+O" at the right.
QString DisplayText(const QString& resourceText);

} // namespace resources
