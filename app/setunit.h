#pragma once
// "设置温度单位": chooses ℃ (0) or F (1) for every shown temperature and
// stores the choice in COMPARA.DAT at once.

#include "dialog.h"

class QComboBox;

class CSetUnit : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_UNIT = 1201;

    explicit CSetUnit(QWidget* parent = nullptr);
    bool OnInitDialog() override;
    void OnOK() override;

    QComboBox* m_unitCombo;
};
