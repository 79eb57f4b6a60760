#pragma once
// "串口设置": the serial port, the baud rate and the sampling interval of
// the acquisition run, stored in COMPARA.DAT by "确定". Data bits, stop bits
// and parity are shown only. The port and baud boxes offer their lists only,
// so every stored index is one the tables know. Next to the port box the
// device the chosen port opens on this machine is shown.

#include "dialog.h"

class QComboBox;
class QLineEdit;
class QLabel;

class CComSettingDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDC_PORT = 1212;
    static constexpr int IDC_BAUD = 1201;
    static constexpr int IDC_DATABITS = 1202;
    static constexpr int IDC_STOPBITS = 1203;
    static constexpr int IDC_PARITY = 1404;
    static constexpr int IDC_SAMPLE = 1406;
    static constexpr int IDC_PROTOCOL = 1211;
    static constexpr int IDC_PORT_DEVICE = 1213;
    static constexpr int IDC_STORE = 1001;
    static constexpr int IDC_CLOSE = 1002;
    static constexpr int kPortCount = 10;

    explicit CComSettingDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    // "确定": stores port, baud and interval and closes.
    void OnStore();

private:
    void AddPort(int index);
    void ShowPortDevice();

    QComboBox* m_port;
    QComboBox* m_baud;
    QComboBox* m_dataBits;
    QComboBox* m_stopBits;
    QLineEdit* m_parity;
    QLineEdit* m_sample;
    QLabel* m_portDevice;
};

// The number at the start of text, as a C program reads it (leading blanks,
// an optional sign, digits); 0 when there is none. Clamped to 32 bits.
int32_t LeadingInteger(const QString& text);
