#pragma once
// "曲线参数设置": edits the application's curve parameters and channel names
// (theApp.m_CurvePara, theApp.m_ChannelNames) directly. Colours, radio
// buttons, check boxes and names take effect as the user works; the accept
// button validates and stores the edit boxes and the pickers. Eight channel
// rows are paged over the 80 channels by the scroll bar.
//
// Callers copy their own record in before DoModal() and back out only when
// it returns IDOK.

#include "dialog.h"
#include "systemtime.h"

#include <array>

class CMyColorButton;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollBar;
class QTimeEdit;

class CCurvePara : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDC_CHANNEL_COLOR0 = 1003, // 1003..1010
        IDC_RESTORE_DEFAULTS = 1011,
        IDC_ACCEPT = 1012,
        IDC_CANCEL_BUTTON = 1013,
        IDC_BACKGROUND_COLOR = 1014,
        IDC_GRID_COLOR = 1015,
        IDC_TEXT_COLOR = 1016,
        IDC_VISIBLE0 = 1101, // 1101..1108
        IDC_CUSTOM_NAMES = 1109,
        IDC_START_DATE = 1305,
        IDC_START_TIME = 1306,
        IDC_Y_MIN = 1401,
        IDC_Y_MAX = 1402,
        IDC_GRID_ROWS = 1403,
        IDC_GRID_COLUMNS = 1405,
        IDC_TIME_LENGTH = 1408,
        IDC_NAME0 = 1417, // 1417..1424
        IDC_Y_PERCENT = 1701,
        IDC_Y_VALUE = 1702,
        IDC_X_SHORT = 1703,
        IDC_X_LONG = 1704,
        IDC_MINUTES = 1705,
        IDC_SECONDS = 1706,
        IDC_CHANNEL_SCROLL = 1801,
        IDC_ROW_LABEL0 = 1951, // 1951..1957, the eighth row's label is 1959
        IDC_ROW_LABEL7 = 1959,
    };
    // Scroll codes of OnVScroll.
    enum ScrollCode : int {
        SB_LINEUP = 0,
        SB_LINEDOWN = 1,
        SB_PAGEUP = 2,
        SB_PAGEDOWN = 3,
        SB_THUMBPOSITION = 4,
        SB_THUMBTRACK = 5,
        SB_ENDSCROLL = 8,
    };
    static constexpr int kRows = 8;
    static constexpr int kLastFirstChannel = 72; // 80 channels - 8 rows

    explicit CCurvePara(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    // Enter accepts through the same validation as the accept button.
    void OnOK() override;

    // The scroll bar's message: moves the row window and shows it.
    void OnVScroll(int code, int thumbPos = 0);
    int ScrollPosition() const;

    void FillControls(int first);
    void ShowChannelRows(int first);
    void UpdateRadioButtons();

    // Accept: the checks and stores in order, stopping at the first failure
    // with its message. True when the dialog was closed with IDOK.
    bool Accept();

private:
    void BuildControls();
    void ChooseColor(COLORREF& field, CMyColorButton* button);
    void OnRowColor(int k);
    void OnRowVisible(int k);
    void OnCustomNames();
    void OnNameEdited(int k);
    void OnRestoreDefaults();
    int ReadInt(int id) const;

    QScrollBar* m_channelScroll = nullptr;
    std::array<QCheckBox*, kRows> m_visibleCheck{};
    std::array<QLineEdit*, kRows> m_nameEdit{};
    std::array<QLabel*, kRows> m_rowLabel{};
    std::array<CMyColorButton*, kRows> m_rowColor{};
    CMyColorButton* m_backgroundButton = nullptr;
    CMyColorButton* m_gridButton = nullptr;
    CMyColorButton* m_textButton = nullptr;
    QCheckBox* m_customNamesCheck = nullptr;
    QDateEdit* m_startDate = nullptr;
    QTimeEdit* m_startTime = nullptr;
};
