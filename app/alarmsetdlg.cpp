#include "alarmsetdlg.h"

#include "promptservice.h"
#include "vantrel.h"
#include "zorcomm.h"
#include "zormodbusrtu.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

SerialLine ComParaLine(const ComPara& c) {
    auto pick = [](auto& table, int32_t i) {
        const int n = int(std::size(table));
        return table[std::clamp<int32_t>(i, 0, n - 1)];
    };
    SerialLine l;
    l.port = c.nPort + 1;
    l.baud = pick(kBaudRates, c.nBaud);
    l.byteSize = pick(kDataBits, c.nByteSize);
    l.parity = pick(kParityCodes, c.nParity);
    l.stopBits = pick(kStopBitCodes, c.nStopBits);
    return l;
}

CAlarmSetDlg::CAlarmSetDlg(QWidget* parent) : CDialog(parent) {
    setWindowTitle(QStringLiteral("设备参数设置"));
    auto* grid = new QGridLayout(this);
    auto row = [&](int r, const QString& label, int id, const QString& unit) {
        grid->addWidget(new QLabel(label, this), r, 0);
        grid->addWidget(AddControl(id, new QLineEdit(this)), r, 1);
        if (!unit.isEmpty())
            grid->addWidget(new QLabel(unit, this), r, 2);
    };
    row(0, QStringLiteral("通道数："), IDC_CHANNELS, QString());
    row(1, QStringLiteral("上限报警值："), IDC_ALARM_HIGH, QStringLiteral("℃"));
    row(2, QStringLiteral("下限报警值："), IDC_ALARM_LOW, QStringLiteral("℃"));
    grid->addWidget(AddButton(IDC_READ, QStringLiteral("读")), 3, 0);
    grid->addWidget(AddButton(IDC_WRITE, QStringLiteral("写")), 3, 1);
    OnButton(IDC_READ, [this] { OnRead(); });
    OnButton(IDC_WRITE, [this] { OnWrite(); });
}

CAlarmSetDlg::~CAlarmSetDlg() {
    // A running acquisition keeps the port; otherwise it is closed, also
    // when this dialog failed to open it.
    if (!theApp.m_bAcquiring) {
        Close_Com(uint8_t(theApp.m_ComPara.nPort + 1));
        theApp.m_ComPara.bOpen = 0;
    }
}

bool CAlarmSetDlg::EnsurePortOpen() {
    ComPara& c = theApp.m_ComPara;
    if (!c.bOpen) {
        SerialLine l = ComParaLine(c);
        c.bOpen = Open_Com(uint8_t(l.port), l.baud, l.byteSize, l.parity, l.stopBits);
    }
    return c.bOpen != 0;
}

void CAlarmSetDlg::ShowValues() {
    SetDlgItemText(IDC_CHANNELS, QString::number(m_values[0]));
    SetDlgItemText(IDC_ALARM_HIGH, QString::number(m_values[1]));
    SetDlgItemText(IDC_ALARM_LOW, QString::number(m_values[2]));
}

bool CAlarmSetDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    std::fill(std::begin(m_values), std::end(m_values), 0);
    if (!EnsurePortOpen())
        return true; // the fields stay empty
    OnReadMRegister(theApp.m_ComPara.nPort + 1, 1, kFirstRegister, 3, &theApp.m_ComPara.m_RxBuf,
                    m_values);
    ShowValues();
    return true;
}

void CAlarmSetDlg::OnRead() {
    if (!EnsurePortOpen())
        return;
    uint16_t values[3] = {};
    if (OnReadMRegister(theApp.m_ComPara.nPort + 1, 1, kFirstRegister, 3, &theApp.m_ComPara.m_RxBuf,
                        values) != RTU_OK) {
        Prompt().MessageBox(QStringLiteral("读数据失败!"));
        return;
    }
    std::copy(std::begin(values), std::end(values), m_values);
    ShowValues();
}

void CAlarmSetDlg::OnWrite() {
    if (!EnsurePortOpen())
        return;
    const int ids[3] = {IDC_CHANNELS, IDC_ALARM_HIGH, IDC_ALARM_LOW};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        long long v = GetDlgItemText(ids[i]).trimmed().toLongLong(&ok);
        m_values[i] = uint16_t(ok ? v : 0); // the low 16 bits
    }
    if (OnWriteMRegister(theApp.m_ComPara.nPort + 1, 1, kFirstRegister, 3,
                         &theApp.m_ComPara.m_RxBuf, m_values) == RTU_OK)
        Prompt().MessageBox(QStringLiteral("写数据成功!"));
}
