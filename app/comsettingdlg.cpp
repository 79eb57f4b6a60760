#include "comsettingdlg.h"

#include "datafolder.h"
#include "vantrel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

int32_t LeadingInteger(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        negative = t[i++] == QLatin1Char('-');
    long long value = 0;
    for (; i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (t[i].unicode() - '0');
        if (value > (1LL << 32))
            break;
    }
    if (negative)
        value = -value;
    value = std::clamp<long long>(value, std::numeric_limits<int32_t>::min(),
                                  std::numeric_limits<int32_t>::max());
    return int32_t(value);
}

CComSettingDlg::CComSettingDlg(QWidget* parent) : CDialog(parent) {
    setWindowTitle(QStringLiteral("串口设置"));
    m_port = AddControl(IDC_PORT, new QComboBox(this));
    m_baud = AddControl(IDC_BAUD, new QComboBox(this));
    m_dataBits = AddControl(IDC_DATABITS, new QComboBox(this));
    m_stopBits = AddControl(IDC_STOPBITS, new QComboBox(this));
    m_parity = AddControl(IDC_PARITY, new QLineEdit(this));
    m_sample = AddControl(IDC_SAMPLE, new QLineEdit(this));
    auto* protocol = AddControl(IDC_PROTOCOL, new QComboBox(this));
    m_portDevice = AddControl(IDC_PORT_DEVICE, new QLabel(this));
    auto* store = AddButton(IDC_STORE, QStringLiteral("确定"));
    auto* close = AddButton(IDC_CLOSE, QStringLiteral("取消"));
    OnButton(IDC_STORE, [this] { OnStore(); });
    OnButton(IDC_CLOSE, [this] { OnCancel(); });

    m_dataBits->setEnabled(false);
    m_stopBits->setEnabled(false);
    m_parity->setReadOnly(true);
    m_parity->setEnabled(false);
    m_portDevice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_portDevice->setStyleSheet(QStringLiteral("color: #505050"));
    connect(m_port, &QComboBox::currentIndexChanged, this, [this] { ShowPortDevice(); });

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](const char* label, QWidget* w, QWidget* extra = nullptr) {
        auto* l = new QLabel(QString::fromUtf8(label), this);
        grid->addWidget(l, row, 0);
        grid->addWidget(w, row, 1);
        if (extra)
            grid->addWidget(extra, row, 2);
        ++row;
        return l;
    };
    addRow("端口", m_port, m_portDevice);
    addRow("波特率", m_baud);
    addRow("数据位", m_dataBits);
    addRow("停止位", m_stopBits);
    addRow("奇偶校验", m_parity);
    addRow("采样时间", m_sample, new QLabel(QStringLiteral("s"), this));
    QLabel* protocolLabel = addRow("规约", protocol);
    protocol->hide();
    protocolLabel->hide();
    grid->setColumnMinimumWidth(1, 120);
    grid->setColumnMinimumWidth(2, 140);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(store);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
}

namespace {
// Selects index when the box has it, otherwise fallback.
void SelectOr(QComboBox* box, int index, int fallback) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : fallback);
}
} // namespace

bool CComSettingDlg::OnInitDialog() {
    const ComPara& p = theApp.m_ComPara;
    m_baud->clear();
    for (const char* t : kBaudTexts)
        m_baud->addItem(QString::fromUtf8(t));
    SelectOr(m_baud, p.nBaud, 6);

    m_port->clear();
    for (int i = 1; i <= kPortCount; ++i)
        AddPort(i - 1);
    // A port beyond COM10 (set by hand in the settings file) is shown and
    // kept, not silently replaced by COM1.
    if (p.nPort >= kPortCount && p.nPort < 255)
        AddPort(p.nPort);
    SelectOr(m_port, m_port->findData(p.nPort), 0);

    m_dataBits->clear();
    for (const char* t : kDataBitTexts)
        m_dataBits->addItem(QString::fromUtf8(t));
    SelectOr(m_dataBits, p.nByteSize, -1);

    m_stopBits->clear();
    for (const char* t : kStopBitTexts)
        m_stopBits->addItem(QString::fromUtf8(t));
    SelectOr(m_stopBits, p.nStopBits, -1);

    m_parity->setText(p.nParity >= 0 && p.nParity < 5 ? QString::fromUtf8(kParityTexts[p.nParity])
                                                      : QString());
    m_sample->setText(QString::asprintf("%d", p.nSampleSec));
    ShowPortDevice();
    return true;
}

void CComSettingDlg::AddPort(int index) {
    m_port->addItem(QString::asprintf("COM%d", index + 1), index);
    m_port->setItemData(m_port->count() - 1,
                        QString::fromStdString(vantrel::PortDevicePath(index + 1)),
                        Qt::ToolTipRole);
}

void CComSettingDlg::ShowPortDevice() {
    const QVariant index = m_port->currentData();
    if (!index.isValid()) {
        m_portDevice->clear();
        return;
    }
    const std::string device = vantrel::PortDevicePath(index.toInt() + 1);
    m_portDevice->setText(QStringLiteral("→ ") + QString::fromStdString(device));
}

void CComSettingDlg::OnStore() {
    ComPara& p = theApp.m_ComPara;
    p.nBaud = m_baud->currentIndex();
    p.nPort = m_port->currentData().toInt();
    p.nSampleSec = LeadingInteger(m_sample->text());
    theApp.SaveComPara();
    CDialog::OnOK();
}
