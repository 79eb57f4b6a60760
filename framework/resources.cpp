#include "resources.h"

#include <map>

MenuItemDef MenuCommand(const QString& text, int id) {
    return {text, id, {}};
}
MenuItemDef MenuSeparator() {
    return {};
}
MenuItemDef MenuPopup(const QString& text, std::vector<MenuItemDef> items) {
    return {text, 0, std::move(items)};
}

namespace {
struct Tables {
    std::map<int, MenuDef> menus;
    std::map<int, QString> strings;
    std::map<int, QIcon> icons;
    std::map<int, std::vector<AcceleratorDef>> accelerators;
};
Tables& tables() {
    static Tables t;
    return t;
}
} // namespace

namespace resources {

void RegisterMenu(int id, MenuDef menu) {
    tables().menus[id] = std::move(menu);
}
const MenuDef* Menu(int id) {
    auto it = tables().menus.find(id);
    return it == tables().menus.end() ? nullptr : &it->second;
}

void RegisterString(int id, const QString& text) {
    tables().strings[id] = text;
}
QString String(int id) {
    auto it = tables().strings.find(id);
    return it == tables().strings.end() ? QString() : it->second;
}

void RegisterIcon(int id, const QIcon& icon) {
    tables().icons[id] = icon;
}
QIcon Icon(int id) {
    auto it = tables().icons.find(id);
    return it == tables().icons.end() ? QIcon() : it->second;
}

void RegisterAccelerators(int id, std::vector<AcceleratorDef> table) {
    tables().accelerators[id] = std::move(table);
}
const std::vector<AcceleratorDef>* Accelerators(int id) {
    auto it = tables().accelerators.find(id);
    return it == tables().accelerators.end() ? nullptr : &it->second;
}

QString DocStringPart(const QString& docString, int index) {
    const QStringList parts = docString.split(QLatin1Char('\n'));
    return index >= 0 && index < parts.size() ? parts[index] : QString();
}

QString DisplayText(const QString& resourceText) {
    const int tab = resourceText.indexOf(QLatin1Char('\t'));
    if (tab < 0)
        return resourceText;
    QString left = resourceText.left(tab);
    QString right = resourceText.mid(tab + 1);
    // "Ctrl+O(&O)": the mnemonic belongs to the item, not to the shortcut.
    const int amp = right.indexOf(QLatin1String("(&"));
    if (amp >= 0 && right.endsWith(QLatin1Char(')'))) {
        left += right.mid(amp);
        right = right.left(amp);
    }
    return left + QLatin1Char('\t') + right;
}

} // namespace resources
