// libFuzzer target: arbitrary bytes as a .tda file, opened, read in every way
// the program reads, and written back the way the history view does.

#include "tdafile.h"

#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The input as a file in memory, reachable by path.
struct MemFile {
    int fd = -1;
    char path[64] = {};
    MemFile(const uint8_t* data, size_t size) {
        fd = memfd_create("tda", 0);
        if (fd < 0)
            return;
        if (size && write(fd, data, size) != ssize_t(size)) {
            close(fd);
            fd = -1;
            return;
        }
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    }
    ~MemFile() {
        if (fd >= 0)
            close(fd);
    }
};

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

void ReadEverything(CTdaFile& f, const uint8_t* data, size_t size) {
    static int16_t rows[64][kMaxChannels];
    Check(f.ChannelCount() >= 0 && f.ChannelCount() <= kMaxChannels);
    Check(f.RowCount() >= 0);
    Check(f.RowCount() <= 0 || f.RowBytes() == 0 ||
          TdaRowOffset(f.RowCount(), f.ChannelCount()) <= f.FileSize());
    for (int n = 0; n < kMaxChannels; ++n)
        Check(ChannelNameGbk(f.NameTable(), n).size() < size_t(kChannelNameBytes));
    ChannelNameUtf8(f.NameTable(), 0);
    (void)f.ChecksumValid();
    (void)f.RowTime(f.RowCount());
    const long long n = f.RowCount();
    int16_t row[kMaxChannels];
    for (long long i : {0LL, n / 2, n - 1, n, -1LL})
        if (f.ReadRow(i, row))
            for (int c = 0; c < f.ChannelCount(); ++c)
                (void)RawToDegrees(row[c], f.Header().valueScale, c & 1);
    // Steps and starts taken from the input's tail.
    long long step = size ? data[size - 1] % 17 : 1;
    long long first = size > 1 ? data[size - 2] : 0;
    Check(f.ReadRows(first, 64, step, rows) <= 64);
    long long idx[64];
    for (int k = 0; k < 64; ++k)
        idx[k] = (k * (n + 3)) / 60 - (k == 63);
    Check(f.ReadRowsAt(idx, rows) <= 64);
    static int16_t packed[64 * kMaxChannels];
    Check(f.ReadRowsPacked(first, 64, packed) <= 64);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemFile mem(data, size);
    if (mem.fd < 0)
        return 0;
    CTdaFile f;
    if (f.Open(mem.path, CTdaFile::Mode::ReadOnly) != TdaError::None)
        return 0;
    ReadEverything(f, data, size);
    f.Close();

    // Write-back as the history view and the data list do, then read again.
    if (f.Open(mem.path, CTdaFile::Mode::ReadWrite) != TdaError::None)
        return 0;
    f.WriteValue(f.RowCount() - 1, 0, 123);
    const long long rowsBefore = f.RowCount();
    bool wasValid = f.ChecksumValid();
    ChannelNameTable t = f.NameTable();
    Check(f.WriteParametersAndNames(f.Parameters(), t) == TdaError::None);
    f.Close();
    Check(f.Open(mem.path, CTdaFile::Mode::ReadOnly) == TdaError::None);
    Check(f.NameTablePresent());
    Check(f.RowCount() <= rowsBefore);
    Check(!wasValid || f.ChecksumValid());
    ReadEverything(f, data, size);
    return 0;
}
