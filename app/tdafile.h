#pragma once
// The .tda history file: the rules of the format (integrity sum, row offset,
// row time, raw value to degrees) and CTdaFile, the one reader and writer of
// such files that every part of the program uses.
//
// Layout: 172-byte TdaHeader at 0, 488-byte CurveParameters at 172, rows of
// channelCount little-endian int16 values from 660 on, and the 3025-byte
// ChannelNameTable as the file's last bytes when hasChannelNames is set (and
// the run was stopped normally).

#include "curveparameters.h"
#include "tdaheader.h"

#include <cstdint>
#include <span>
#include <string>

constexpr uint8_t kTdaSignature[8] = {0xA0, 0x2C, 0x9F, 0x28, 0x85, 0x67, 0x97, 0x53};
constexpr char kTdaMakerName[] = "Brenvoltek";
constexpr long long kTdaHeaderOffset = 0;
constexpr long long kTdaParametersOffset = 172;
constexpr long long kNameTableBytes = sizeof(ChannelNameTable);
// The raw value that is always tenths, whatever the file's valueScale says.
constexpr int16_t kRawAlwaysTenths = 19999;

// ---- Header operations ----

// The integrity sum of a header as it stands (the checksum field itself takes
// no part). 32-bit signed arithmetic with wrap-around.
int32_t ComputeTdaChecksum(const TdaHeader& h);
// Header of a new run: signature, maker name, interval, channel count (the
// caller clamps it to 80), runStartTime = lastSampleTime = now, no samples,
// valueScale 1, a valid sum.
TdaHeader BeginTdaHeader(int32_t sampleInterval, int32_t channelCount, const SYSTEMTIME& now);
// One more sample: lastSampleTime = now, sampleCount + 1, checksum + 1.
void AccountForSample(TdaHeader& h, const SYSTEMTIME& now);
// True when the stored sum equals the recomputed one.
bool VerifyTdaHeader(const TdaHeader& h);

// ---- Rows ----

// Bytes of one row: channelCount * 2 (0 for a count outside 0..80).
long long TdaRowBytes(int32_t channelCount);
// File offset of row i (0-based): 660 + i * channelCount * 2, in 64 bits.
long long TdaRowOffset(long long row, int32_t channelCount);
// File offset of one value: row and channel both 0-based.
long long TdaValueOffset(long long row, int channel, int32_t channelCount);
// Time of row i: runStartTime + i * sampleInterval seconds in local calendar
// time (day of week and milliseconds of the result are 0).
SYSTEMTIME TdaRowTime(const TdaHeader& h, long long row);

// ---- Raw value to degrees ----
// The one conversion rule of the program. A raw value is a count of tenths
// of a degree Celsius, or of hundredths with valueScale 2 (except 19999,
// always tenths). In Fahrenheit the count r becomes r * 9 / 5 + 32 * divisor
// (in double) before dividing.

// 10 or 100: the divisor that turns this raw value into degrees.
int TdaValueDivisor(uint8_t valueScale, int16_t raw);
// The count in the shown unit, before dividing by the divisor.
double ConvertCount(double count, int divisor, bool fahrenheit);
// Degrees in the shown unit.
double RawToDegrees(int16_t raw, uint8_t valueScale, bool fahrenheit);
// The reverse of ConvertCount, for values typed by the user: a count of
// 1/divisor degrees in the shown unit back to the stored Celsius count
// (not rounded; the caller rounds and checks the 16-bit range).
double ShownCountToCelsius(double count, int divisor, bool fahrenheit);
// Decimals a value is shown with where the precision matters (1 or 2).
inline int TdaValueDecimals(uint8_t valueScale, int16_t raw) {
    return TdaValueDivisor(valueScale, raw) == 100 ? 2 : 1;
}

// ---- Results ----

enum class TdaError {
    None,
    CannotOpen,             // the file cannot be opened in the mode asked for
    TruncatedHeader,        // shorter than header + parameter block (660 bytes)
    ChannelCountOutOfRange, // channelCount outside 0..80: refused by every reader
    NonPositiveInterval,    // sampleInterval <= 0: reported, callers refuse it
    MissingTrailer,         // hasChannelNames set but the name table is not there
    ReadFailed,
    WriteFailed,
    NotOpen,
    NotWritable,
    RowOutOfRange,
};
// One line of English for the command line and the debug output.
const char* TdaErrorText(TdaError e);

// ---- CTdaFile ----

// One open .tda file. Opening reads and checks the header, the parameter
// block and the name table; rows are read by index with positioned reads, so
// nothing is read whole and files beyond 2 GB work. Not copyable; movable.
class CTdaFile {
public:
    enum class Mode { ReadOnly, ReadWrite };

    CTdaFile() = default;
    ~CTdaFile();
    CTdaFile(const CTdaFile&) = delete;
    CTdaFile& operator=(const CTdaFile&) = delete;
    CTdaFile(CTdaFile&& other) noexcept;
    CTdaFile& operator=(CTdaFile&& other) noexcept;

