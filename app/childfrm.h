#pragma once
// The child window of every document template: a plain MDI child window.

#include "mdichildwnd.h"

class CChildFrame : public CMDIChildWnd {
    Q_OBJECT
public:
    CChildFrame() = default;
};
