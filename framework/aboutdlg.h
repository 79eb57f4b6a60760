#pragma once
// The About dialog: "关于 Vantrel", the program icon, "Vantrel 1.0 版", "确定".

#include "dialog.h"

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
