#include "tdafile.h"

#include "testsupport.h"
#include "timearith.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

SYSTEMTIME Start() {
    return testsupport::Time(2007, 5, 10, 8, 30, 15);
}

// Value of channel c in row r of the fixtures: unique, so a misplaced read
// shows.
int16_t Value(long long r, int c) {
    return int16_t((r * 7 + c * 1000) % 30000);
}

std::vector<int16_t> MakeRows(long long rows, int channels) {
    std::vector<int16_t> v;
    v.reserve(size_t(rows * channels));
    for (long long r = 0; r < rows; ++r)
        for (int c = 0; c < channels; ++c)
            v.push_back(Value(r, c));
    return v;
}

TdaHeader MakeHeader(int channels, int32_t rows, int32_t interval = 1) {
    TdaHeader h = BeginTdaHeader(interval, channels, Start());
    h.sampleCount = rows;
    h.checksum = ComputeTdaChecksum(h);
    return h;
}

CurveParameters MakeParams(bool names) {
    CurveParameters p = MakeFreshCurveParameters();
    p.hasChannelNames = names ? 1 : 0;
    return p;
}

ChannelNameTable MakeNames() {
    ChannelNameTable t = MakeEmptyChannelNameTable();
    t.customNamesEnabled = 1;
    SetChannelNameUtf8(t, 0, "炉温");
    SetChannelNameUtf8(t, 7, "出口");
    return t;
}

class TdaFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
    }

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }

    // A normally stopped recording of `rows` rows and 8 channels.
    std::string WriteNormal(const char* name, int32_t rows, int channels = 8) {
        std::string path = PathOf(name);
        auto values = MakeRows(rows, channels);
        ChannelNameTable names = MakeNames();
        EXPECT_TRUE(
            WriteTdaFile(path, MakeHeader(channels, rows), MakeParams(true), values, &names));
        return path;
    }

    testsupport::TempDir m_tmp{"vantrel-tda"};
    fs::path m_dir = m_tmp.Path();
};

TEST_F(TdaFileTest, ReadsWhatWasWritten) {
    std::string path = WriteNormal("normal.tda", 10);
    EXPECT_EQ(fs::file_size(path), 660u + 10 * 16 + 3025);
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    TdaHeader h = MakeHeader(8, 10);
    CurveParameters p = MakeParams(true);
    EXPECT_EQ(std::memcmp(&f.Header(), &h, sizeof h), 0);
    EXPECT_EQ(std::memcmp(&f.Parameters(), &p, sizeof p), 0);
    EXPECT_TRUE(f.ChecksumValid());
    EXPECT_TRUE(f.IntervalValid());
    EXPECT_TRUE(f.NameTablePresent());
    EXPECT_FALSE(f.TrailerMissing());
    EXPECT_EQ(f.NameTable().customNamesEnabled, 1);
    EXPECT_EQ(ChannelNameUtf8(f.NameTable(), 0), "炉温");
    EXPECT_EQ(ChannelNameUtf8(f.NameTable(), 7), "出口");
    EXPECT_EQ(f.RowCount(), 10);
    int16_t row[kMaxChannels];
    std::fill(std::begin(row), std::end(row), int16_t(-1));
    ASSERT_TRUE(f.ReadRow(3, row));
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(row[c], Value(3, c));
    EXPECT_EQ(row[8], -1); // beyond the channel count: untouched
    EXPECT_FALSE(f.ReadRow(10, row));
    EXPECT_FALSE(f.ReadRow(-1, row));
    EXPECT_EQ(f.RowTime(2).wSecond, 17);
}

TEST_F(TdaFileTest, RunWriterProducesAValidFile) {
    std::string path = PathOf("run.tda");
    CTdaFile w;
    TdaHeader h = BeginTdaHeader(1, 8, Start());
    ASSERT_EQ(w.Create(path, h, MakeParams(true)), TdaError::None);
    for (int r = 0; r < 5; ++r) {
        AccountForSample(h, AddSeconds(Start(), r));
        ASSERT_EQ(w.WriteHeader(h), TdaError::None);
        int16_t row[8];
        for (int c = 0; c < 8; ++c)
            row[c] = Value(r, c);
        ASSERT_EQ(w.AppendRow(row), TdaError::None);
        EXPECT_EQ(w.RowCount(), r + 1);
    }
    EXPECT_TRUE(w.TrailerMissing());
    ASSERT_EQ(w.AppendNameTable(MakeNames()), TdaError::None);
    EXPECT_TRUE(w.NameTablePresent());
    w.Close();

    EXPECT_EQ(fs::file_size(path), 660u + 5 * 16 + 3025);
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    EXPECT_TRUE(f.ChecksumValid());
    EXPECT_EQ(f.RowCount(), 5);
    EXPECT_TRUE(f.NameTablePresent());
    EXPECT_EQ(ChannelNameUtf8(f.NameTable(), 7), "出口");
    EXPECT_EQ(f.Header().lastSampleTime.wSecond, 19);
}

