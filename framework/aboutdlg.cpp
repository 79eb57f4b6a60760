#include "aboutdlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(parent) {
    setWindowTitle(QStringLiteral("关于 Vantrel"));
    auto* icon = AddControl(-1, new QLabel(this));
    icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    auto* text = AddControl(-2, new QLabel(QStringLiteral("Vantrel 1.0 版"), this));
    auto* ok = AddButton(1, QStringLiteral("确定"));
    ok->setDefault(true);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(260, 100)));
}
