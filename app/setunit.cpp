#include "setunit.h"

#include "commandids.h"
#include "vantrel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CSetUnit::CSetUnit(QWidget* parent) : CDialog(parent) {
    setWindowTitle(QStringLiteral("设置温度单位"));
    auto* label = new QLabel(QStringLiteral("温度单位："), this);
    m_unitCombo = AddControl(IDC_UNIT, new QComboBox(this));
    m_unitCombo->setMinimumWidth(90);
    auto* ok = AddButton(IDOK, QStringLiteral("确定"));
    auto* cancel = AddButton(IDCANCEL, QStringLiteral("取消"));

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_unitCombo, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

bool CSetUnit::OnInitDialog() {
    m_unitCombo->clear();
    m_unitCombo->addItem(QStringLiteral("℃"));
    m_unitCombo->addItem(QStringLiteral("F"));
    // Any value other than 0 means Fahrenheit.
    m_unitCombo->setCurrentIndex(theApp.m_nTempUnit == 0 ? 0 : 1);
    return true;
}

void CSetUnit::OnOK() {
    theApp.m_nTempUnit = uint8_t(m_unitCombo->currentIndex() == 1 ? 1 : 0);
    theApp.SaveComPara();
    CDialog::OnOK();
}