    // Opens and reads the fixed parts. Refused (file closed, error returned):
    // CannotOpen, TruncatedHeader, ChannelCountOutOfRange, ReadFailed.
    // A non-positive interval or a missing trailer do not refuse the file;
    // see IntervalValid() and TrailerMissing().
    TdaError Open(const std::string& path, Mode mode = Mode::ReadOnly);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    bool IsWritable() const { return m_writable; }

    const TdaHeader& Header() const { return m_header; }
    // The parameter block as stored (startTime, endTime and channelCount are
    // not maintained in the file; callers set them from the header).
    const CurveParameters& Parameters() const { return m_params; }
    // The table from the file's end when NameTablePresent(), otherwise all
    // zero. Every name field is terminated.
    const ChannelNameTable& NameTable() const { return m_names; }
    // hasChannelNames is set and the file is long enough to hold the table
    // after the header's rows.
    bool NameTablePresent() const { return m_trailerPresent; }
    // hasChannelNames is set but the table is missing (abnormal exit).
    bool TrailerMissing() const { return m_params.hasChannelNames != 0 && !m_trailerPresent; }
    bool ChecksumValid() const { return VerifyTdaHeader(m_header); }
    bool IntervalValid() const { return m_header.sampleInterval > 0; }

    int ChannelCount() const { return m_header.channelCount; }
    long long RowBytes() const { return TdaRowBytes(m_header.channelCount); }
    // The rows offered: the smaller of the header's sampleCount and the whole
    // rows the file's length holds (without the table when it is present).
    long long RowCount() const { return m_rowCount; }
    long long FileSize() const { return m_fileSize; }
    SYSTEMTIME RowTime(long long row) const { return TdaRowTime(m_header, row); }

    // Reads row i into out[0 .. ChannelCount()-1]; out[ChannelCount() ..]
    // is left as it was. False for a row outside 0..RowCount()-1 or a failed
    // read (out then unchanged).
    bool ReadRow(long long row, int16_t out[kMaxChannels]);
    // Reads count rows first, first+step, first+2*step, ... into out[0..],
    // stopping at RowCount(). Neighbouring rows are read in large blocks.
    // Returns the number of rows read.
    long long ReadRows(long long first, long long count, long long step,
                       int16_t (*out)[kMaxChannels]);
    // Reads the given rows (ascending order reads fastest) into out[0..].
    // Stops at the first row outside the file; returns the rows read.
    long long ReadRowsAt(std::span<const long long> rows, int16_t (*out)[kMaxChannels]);
    // Reads count consecutive rows packed (ChannelCount() values per row) into
    // out, which must hold count * ChannelCount() values. Returns rows read.
    long long ReadRowsPacked(long long first, long long count, int16_t* out);

    // ---- Write-back (ReadWrite mode) ----
    // Overwrites one stored value in place (row and channel 0-based).
    TdaError WriteValue(long long row, int channel, int16_t value);
    // Rewrites the 488-byte parameter block at offset 172.
    TdaError WriteParameters(const CurveParameters& p);
    // Writes the name table as the file's last bytes: over the present table,
    // or after the last whole row when there is none (so rows are never
    // overwritten). A header whose count names a row that is not in the file
    // is lowered to the rows present, its sum kept consistent.
    TdaError WriteNameTable(const ChannelNameTable& t);
    // The history view's write-back: the name table, then the parameter block
    // with hasChannelNames set.
    TdaError WriteParametersAndNames(CurveParameters p, const ChannelNameTable& t);

    // ---- Writing a run ----
    // Creates (truncates) a file for a new run and writes header and
    // parameter block. The file stays open for writing.
    TdaError Create(const std::string& path, const TdaHeader& h, const CurveParameters& p);
    // Rewrites the header at offset 0 (before each appended row).
    TdaError WriteHeader(const TdaHeader& h);
    // Appends one row of h.channelCount values at the end of the file.
    TdaError AppendRow(const int16_t* values);
    // Appends the name table at the end (stop of a run).
    TdaError AppendNameTable(const ChannelNameTable& t);
    // Cuts the file right after the given number of whole rows (drops a
    // partly written row after a failed append). Appends always go to the
    // file's real end, so a cut made by other means is followed as well.
    TdaError TruncateAfterRows(long long rows);
    // Flushes written data to the disk (fdatasync).
    TdaError Sync();

    const std::string& Path() const { return m_path; }

private:
    TdaError ReadFixedParts();
    void ComputeRowCount();
    void RefreshSize();
    bool ReadAt(long long offset, void* buf, long long bytes);
    bool WriteAt(long long offset, const void* buf, long long bytes);
    void Reset();

    int m_fd = -1;
    bool m_writable = false;
    std::string m_path;
    long long m_fileSize = 0;
    long long m_rowCount = 0;
    bool m_trailerPresent = false;
    TdaHeader m_header{};
    CurveParameters m_params{};
    ChannelNameTable m_names{};
};

// Writes a complete file in one go: header and parameters as given (nothing
// is recomputed, so tests can write damaged headers), rows packed with
// h.channelCount values each (rows.size() / channelCount rows), and the name
// table at the end when names is not null. False on any failure.
bool WriteTdaFile(const std::string& path, const TdaHeader& h, const CurveParameters& p,
                  std::span<const int16_t> rows, const ChannelNameTable* names);
