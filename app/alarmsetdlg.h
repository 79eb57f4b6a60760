#pragma once
// CAlarmSetDlg, "设备参数设置": reads and writes the device's channel count
// and its upper and lower alarm limits (holding registers 80..82 of slave 1)
// over the program's serial port, opening the port itself when it is closed.
// Values are shown and sent as they are, without unit conversion. The dialog
// has no OK or Cancel button; it closes with the close box or Esc, and then
// closes the port again unless an acquisition run is using it.

#include "acquisitionrun.h"
#include "dialog.h"

#include <cstdint>

struct ComPara;

// The line settings the stored indexes stand for (out-of-range indexes are
// held to the tables).
SerialLine ComParaLine(const ComPara& c);

class CAlarmSetDlg : public CDialog {
    Q_OBJECT
public:
    static constexpr int IDD = 139;
    static constexpr int IDC_CHANNELS = 1401;
    static constexpr int IDC_ALARM_HIGH = 1402;
    static constexpr int IDC_ALARM_LOW = 1407;
    static constexpr int IDC_READ = 1001;
    static constexpr int IDC_WRITE = 1002;
    static constexpr uint16_t kFirstRegister = 80;

    explicit CAlarmSetDlg(QWidget* parent = nullptr);
    ~CAlarmSetDlg() override;

    bool OnInitDialog() override;
    void OnRead();
    void OnWrite();

    const uint16_t* Values() const { return m_values; }

private:
    bool EnsurePortOpen();
    void ShowValues();

    uint16_t m_values[3] = {};
};
