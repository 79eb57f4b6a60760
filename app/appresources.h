#pragma once
// The program's resources: the four menus, the document strings, the
// accelerator table, the program and document icons and the toolbar images.

#include <QIcon>

void RegisterAppResources();
// The program icon (also installed for the desktop as vantrel.svg).
QIcon ProgramIcon();
// The toolbar image of a command id; a null icon for unknown ids.
QIcon ToolbarIcon(int id);
