#include "tdafile.h"

#include "timearith.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Records are stored as raw little-endian images.
static_assert(std::endian::native == std::endian::little);

// ---- Header operations ----

int32_t ComputeTdaChecksum(const TdaHeader& h) {
    // Unsigned arithmetic wraps like the 32-bit signed sum of the format
    // without undefined behaviour on hostile values.
    uint32_t sum = 0;
    for (uint8_t b : h.signature)
        sum += uint32_t(int32_t(int8_t(b)));
    const SYSTEMTIME& t = h.runStartTime;
    sum -= uint32_t(h.sampleInterval) + uint32_t(h.channelCount);
    sum += uint32_t(t.wYear) + t.wMonth + t.wDay - 2000u;
    sum -= uint32_t(t.wHour) + t.wMinute + t.wSecond;
    sum += uint32_t(h.sampleCount);
    return int32_t(sum);
}

TdaHeader BeginTdaHeader(int32_t sampleInterval, int32_t channelCount, const SYSTEMTIME& now) {
    TdaHeader h;
    std::memset(&h, 0, sizeof h);
    std::memcpy(h.signature, kTdaSignature, sizeof h.signature);
    std::memcpy(h.makerName, kTdaMakerName, std::min(sizeof kTdaMakerName, sizeof h.makerName));
    h.sampleInterval = sampleInterval;
    h.channelCount = channelCount;
    h.runStartTime = now;
    h.lastSampleTime = now;
    h.sampleCount = 0;
    h.valueScale = 1;
    h.checksum = ComputeTdaChecksum(h);
    return h;
}

void AccountForSample(TdaHeader& h, const SYSTEMTIME& now) {
    h.lastSampleTime = now;
    h.sampleCount = int32_t(uint32_t(h.sampleCount) + 1u);
    h.checksum = int32_t(uint32_t(h.checksum) + 1u);
}

bool VerifyTdaHeader(const TdaHeader& h) {
    return ComputeTdaChecksum(h) == h.checksum;
}

// ---- Rows ----

long long TdaRowBytes(int32_t channelCount) {
    if (channelCount < 0 || channelCount > kMaxChannels)
        return 0;
    return 2LL * channelCount;
}

long long TdaRowOffset(long long row, int32_t channelCount) {
    return SAMPLE_DATA_OFFSET + row * TdaRowBytes(channelCount);
}

long long TdaValueOffset(long long row, int channel, int32_t channelCount) {
    return TdaRowOffset(row, channelCount) + 2LL * channel;
}

SYSTEMTIME TdaRowTime(const TdaHeader& h, long long row) {
    long long seconds;
    if (__builtin_mul_overflow(row, (long long)h.sampleInterval, &seconds))
        seconds = (row < 0) != (h.sampleInterval < 0) ? LLONG_MIN : LLONG_MAX;
    return AddSecondsWide(h.runStartTime, seconds);
}

// ---- Raw value to degrees ----

int TdaValueDivisor(uint8_t valueScale, int16_t raw) {
    return valueScale == 2 && raw != kRawAlwaysTenths ? 100 : 10;
}

double ConvertCount(double count, int divisor, bool fahrenheit) {
    return fahrenheit ? count * 9.0 / 5.0 + 32.0 * divisor : count;
}

double RawToDegrees(int16_t raw, uint8_t valueScale, bool fahrenheit) {
    int divisor = TdaValueDivisor(valueScale, raw);
    return ConvertCount(raw, divisor, fahrenheit) / divisor;
}

double ShownCountToCelsius(double count, int divisor, bool fahrenheit) {
    return fahrenheit ? (count - 32.0 * divisor) * 5.0 / 9.0 : count;
}

// ---- Results ----

const char* TdaErrorText(TdaError e) {
    switch (e) {
    case TdaError::None:
        return "no error";
    case TdaError::CannotOpen:
        return "the file cannot be opened";
    case TdaError::TruncatedHeader:
        return "the file is too short for a header and parameter block";
    case TdaError::ChannelCountOutOfRange:
        return "the channel count in the header is outside 0..80";
    case TdaError::NonPositiveInterval:
        return "the sampling interval in the header is not positive";
    case TdaError::MissingTrailer:
        return "the channel name table is missing (recording was not stopped normally)";
    case TdaError::ReadFailed:
        return "reading the file failed";
    case TdaError::WriteFailed:
        return "writing the file failed";
    case TdaError::NotOpen:
        return "the file is not open";
    case TdaError::NotWritable:
        return "the file is not open for writing";
    case TdaError::RowOutOfRange:
        return "row or channel outside the file";
    }
    return "unknown error";
}

// ---- CTdaFile ----