TEST_F(TdaFileTest, AppendsFollowTheRealEndAfterACut) {
    std::string path = PathOf("cut.tda");
    CTdaFile w;
    TdaHeader h = BeginTdaHeader(1, 8, Start());
    ASSERT_EQ(w.Create(path, h, MakeParams(true)), TdaError::None);
    int16_t row[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    AccountForSample(h, Start());
    ASSERT_EQ(w.WriteHeader(h), TdaError::None);
    ASSERT_EQ(w.AppendRow(row), TdaError::None);
    // A half-written row, cut by the file's own helper and by other means.
    ASSERT_EQ(w.AppendRow(row), TdaError::None);
    ASSERT_EQ(w.TruncateAfterRows(1), TdaError::None);
    EXPECT_EQ(fs::file_size(path), 676u);
    ASSERT_EQ(w.AppendRow(row), TdaError::None);
    fs::resize_file(path, 676);
    row[0] = 99;
    AccountForSample(h, Start());
    ASSERT_EQ(w.WriteHeader(h), TdaError::None);
    ASSERT_EQ(w.AppendRow(row), TdaError::None);
    ASSERT_EQ(w.AppendNameTable(MakeNames()), TdaError::None);
    EXPECT_EQ(w.Sync(), TdaError::None);
    w.Close();
    EXPECT_EQ(fs::file_size(path), 660u + 2 * 16 + 3025);
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    EXPECT_TRUE(f.NameTablePresent());
    EXPECT_EQ(f.RowCount(), 2);
    int16_t got[kMaxChannels];
    ASSERT_TRUE(f.ReadRow(1, got));
    EXPECT_EQ(got[0], 99);
}

TEST_F(TdaFileTest, RunStoppedBeforeTheFirstSample) {
    std::string path = PathOf("empty.tda");
    CTdaFile w;
    ASSERT_EQ(w.Create(path, BeginTdaHeader(1, 8, Start()), MakeParams(true)), TdaError::None);
    ASSERT_EQ(w.AppendNameTable(MakeNames()), TdaError::None);
    w.Close();
    EXPECT_EQ(fs::file_size(path), 172u + 488 + 3025);
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    EXPECT_TRUE(f.ChecksumValid());
    EXPECT_EQ(f.RowCount(), 0);
    EXPECT_TRUE(f.NameTablePresent());
}

TEST_F(TdaFileTest, RefusesDamagedFiles) {
    struct Case {
        const char* name;
        int32_t channels;
        long long truncateTo; // -1: keep
        TdaError want;
    } cases[] = {
        {"ch81.tda", 81, -1, TdaError::ChannelCountOutOfRange},
        {"ch65535.tda", 65535, -1, TdaError::ChannelCountOutOfRange},
        {"chneg.tda", -1, -1, TdaError::ChannelCountOutOfRange},
        {"short100.tda", 8, 100, TdaError::TruncatedHeader},
        {"short659.tda", 8, 659, TdaError::TruncatedHeader},
        {"zero.tda", 8, 0, TdaError::TruncatedHeader},
    };
    for (const Case& c : cases) {
        std::string path = PathOf(c.name);
        TdaHeader h = MakeHeader(8, 4);
        h.channelCount = c.channels;
        auto values = MakeRows(4, 8);
        ChannelNameTable names = MakeNames();
        ASSERT_TRUE(WriteTdaFile(path, h, MakeParams(true), values, &names));
        if (c.truncateTo >= 0)
            fs::resize_file(path, uintmax_t(c.truncateTo));
        CTdaFile f;
        EXPECT_EQ(f.Open(path), c.want) << c.name;
        EXPECT_FALSE(f.IsOpen());
        EXPECT_EQ(f.RowCount(), 0);
        int16_t row[kMaxChannels];
        EXPECT_FALSE(f.ReadRow(0, row));
    }
    CTdaFile f;
    EXPECT_EQ(f.Open(PathOf("missing.tda")), TdaError::CannotOpen);
    EXPECT_EQ(f.Open(m_dir.string()), TdaError::CannotOpen);
}

TEST_F(TdaFileTest, ReportsANonPositiveInterval) {
    for (int32_t interval : {0, -5}) {
        std::string path = PathOf("interval.tda");
        auto values = MakeRows(3, 8);
        ChannelNameTable names = MakeNames();
        ASSERT_TRUE(
            WriteTdaFile(path, MakeHeader(8, 3, interval), MakeParams(true), values, &names));
        CTdaFile f;
        ASSERT_EQ(f.Open(path), TdaError::None);
        EXPECT_FALSE(f.IntervalValid());
        EXPECT_TRUE(f.ChecksumValid());
        EXPECT_EQ(f.RowCount(), 3);
    }
}

TEST_F(TdaFileTest, DetectsAMissingTrailer) {
    // An abnormal exit: names announced, 300 rows, no table.
    std::string path = PathOf("crash.tda");
    auto values = MakeRows(300, 8);
    ASSERT_TRUE(WriteTdaFile(path, MakeHeader(8, 300), MakeParams(true), values, nullptr));
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    EXPECT_TRUE(f.TrailerMissing());
    EXPECT_FALSE(f.NameTablePresent());
    EXPECT_EQ(f.RowCount(), 300);
    EXPECT_EQ(f.NameTable().customNamesEnabled, 0);
    EXPECT_EQ(ChannelNameGbk(f.NameTable(), 0), "");
    int16_t row[kMaxChannels];
    ASSERT_TRUE(f.ReadRow(299, row));
    EXPECT_EQ(row[7], Value(299, 7));
}

TEST_F(TdaFileTest, RowCountIsBoundedByTheFileLength) {
    auto values = MakeRows(40, 8);
    ChannelNameTable names = MakeNames();
    struct Case {
        int32_t claimed;
        bool names;
        int extraBytes; // partial row after the rows
        long long want;
    } cases[] = {
        {100, false, 0, 40}, // header written for rows that never came
        {41, true, 5, 40},   // crash between header and row, half a row
        {10, true, 0, 10},   // fewer claimed than present: the header wins
        {-3, true, 0, 0},    // a negative count offers nothing
        {INT32_MAX, false, 0, 40},
    };
    for (const Case& c : cases) {
        std::string path = PathOf("bounded.tda");
        std::vector<int16_t> v = values;
        v.resize(v.size() + size_t(c.extraBytes / 2), 0x7777);
        bool withTable = c.claimed <= 40 && c.names;
        ASSERT_TRUE(WriteTdaFile(path, MakeHeader(8, c.claimed), MakeParams(c.names), v,
                                 withTable ? &names : nullptr));
        if (c.extraBytes % 2)
            fs::resize_file(path, fs::file_size(path) + 1);
        CTdaFile f;
        ASSERT_EQ(f.Open(path), TdaError::None);
        EXPECT_EQ(f.RowCount(), c.want) << c.claimed;
        int16_t row[kMaxChannels];
        EXPECT_FALSE(f.ReadRow(c.want, row));
        if (c.want > 0) {
            ASSERT_TRUE(f.ReadRow(c.want - 1, row));
            EXPECT_EQ(row[0], Value(c.want - 1, 0));
        }
    }
}

TEST_F(TdaFileTest, ZeroChannelsOfferTheHeaderCount) {
    std::string path = PathOf("zero.tda");
    ChannelNameTable names = MakeNames();
    ASSERT_TRUE(WriteTdaFile(path, MakeHeader(0, 12), MakeParams(true), {}, &names));
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    EXPECT_EQ(f.RowCount(), 12);
    EXPECT_TRUE(f.NameTablePresent());
    int16_t rows[3][kMaxChannels];
    EXPECT_EQ(f.ReadRows(0, 3, 4, rows), 3);
    EXPECT_TRUE(f.ReadRow(11, rows[0]));
}

TEST_F(TdaFileTest, BulkReadsMatchSingleReads) {
    const int rows = 20000;
    std::string path = WriteNormal("bulk.tda", rows, 80);
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    static int16_t out[1200][kMaxChannels];
    auto check = [&](long long k, long long row) {
        for (int c = 0; c < 80; ++c)
            ASSERT_EQ(out[k][c], Value(row, c)) << "point " << k << " row " << row;
    };
    struct Case {
        long long first, count, step, want;
    } cases[] = {
        {0, 1200, 1, 1200},  {5, 100, 7, 100},    {0, 1200, 16, 1200}, {100, 10, 5000, 4},
        {19990, 100, 1, 10}, {19999, 5, 3, 1},    {20000, 5, 1, 0},    {-1, 5, 1, 0},
        {0, 1200, 0, 1200},  {0, 1200, 1000, 20},
    };
    for (const Case& c : cases) {
        long long got = f.ReadRows(c.first, c.count, c.step, out);
        ASSERT_EQ(got, c.want) << c.first << "," << c.count << "," << c.step;
        for (long long k = 0; k < got; ++k)
            check(k, c.first + k * std::max(c.step, 1LL));
    }

    // The history view's thinning: point i is row floor(i * zoom).
    const float zoom = float(rows) / 1199.0f;
    std::vector<long long> idx;
    for (int i = 0; i < 1199; ++i)
        idx.push_back((long long)(i * zoom));
    ASSERT_EQ(f.ReadRowsAt(idx, out), 1199);
    for (size_t k = 0; k < idx.size(); ++k)
        check((long long)k, idx[k]);
    // Descending and repeated indices work; the first index outside stops.
    std::vector<long long> odd = {50, 49, 49, 10000, 3, rows, 4};
    ASSERT_EQ(f.ReadRowsAt(odd, out), 5);
    for (size_t k = 0; k < 5; ++k)
        check((long long)k, odd[k]);

    std::vector<int16_t> packed(size_t(300 * 80));
    ASSERT_EQ(f.ReadRowsPacked(rows - 100, 300, packed.data()), 100);
    EXPECT_EQ(packed[0], Value(rows - 100, 0));
    EXPECT_EQ(packed[99 * 80 + 79], Value(rows - 1, 79));
}

TEST_F(TdaFileTest, WritesValuesInPlaceAndKeepsTheSum) {
    std::string path = WriteNormal("edit.tda", 10);
    {
        CTdaFile ro;
        ASSERT_EQ(ro.Open(path), TdaError::None);
        EXPECT_EQ(ro.WriteValue(0, 0, 1), TdaError::NotWritable);
    }
    CTdaFile f;
    ASSERT_EQ(f.Open(path, CTdaFile::Mode::ReadWrite), TdaError::None);
    EXPECT_EQ(f.WriteValue(3, 2, -1234), TdaError::None);
    EXPECT_EQ(f.WriteValue(10, 0, 1), TdaError::RowOutOfRange);
    EXPECT_EQ(f.WriteValue(0, 8, 1), TdaError::RowOutOfRange);
    EXPECT_EQ(f.WriteValue(0, -1, 1), TdaError::RowOutOfRange);
    f.Close();
    EXPECT_EQ(fs::file_size(path), 660u + 10 * 16 + 3025);
    CTdaFile g;
    ASSERT_EQ(g.Open(path), TdaError::None);
    EXPECT_TRUE(g.ChecksumValid());
    int16_t row[kMaxChannels];
    ASSERT_TRUE(g.ReadRow(3, row));
    EXPECT_EQ(row[2], -1234);
    EXPECT_EQ(row[1], Value(3, 1));
    EXPECT_EQ(row[3], Value(3, 3));
    EXPECT_EQ(ChannelNameUtf8(g.NameTable(), 0), "炉温");
}

TEST_F(TdaFileTest, WritesParametersAndNamesBack) {
    std::string path = WriteNormal("back.tda", 10);
    CTdaFile f;
    ASSERT_EQ(f.Open(path, CTdaFile::Mode::ReadWrite), TdaError::None);
    CurveParameters p = f.Parameters();
    p.timeLength = 42;
    ChannelNameTable t = MakeNames();
    SetChannelNameUtf8(t, 1, "新名");
    ASSERT_EQ(f.WriteParametersAndNames(p, t), TdaError::None);
    f.Close();
    EXPECT_EQ(fs::file_size(path), 660u + 10 * 16 + 3025);
    CTdaFile g;
    ASSERT_EQ(g.Open(path), TdaError::None);
    EXPECT_EQ(g.Parameters().timeLength, 42);
    EXPECT_EQ(ChannelNameUtf8(g.NameTable(), 1), "新名");
    EXPECT_EQ(g.RowCount(), 10);
    EXPECT_TRUE(g.ChecksumValid());
}

TEST_F(TdaFileTest, NamesWrittenToACrashedFileNeverOverwriteRows) {
    // Header claims 41 rows, 40 whole rows and half a row reached the disk.
    std::string path = PathOf("crashback.tda");
    auto values = MakeRows(40, 8);
    values.resize(values.size() + 3, 0x7777);
    ASSERT_TRUE(WriteTdaFile(path, MakeHeader(8, 41), MakeParams(true), values, nullptr));
    CTdaFile f;
    ASSERT_EQ(f.Open(path, CTdaFile::Mode::ReadWrite), TdaError::None);
    EXPECT_TRUE(f.TrailerMissing());
    EXPECT_EQ(f.RowCount(), 40);
    ASSERT_EQ(f.WriteParametersAndNames(f.Parameters(), MakeNames()), TdaError::None);
    EXPECT_EQ(f.RowCount(), 40);
    f.Close();

    CTdaFile g;
    ASSERT_EQ(g.Open(path), TdaError::None);
    EXPECT_TRUE(g.NameTablePresent());
    EXPECT_EQ(g.Header().sampleCount, 40);
    EXPECT_TRUE(g.ChecksumValid());
    EXPECT_EQ(g.RowCount(), 40);
    EXPECT_EQ(ChannelNameUtf8(g.NameTable(), 7), "出口");
    int16_t row[kMaxChannels];
    ASSERT_TRUE(g.ReadRow(39, row));
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(row[c], Value(39, c));
}

TEST_F(TdaFileTest, NamesAreAppendedWhenTheFileHasNone) {
    std::string path = PathOf("nonames.tda");
    auto values = MakeRows(5, 8);
    ASSERT_TRUE(WriteTdaFile(path, MakeHeader(8, 5), MakeParams(false), values, nullptr));
    CTdaFile f;
    ASSERT_EQ(f.Open(path, CTdaFile::Mode::ReadWrite), TdaError::None);
    EXPECT_FALSE(f.TrailerMissing());
    EXPECT_FALSE(f.NameTablePresent());
    ASSERT_EQ(f.WriteParametersAndNames(f.Parameters(), MakeNames()), TdaError::None);
    f.Close();
    EXPECT_EQ(fs::file_size(path), 660u + 5 * 16 + 3025);
    CTdaFile g;
    ASSERT_EQ(g.Open(path), TdaError::None);
    EXPECT_EQ(g.Parameters().hasChannelNames, 1);
    EXPECT_TRUE(g.NameTablePresent());
    EXPECT_EQ(g.RowCount(), 5);
}

TEST_F(TdaFileTest, UnterminatedNamesAreBounded) {
    std::string path = PathOf("longnames.tda");
    ChannelNameTable t;
    std::memset(&t, 'A', sizeof t);
    auto values = MakeRows(2, 8);
    ASSERT_TRUE(WriteTdaFile(path, MakeHeader(8, 2), MakeParams(true), values, &t));
    CTdaFile f;
    ASSERT_EQ(f.Open(path), TdaError::None);
    for (int n = 0; n < kMaxChannels; ++n)
        EXPECT_EQ(std::strlen(f.NameTable().channelNames[n]), 24u);
}

TEST_F(TdaFileTest, FilesBeyond4GBWork) {
    // A sparse file: 80 channels, 30 million rows = 4.8 GB of rows.
    const int32_t rows = 30000000;
    std::string path = PathOf("large.tda");
    ChannelNameTable names = MakeNames();
    ASSERT_TRUE(WriteTdaFile(path, MakeHeader(80, rows), MakeParams(true), {}, nullptr));
    const long long tableAt = TdaRowOffset(rows, 80);
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    int16_t lastRow[80];
    for (int c = 0; c < 80; ++c)
        lastRow[c] = Value(rows - 1, c);
    ASSERT_EQ(pwrite(fd, lastRow, sizeof lastRow, off_t(tableAt - 160)), 160);
    ASSERT_EQ(pwrite(fd, &names, sizeof names, off_t(tableAt)), ssize_t(sizeof names));
    ::close(fd);

    CTdaFile f;
    ASSERT_EQ(f.Open(path, CTdaFile::Mode::ReadWrite), TdaError::None);
    EXPECT_EQ(f.RowCount(), rows);
    EXPECT_TRUE(f.NameTablePresent());
    EXPECT_EQ(ChannelNameUtf8(f.NameTable(), 0), "炉温");
    int16_t row[kMaxChannels];
    ASSERT_TRUE(f.ReadRow(rows - 1, row));
    EXPECT_EQ(row[79], Value(rows - 1, 79));
    ASSERT_EQ(f.WriteValue(rows - 1, 79, 4321), TdaError::None);
    ASSERT_TRUE(f.ReadRow(rows - 1, row));
    EXPECT_EQ(row[79], 4321);
    static int16_t two[5][kMaxChannels];
    EXPECT_EQ(f.ReadRows(rows - 2, 5, 1, two), 2);
    EXPECT_EQ(two[1][79], 4321);
}

} // namespace
