#pragma once
// The application object theApp: start-up, the app-wide state every window
// and dialog shares (serial settings with the Modbus receive buffer, curve
// parameters and channel names, acquisition flags, the recovery record, the
// temperature unit) and the three settings files in the data folder:
//
//   COMPARA.DAT    169 bytes: the first 168 bytes of m_ComPara, m_nTempUnit
//   CURVEPARA.DAT 3513 bytes: m_CurvePara (488), m_ChannelNames (3025)
//   TempInfo.DAT   261 bytes: m_TempInfo
//
// All three are little-endian images without header or check. Everything
// here runs on the GUI thread.

#include "curveparameters.h"
#include "systemtime.h"
#include "timearith.h"
#include "winapp.h"
#include "zorcombuf.h"

#include <QString>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

class CDocTemplate;
class CToolBar;
class CMainFrame;

// Serial settings. The ten 32-bit fields and the reserved block (168 bytes)
// are stored in COMPARA.DAT; the receive buffer is not.
struct ComPara {
    int32_t nPort = 0;     // port index; the port number is nPort + 1
    int32_t bOpen = 0;     // 1 while the port is open
    int32_t nBaud = 0;     // index into kBaudRates
    int32_t nParity = 0;   // index into kParityCodes
    int32_t nByteSize = 0; // index into kDataBits
    int32_t nStopBits = 0; // index into kStopBitCodes
    int32_t reserved0 = 0;
    int32_t reserved1 = 0;
    int32_t reserved2 = 0;
    int32_t nSampleSec = 0; // sampling interval in seconds
    std::array<uint8_t, 128> reserved{};
    CZorComBuf m_RxBuf; // every Modbus call of the program uses this buffer

    // The settings of a first start: COM1, 9600 baud, no parity, 8 data
    // bits, 1 stop bit, 1 s. The receive buffer is left alone.
    void SetDefaults();
};

constexpr int kComParaStoredBytes = 168;
constexpr int kComParaFileBytes = 169;
constexpr int kCurveParaFileBytes = 488 + 3025;
constexpr int kTempInfoFileBytes = 261;

// Recovery record: a temporary acquisition file that holds unsaved data.
#pragma pack(push, 1)
struct TempInfo {
    uint8_t bPending; // 1 while szPath holds data never saved or discarded
    char szPath[260]; // zero-padded; 260 characters fill it without terminator
};
#pragma pack(pop)
static_assert(sizeof(TempInfo) == 261);

// Lookup tables from the stored indexes to the values given to Open_Com.
inline constexpr uint32_t kBaudRates[13] = {110,   300,   600,   1200,  2400,   4800,  9600,
                                            14400, 19200, 38400, 56000, 128000, 256000};
inline constexpr uint8_t kDataBits[4] = {5, 6, 7, 8};
inline constexpr uint8_t kParityCodes[5] = {0, 2, 1, 3, 4}; // none, even, odd, mark, space
inline constexpr uint8_t kStopBitCodes[3] = {0, 1, 2};      // 1, 1.5, 2 bits

// The texts the serial settings dialog shows for the same indexes.
inline constexpr const char* kBaudTexts[13] = {"110",   "300",    "600",   "1200",  "2400",
                                               "4800",  "9600",   "14400", "19200", "38400",
                                               "56000", "128000", "256000"};
inline constexpr const char* kDataBitTexts[4] = {"5", "6", "7", "8"};
inline constexpr const char* kParityTexts[5] = {"NO", "EVEN", "ODD", "MARK", "SPACE"};
inline constexpr const char* kStopBitTexts[3] = {"1位", "1.5位", "2位"};

// Stored images (little-endian, explicit byte order).
void EncodeComPara(const ComPara& p, uint8_t unit, uint8_t out[kComParaFileBytes]);
// Fills the fields the first n bytes cover; the rest keep their values.
void DecodeComPara(const uint8_t* in, std::size_t n, ComPara& p, uint8_t& unit);

// A damaged or foreign COMPARA.DAT may hold indexes the tables do not have
// (or a port beyond COM255); those fields get their defaults, so every
// lookup with the stored indexes is safe.
void KeepIndexesInTables(ComPara& p);

class CVantrelApp : public CWinApp {
public:
    CVantrelApp();
    ~CVantrelApp() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // Settings files (data folder). A missing file gives the defaults and is
    // written at once; a failed save shows "文件保存错误!".
    void LoadComPara();
    void SaveComPara();
    void LoadCurvePara();
    void SaveCurvePara();
    void LoadTempInfo();
    void SaveTempInfo();

