#pragma once
// One acquisition run, without any user interface: connecting to the device,
// the temporary recording file, the one-second tick with its sample and hold
// rules, and the stop. The real-time view, vantrel-cli record and the tests
// drive the same object; questions, messages and the recovery record are the
// caller's.
//
// Nothing recorded is lost: after every sample the header and the row are
// handed to the operating system and the file is synced to the disk. A write
// that fails rolls the header back to the rows that are really in the file
// and reports WriteFailed; the caller then stops the run and tells the user.

#include "curveparameters.h"
#include "tdafile.h"
#include "tdaheader.h"

#include <cstdint>
#include <string>

class CZorComBuf;

// The line settings handed to Open_Com (values, not table indexes).
struct SerialLine {
    int port = 1; // 1-based
    uint32_t baud = 9600;
    uint8_t byteSize = 8;
    uint8_t parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t stopBits = 0; // 0 one, 1 one and a half, 2 two
};

// Creates a new empty file "TRC" + up to four hex digits + ".tmp" in folder,
// exclusively (the file exists when the name is returned). Empty on failure.
std::string CreateRunTempFile(const std::string& folder);

// Copies a finished recording to dest and syncs the copy to the disk. Only
// when that succeeded is the source deleted. False (source kept) on failure.
bool CopyRecordingAndDelete(const std::string& source, const std::string& dest);

class CAcquisitionRun {
public:
    static constexpr char kDeviceIdentity[] = "VQX7306A";
    static constexpr int kSlave = 1;
    static constexpr int kInfoBytes = 20;          // the part of the identity report used
    static constexpr uint16_t kParamRegister = 80; // channel count, upper, lower limit
    static constexpr int kHoldLimit = 2;           // failed polls that repeat the last good row
    static constexpr int kFailureCap = 10;

    enum class StartResult {
        Started,
        PortFailed,    // Open_Com refused; the serial library has shown its message
        ConnectFailed, // no identity, another identity or no parameters: "连接设备失败！"
        FileFailed,    // the temporary file cannot be made: "文件保存错误!"
    };
    enum class TickResult {
        Idle,        // no run
        Counted,     // no sample due on this tick
        Sampled,     // a row was written and synced
        WriteFailed, // the row could not be written: stop and show "文件保存错误!"
    };

    // rxBuf is the program's one receive buffer; portOpen the program's
    // port-open flag (bOpen), kept true exactly while this run holds the port.
    CAcquisitionRun(CZorComBuf& rxBuf, int32_t& portOpen);
    ~CAcquisitionRun();
    CAcquisitionRun(const CAcquisitionRun&) = delete;
    CAcquisitionRun& operator=(const CAcquisitionRun&) = delete;

    // Opens the port (closing it first when the flag says open), checks the
    // identity, reads the device parameters, begins the header, creates the
    // temporary file in folder and writes header and curvePara (whose
    // channelCount and hasChannelNames are set for the run). An interval
    // below 1 s is recorded as 1 s, the pace at which the tick then samples.
    StartResult Start(const SerialLine& line, int32_t sampleInterval, CurveParameters& curvePara,
                      const std::string& folder, const SYSTEMTIME& now);

    // One timer tick (every second): samples when the interval is due.
    TickResult Tick(const SYSTEMTIME& now);

    // Appends the name table, syncs and closes the file, closes the port.
    // False when the table could not be written (the rows are kept).
    bool Stop(const ChannelNameTable& names);

    // Discards the run: closes the port and the file without a trailer.
    // Deleting the file is the caller's.
    void Abandon();

    bool IsActive() const { return m_active; }
    int Port() const { return m_line.port; }
    const TdaHeader& Header() const { return m_header; }
    const std::string& TempPath() const { return m_tempPath; }
    const int16_t* CurrentRow() const { return m_currentRow; }
    const int16_t* LastGoodRow() const { return m_lastGoodRow; }
    int32_t TickCount() const { return m_tickCount; }
    int32_t ReadFailures() const { return m_readFailures; }
    uint16_t LastPollResult() const { return m_lastPollResult; }

    // Time spent handing each sample to the disk (fdatasync), for reports.
    struct SyncStats {
        long long samples = 0;
        long long totalNs = 0;
        long long maxNs = 0;
    };
    const SyncStats& Syncs() const { return m_syncStats; }

private:
    bool ConnectDevice(uint8_t& channelCount);
    void ClosePort();
    void DiscardStaleInput();
    bool Poll();
    void ApplyHoldRule(bool pollOk);
    bool WriteSample(const TdaHeader& before);
    void RollBackTo(const TdaHeader& before);
    void CutAfterRows();
    bool SyncFile();
    void CloseFile();

    CZorComBuf& m_rxBuf;
    int32_t& m_portOpen;
    SerialLine m_line;
    bool m_active = false;

    TdaHeader m_header{};
    std::string m_tempPath;
    int32_t m_tickCount = 0;
    int32_t m_readFailures = 0;
    int16_t m_lastGoodRow[kMaxChannels]{};
    int16_t m_currentRow[kMaxChannels]{};
    CTdaFile m_dataFile;
    uint16_t m_lastPollResult = 0;
    SyncStats m_syncStats;
};