namespace {

// Reads gather rows of a span in one positioned read of at most this size.
constexpr long long kBlockBytes = 1 << 20;
// Rows further apart than this are read one by one instead of reading the gap.
constexpr long long kMaxGapBytes = 64 << 10;

bool PreadFull(int fd, void* buf, long long bytes, long long offset, long long* got) {
    char* p = static_cast<char*>(buf);
    long long done = 0;
    while (done < bytes) {
        ssize_t n = pread(fd, p + done, size_t(bytes - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (got)
        *got = done;
    return done == bytes;
}

bool PwriteFull(int fd, const void* buf, long long bytes, long long offset) {
    const char* p = static_cast<const char*>(buf);
    long long done = 0;
    while (done < bytes) {
        ssize_t n = pwrite(fd, p + done, size_t(bytes - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Reads count rows whose indices come from rowAt(k), grouping rows that lie
// close together in ascending order into one read. Returns the rows read;
// stops at the first index outside 0..rowCount-1 or a failed read.
template <class RowAt>
long long ReadIndexedRows(int fd, long long rowBytes, long long rowCount, long long count,
                          RowAt rowAt, int16_t (*out)[kMaxChannels]) {
    if (fd < 0 || count <= 0)
        return 0;
    std::vector<char> block;
    long long k = 0;
    while (k < count) {
        long long first = rowAt(k);
        if (first < 0 || first >= rowCount)
            return k;
        if (rowBytes == 0) { // rows without values: nothing to read
            ++k;
            continue;
        }
        // Extend the group while the span stays within one block.
        long long end = k + 1, last = first;
        while (end < count) {
            long long next = rowAt(end);
            if (next < last || next >= rowCount || (next - last - 1) * rowBytes > kMaxGapBytes ||
                (next - first + 1) * rowBytes > kBlockBytes)
                break;
            last = next;
            ++end;
        }
        long long spanBytes = (last - first + 1) * rowBytes;
        block.resize(size_t(spanBytes));
        long long got = 0;
        PreadFull(fd, block.data(), spanBytes, TdaRowOffset(first, int32_t(rowBytes / 2)), &got);
        for (; k < end; ++k) {
            long long pos = (rowAt(k) - first) * rowBytes;
            if (pos + rowBytes > got)
                return k;
            std::memcpy(out[k], block.data() + pos, size_t(rowBytes));
        }
    }
    return k;
}

} // namespace

CTdaFile::~CTdaFile() {
    Close();
}

CTdaFile::CTdaFile(CTdaFile&& other) noexcept {
    *this = std::move(other);
}

CTdaFile& CTdaFile::operator=(CTdaFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_writable = other.m_writable;
        m_path = std::move(other.m_path);
        m_fileSize = other.m_fileSize;
        m_rowCount = other.m_rowCount;
        m_trailerPresent = other.m_trailerPresent;
        m_header = other.m_header;
        m_params = other.m_params;
        m_names = other.m_names;
        other.m_fd = -1;
        other.Reset();
    }
    return *this;
}

void CTdaFile::Reset() {
    m_writable = false;
    m_path.clear();
    m_fileSize = 0;
    m_rowCount = 0;
    m_trailerPresent = false;
    std::memset(&m_header, 0, sizeof m_header);
    std::memset(&m_params, 0, sizeof m_params);
    std::memset(&m_names, 0, sizeof m_names);
}

void CTdaFile::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    Reset();
}

void CTdaFile::RefreshSize() {
    struct stat st {};
    if (m_fd >= 0 && fstat(m_fd, &st) == 0)
        m_fileSize = st.st_size;
}

bool CTdaFile::ReadAt(long long offset, void* buf, long long bytes) {
    return PreadFull(m_fd, buf, bytes, offset, nullptr);
}

bool CTdaFile::WriteAt(long long offset, const void* buf, long long bytes) {
    if (!PwriteFull(m_fd, buf, bytes, offset))
        return false;
    m_fileSize = std::max(m_fileSize, offset + bytes);
    return true;
}

TdaError CTdaFile::Open(const std::string& path, Mode mode) {
    Close();
    int flags = (mode == Mode::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0)
        return TdaError::CannotOpen;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return TdaError::CannotOpen;
    }
    m_fd = fd;
    m_writable = mode == Mode::ReadWrite;
    m_path = path;
    m_fileSize = st.st_size;
    TdaError e = ReadFixedParts();
    if (e != TdaError::None)
        Close();
    return e;
}

TdaError CTdaFile::ReadFixedParts() {
    if (m_fileSize < SAMPLE_DATA_OFFSET)
        return TdaError::TruncatedHeader;
    if (!ReadAt(kTdaHeaderOffset, &m_header, sizeof m_header) ||
        !ReadAt(kTdaParametersOffset, &m_params, sizeof m_params))
        return TdaError::ReadFailed;
    if (m_header.channelCount < 0 || m_header.channelCount > kMaxChannels)
        return TdaError::ChannelCountOutOfRange;
    ComputeRowCount();
    std::memset(&m_names, 0, sizeof m_names);
    if (m_trailerPresent) {
        if (!ReadAt(m_fileSize - kNameTableBytes, &m_names, sizeof m_names))
            return TdaError::ReadFailed;
        TerminateChannelNames(m_names);
    }
    return TdaError::None;
}

void CTdaFile::ComputeRowCount() {
    long long claimed = std::max<long long>(m_header.sampleCount, 0);
    long long rowBytes = RowBytes();
    long long dataBytes = m_fileSize - SAMPLE_DATA_OFFSET;
    // The table counts only if it lies after every row the header claims;
    // otherwise its place holds rows of a run that ended abnormally.
    m_trailerPresent =
        m_params.hasChannelNames != 0 && dataBytes - kNameTableBytes >= claimed * rowBytes;
    if (m_trailerPresent)
        dataBytes -= kNameTableBytes;
    m_rowCount = rowBytes == 0 ? claimed : std::min(claimed, std::max(dataBytes, 0LL) / rowBytes);
}

bool CTdaFile::ReadRow(long long row, int16_t out[kMaxChannels]) {
    if (m_fd < 0 || row < 0 || row >= m_rowCount)
        return false;
    int16_t buf[kMaxChannels];
    long long bytes = RowBytes();
    if (!ReadAt(TdaRowOffset(row, m_header.channelCount), buf, bytes))
        return false;
    std::memcpy(out, buf, size_t(bytes));
    return true;
}

long long CTdaFile::ReadRows(long long first, long long count, long long step,
                             int16_t (*out)[kMaxChannels]) {
    if (step < 1)
        step = 1;
    if (first < 0 || first >= m_rowCount || count <= 0)
        return 0;
    count = std::min(count, (m_rowCount - 1 - first) / step + 1);
    return ReadIndexedRows(
        m_fd, RowBytes(), m_rowCount, count, [=](long long k) { return first + k * step; }, out);
}

long long CTdaFile::ReadRowsAt(std::span<const long long> rows, int16_t (*out)[kMaxChannels]) {
    return ReadIndexedRows(
        m_fd, RowBytes(), m_rowCount, (long long)rows.size(),
        [&](long long k) { return rows[size_t(k)]; }, out);
}

long long CTdaFile::ReadRowsPacked(long long first, long long count, int16_t* out) {
    if (m_fd < 0 || first < 0 || first >= m_rowCount || count <= 0)
        return 0;
    count = std::min(count, m_rowCount - first);
    long long rowBytes = RowBytes();
    if (rowBytes == 0)
        return count;
    long long got = 0;
    PreadFull(m_fd, out, count * rowBytes, TdaRowOffset(first, m_header.channelCount), &got);
    return got / rowBytes;
}

TdaError CTdaFile::WriteValue(long long row, int channel, int16_t value) {
    if (m_fd < 0)
        return TdaError::NotOpen;
    if (!m_writable)
        return TdaError::NotWritable;
    if (row < 0 || row >= m_rowCount || channel < 0 || channel >= m_header.channelCount)
        return TdaError::RowOutOfRange;
    if (!WriteAt(TdaValueOffset(row, channel, m_header.channelCount), &value, sizeof value))
        return TdaError::WriteFailed;
    return TdaError::None;
}

TdaError CTdaFile::WriteParameters(const CurveParameters& p) {
    if (m_fd < 0)
        return TdaError::NotOpen;
    if (!m_writable)
        return TdaError::NotWritable;
    if (!WriteAt(kTdaParametersOffset, &p, sizeof p))
        return TdaError::WriteFailed;
    m_params = p;
    ComputeRowCount();
    return TdaError::None;
}

TdaError CTdaFile::WriteNameTable(const ChannelNameTable& t) {
    if (m_fd < 0)
        return TdaError::NotOpen;
    if (!m_writable)
        return TdaError::NotWritable;
    RefreshSize();
    ComputeRowCount();
    long long pos = m_fileSize;
    if (m_trailerPresent) {
        pos = m_fileSize - kNameTableBytes;
    } else if (RowBytes() > 0) {
        // No table yet: append it. A header rewritten for a row that never
        // reached the disk would put the table inside the claimed rows, so
        // the count comes down to the whole rows present (the sum grows and
        // shrinks with the count, so a valid header stays valid).
        long long wholeRows = (m_fileSize - SAMPLE_DATA_OFFSET) / RowBytes();
        if (m_header.sampleCount > wholeRows) {
            TdaHeader h = m_header;
            uint32_t drop = uint32_t(h.sampleCount - wholeRows);
            h.sampleCount = int32_t(wholeRows);
            h.checksum = int32_t(uint32_t(h.checksum) - drop);
            TdaError e = WriteHeader(h);
            if (e != TdaError::None)
                return e;
        }
    }
    if (!WriteAt(pos, &t, sizeof t))
        return TdaError::WriteFailed;
    m_names = t;
    TerminateChannelNames(m_names);
    // The table is now the file's last bytes after every claimed row.
    m_trailerPresent = true;
    long long dataBytes = m_fileSize - SAMPLE_DATA_OFFSET - kNameTableBytes;
    long long claimed = std::max<long long>(m_header.sampleCount, 0);
    m_rowCount = RowBytes() == 0 ? claimed : std::min(claimed, dataBytes / RowBytes());
    return TdaError::None;
}

TdaError CTdaFile::WriteParametersAndNames(CurveParameters p, const ChannelNameTable& t) {
    TdaError e = WriteNameTable(t);
    if (e != TdaError::None)
        return e;
    p.hasChannelNames = 1;
    return WriteParameters(p);
}

TdaError CTdaFile::Create(const std::string& path, const TdaHeader& h, const CurveParameters& p) {
    Close();
    if (h.channelCount < 0 || h.channelCount > kMaxChannels)
        return TdaError::ChannelCountOutOfRange;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return TdaError::CannotOpen;
    m_fd = fd;
    m_writable = true;
    m_path = path;
    m_fileSize = 0;
    if (!WriteAt(kTdaHeaderOffset, &h, sizeof h) || !WriteAt(kTdaParametersOffset, &p, sizeof p)) {
        Close();
        return TdaError::WriteFailed;
    }
    m_header = h;
    m_params = p;
    ComputeRowCount();
    return TdaError::None;
}

TdaError CTdaFile::WriteHeader(const TdaHeader& h) {
    if (m_fd < 0)
        return TdaError::NotOpen;
    if (!m_writable)
        return TdaError::NotWritable;
    if (h.channelCount != m_header.channelCount)
        return TdaError::ChannelCountOutOfRange; // the row layout cannot change
    if (!WriteAt(kTdaHeaderOffset, &h, sizeof h))
        return TdaError::WriteFailed;
    m_header = h;
    ComputeRowCount();
    return TdaError::None;
}

TdaError CTdaFile::AppendRow(const int16_t* values) {
    if (m_fd < 0)
        return TdaError::NotOpen;
    if (!m_writable)
        return TdaError::NotWritable;
    RefreshSize();
    if (!WriteAt(m_fileSize, values, RowBytes()))
        return TdaError::WriteFailed;
    ComputeRowCount();
    return TdaError::None;
}

TdaError CTdaFile::AppendNameTable(const ChannelNameTable& t) {
    if (m_fd < 0)
        return TdaError::NotOpen;
    if (!m_writable)
        return TdaError::NotWritable;
    RefreshSize();
    if (!WriteAt(m_fileSize, &t, sizeof t))
        return TdaError::WriteFailed;
    ComputeRowCount();
    if (m_trailerPresent) {
        m_names = t;
        TerminateChannelNames(m_names);
    }
    return TdaError::None;
}

TdaError CTdaFile::TruncateAfterRows(long long rows) {
    if (m_fd < 0)
        return TdaError::NotOpen;
    if (!m_writable)
        return TdaError::NotWritable;
    if (rows < 0)
        return TdaError::RowOutOfRange;
    long long size = TdaRowOffset(rows, m_header.channelCount);
    if (::ftruncate(m_fd, off_t(size)) != 0)
        return TdaError::WriteFailed;
    m_fileSize = size;
    ComputeRowCount();
    return TdaError::None;
}

TdaError CTdaFile::Sync() {
    if (m_fd < 0)
        return TdaError::NotOpen;
    return ::fdatasync(m_fd) == 0 ? TdaError::None : TdaError::WriteFailed;
}

bool WriteTdaFile(const std::string& path, const TdaHeader& h, const CurveParameters& p,
                  std::span<const int16_t> rows, const ChannelNameTable* names) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    long long rowBytes = (long long)rows.size_bytes();
    bool ok = PwriteFull(fd, &h, sizeof h, kTdaHeaderOffset) &&
              PwriteFull(fd, &p, sizeof p, kTdaParametersOffset) &&
              PwriteFull(fd, rows.data(), rowBytes, SAMPLE_DATA_OFFSET) &&
              (!names || PwriteFull(fd, names, sizeof *names, SAMPLE_DATA_OFFSET + rowBytes));
    ok = ::close(fd) == 0 && ok;
    return ok;
}