    // Time arithmetic; the free functions of timearith.h do the work.
    SYSTEMTIME AddSeconds(SYSTEMTIME t, int32_t n) const { return ::AddSeconds(t, n); }
    SYSTEMTIME SubtractSeconds(SYSTEMTIME t, int32_t n) const { return ::SubtractSeconds(t, n); }
    int32_t DiffSeconds(SYSTEMTIME t1, SYSTEMTIME t2) const { return ::DiffSeconds(t1, t2); }
    int CompareTime(SYSTEMTIME t1, SYSTEMTIME t2) const { return ::CompareTime(t1, t2); }

    void OnAppAbout();

    // The running acquisition is dropped (an exit or window close confirmed
    // during a run): m_onDiscardRun is called first, so the run's owner can
    // abandon its run (close its file and port); then Close_Com(nPort + 1),
    // bOpen, m_bAcquiring, m_bRealTimeOpen and m_bUnsaved cleared,
    // m_pTempFile closed (if set) and nulled, the file m_strTempFile
    // deleted and the recovery record cleared and saved.
    void DiscardRun();
    // Installed by the owner of the running acquisition (the real-time view).
    std::function<void()> m_onDiscardRun;
    // Marks the recovery record clear (all 261 bytes zero) and saves it.
    void ClearTempInfo();
    // The recovery record's path as a string (bounded to its 260 bytes).
    std::string TempInfoPath() const;
    void SetTempInfoPath(const std::string& path);

    // Path of a settings file in the data folder.
    static std::string SettingsPath(const char* name);
    // The CURVEPARA.DAT image (record, then name table), shared by the
    // application and the real-time window, which keeps its own copy.
    // Reading fills what the file holds and returns the byte count, or -1
    // when it cannot be opened; writing reports success and shows nothing.
    static long ReadCurveParaFile(CurveParameters& para, ChannelNameTable& names);
    static bool WriteCurveParaFile(const CurveParameters& para, const ChannelNameTable& names);
    CMainFrame* MainFrame() const;

    // The command line of this start (set by main before InitInstance).
    CCommandLineInfo m_cmdInfo;

    // ---- app-wide state (GUI thread only) ----
    CToolBar* m_pToolBar = nullptr;
    CDocTemplate* m_pHistoryTemplate = nullptr;
    CDocTemplate* m_pListTemplate = nullptr;
    CDocTemplate* m_pRealTimeTemplate = nullptr;
    bool m_bRealTimeOpen = false;
    bool m_bAcquiring = false;
    bool m_bUnsaved = false;
    uint8_t m_nSaveAnswer = 0; // 6 yes, 7 no, 2 cancel at the last save question
    uint8_t m_nExitAnswer = 0; // 0xFF once the main window has begun to close
    ComPara m_ComPara;
    CurveParameters m_CurvePara{};
    ChannelNameTable m_ChannelNames{};
    std::FILE* m_pTempFile = nullptr;
    QString m_strCurrentFile;
    QString m_strTempFile;
    TempInfo m_TempInfo{};
    uint8_t m_nTempUnit = 0; // 0 = ℃, other = F

private:
    void RegisterResources();
    void CreateTemplates();
    bool WriteFile(const std::string& path, const void* data, std::size_t size);
};

extern CVantrelApp theApp;

// Resource and command ids of the program.
namespace res {
constexpr int IDR_MAINFRAME = 151;
constexpr int IDR_HISTORY = 152;
constexpr int IDR_LIST = 154;
constexpr int IDR_REALTIME = 155;
} // namespace res

namespace cmd {
constexpr int ID_SAVE_BITMAP = 151;
constexpr int ID_DATA_LIST = 160;
constexpr int ID_REALTIME = 161;
constexpr int ID_COM_SETTING = 162;
constexpr int ID_REALTIME_CURVEPARA = 165;
constexpr int ID_START_ACQUIRE = 166;
constexpr int ID_STOP_ACQUIRE = 167;
constexpr int ID_EXCEL_EXPORT = 168;
constexpr int ID_CURVEPARA = 169;
constexpr int ID_DEVICE_PARA = 170;
constexpr int ID_OPEN_EXCEL = 171;
constexpr int ID_TEMP_UNIT = 172;
constexpr int ID_ZOOM_IN = 32774;
constexpr int ID_ZOOM_OUT = 32775;
constexpr int ID_NORMAL_MODE = 32776;
constexpr int ID_PAGE_MODE = 32778;
constexpr int ID_HEAD_TAIL = 32779;
} // namespace cmd
