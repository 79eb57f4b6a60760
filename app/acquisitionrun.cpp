#include "acquisitionrun.h"

#include "zorcombuf.h"
#include "zorcomm.h"
#include "zormodbusrtu.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;

// ---- Temporary file and saving ----

std::string CreateRunTempFile(const std::string& folder) {
    // Like the platform's unique-name call: start from a varying number and
    // take the next free one, creating the file so the name is ours.
    std::random_device rd;
    unsigned start = (rd() ^ unsigned(::getpid())) & 0xFFFF;
    for (unsigned i = 0; i < 0x10000; ++i) {
        unsigned n = (start + i) & 0xFFFF;
        if (n == 0)
            continue;
        char name[16];
        std::snprintf(name, sizeof name, "TRC%X.tmp", n);
        std::string path = (fs::path(folder) / name).string();
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

namespace {

bool SyncPath(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool CopyRecordingAndDelete(const std::string& source, const std::string& dest) {
    std::error_code ec;
    if (fs::equivalent(source, dest, ec))
        return true; // saved onto itself: nothing to copy, nothing to delete
    ec.clear();
    fs::copy_file(source, dest, fs::copy_options::overwrite_existing, ec);
    if (ec || !SyncPath(dest) || fs::file_size(source, ec) != fs::file_size(dest, ec) || ec)
        return false;
    // The new name itself must survive a power cut before the source goes.
    SyncPath(fs::path(dest).parent_path().empty() ? "." : fs::path(dest).parent_path().string());
    fs::remove(source, ec);
    return true;
}

// ---- The run ----

CAcquisitionRun::CAcquisitionRun(CZorComBuf& rxBuf, int32_t& portOpen)
    : m_rxBuf(rxBuf), m_portOpen(portOpen) {}

CAcquisitionRun::~CAcquisitionRun() {
    CloseFile();
}

void CAcquisitionRun::ClosePort() {
    Close_Com(uint8_t(m_line.port));
    m_portOpen = 0;
}

bool CAcquisitionRun::ConnectDevice(uint8_t& channelCount) {
    // The library copies as many bytes as the reply announces: give it room
    // for any reply and look only at the first 20 bytes.
    uint8_t report[256] = {};
    if (OnDeviceInfo(m_line.port, kSlave, &m_rxBuf, report) != RTU_OK)
        return false;
    uint8_t info[kInfoBytes] = {};
    std::memcpy(info, report, kInfoBytes);
    const char* text = reinterpret_cast<const char*>(info + 1);
    size_t len = strnlen(text, kInfoBytes - 1);
    if (std::string(text, len) != kDeviceIdentity)
        return false;
    uint16_t params[3] = {};
    if (OnReadMRegister(m_line.port, kSlave, kParamRegister, 3, &m_rxBuf, params) != RTU_OK)
        return false;
    channelCount = uint8_t(params[0] & 0xFF);
    return true;
}

CAcquisitionRun::StartResult CAcquisitionRun::Start(const SerialLine& line, int32_t sampleInterval,
                                                    CurveParameters& curvePara,
                                                    const std::string& folder,
                                                    const SYSTEMTIME& now) {
    if (m_active)
        return StartResult::Started;
    m_line = line;
    if (m_portOpen)
        ClosePort();
    m_portOpen = Open_Com(uint8_t(line.port), line.baud, line.byteSize, line.parity, line.stopBits);
    if (!m_portOpen)
        return StartResult::PortFailed;

    uint8_t deviceChannels = 0;
    if (!ConnectDevice(deviceChannels)) {
        ClosePort();
        return StartResult::ConnectFailed;
    }

    int32_t channels = std::min<int32_t>(deviceChannels, kMaxChannels);
    m_header = BeginTdaHeader(std::max<int32_t>(sampleInterval, 1), channels, now);
    curvePara.channelCount = channels;
    curvePara.hasChannelNames = 1;

    m_tempPath = CreateRunTempFile(folder);
    if (m_tempPath.empty() ||
        m_dataFile.Create(m_tempPath, m_header, curvePara) != TdaError::None || !SyncFile()) {
        CloseFile();
        if (!m_tempPath.empty()) {
            std::error_code ec;
            fs::remove(m_tempPath, ec);
        }
        ClosePort();
        return StartResult::FileFailed;
    }

    m_tickCount = 0;
    m_readFailures = 0;
    std::fill(std::begin(m_lastGoodRow), std::end(m_lastGoodRow), 0);
    std::fill(std::begin(m_currentRow), std::end(m_currentRow), 0);
    m_syncStats = {};
    m_active = true;
    return StartResult::Started;
}

void CAcquisitionRun::DiscardStaleInput() {
    // A reply that came after its poll had given up would otherwise be taken
    // as the answer to the next request, and every row after it would lag
    // the device by one sample.
    char block[256];
    while (ReadCommBlock(block, sizeof block, m_line.port) > 0) {
    }
    m_rxBuf.RxdCount = 0;
    m_rxBuf.RxdReadPos = m_rxBuf.RxdWritePos;
}

bool CAcquisitionRun::Poll() {
    DiscardStaleInput();
    uint16_t values[kMaxChannels];
    m_lastPollResult =
        OnReadMRegister(m_line.port, kSlave, 0, uint16_t(m_header.channelCount), &m_rxBuf, values);
    if (m_lastPollResult != RTU_OK)
        return false;
    for (int c = 0; c < m_header.channelCount; ++c)
        m_currentRow[c] = int16_t(values[c]);
    return true;
}

void CAcquisitionRun::ApplyHoldRule(bool pollOk) {
    const int n = m_header.channelCount;
    if (pollOk) {
        m_readFailures = 0;
        std::copy_n(m_currentRow, n, m_lastGoodRow);
        return;
    }
    if (m_readFailures < kHoldLimit) {
        std::copy_n(m_lastGoodRow, n, m_currentRow);
    } else {
        std::fill_n(m_currentRow, n, 0);
        std::fill_n(m_lastGoodRow, n, 0);
    }
    m_readFailures = std::min(m_readFailures + 1, kFailureCap);
}

CAcquisitionRun::TickResult CAcquisitionRun::Tick(const SYSTEMTIME& now) {
    if (!m_active)
        return TickResult::Idle;
    TickResult result = TickResult::Counted;
    if (m_tickCount >= m_header.sampleInterval) {
        m_tickCount = 0;
        ApplyHoldRule(Poll());
        const TdaHeader before = m_header;
        AccountForSample(m_header, now);
        result = WriteSample(before) ? TickResult::Sampled : TickResult::WriteFailed;
    }
    m_tickCount += 1;
    return result;
}

bool CAcquisitionRun::WriteSample(const TdaHeader& before) {
    // The header goes first, so the header on disk never lags the rows; a
    // reader takes the smaller of its count and the whole rows present.
    bool ok = m_dataFile.WriteHeader(m_header) == TdaError::None &&
              m_dataFile.AppendRow(m_currentRow) == TdaError::None;
    auto t0 = std::chrono::steady_clock::now();
    ok = ok && SyncFile();
    long long ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    m_syncStats.samples += 1;
    m_syncStats.totalNs += ns;
    m_syncStats.maxNs = std::max(m_syncStats.maxNs, ns);
    if (ok)
        return true;
    RollBackTo(before);
    return false;
}

void CAcquisitionRun::RollBackTo(const TdaHeader& before) {
    // The header must not count the row that failed: restore it and cut any
    // partial row, so the trailer of the stop lands after the last whole row.
    m_header = before;
    m_dataFile.WriteHeader(m_header);
    CutAfterRows();
    SyncFile();
}

void CAcquisitionRun::CutAfterRows() {
    m_dataFile.TruncateAfterRows(m_header.sampleCount);
}

bool CAcquisitionRun::SyncFile() {
    return m_dataFile.Sync() == TdaError::None;
}

void CAcquisitionRun::CloseFile() {
    m_dataFile.Close();
}

bool CAcquisitionRun::Stop(const ChannelNameTable& names) {
    if (!m_active)
        return true;
    bool ok = m_dataFile.AppendNameTable(names) == TdaError::None && SyncFile();
    if (!ok) {
        // A partial table would be taken for one by readers: leave the rows only.
        CutAfterRows();
        SyncFile();
    }
    m_active = false;
    ClosePort();
    CloseFile();
    return ok;
}

void CAcquisitionRun::Abandon() {
    if (!m_active)
        return;
    m_active = false;
    ClosePort();
    CloseFile();
}
