#include "compoundfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint32_t kHeaderDifatEntries = 109;
constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

char16_t AsciiUpper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

bool SameName(const std::u16string& a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(char16_t(uint8_t(b[i]))))
            return false;
    return true;
}

} // namespace

std::span<const uint8_t> CCompoundFile::Sector(uint32_t index) const {
    return {m_image.data() + size_t(index + 1) * m_sectorSize, m_sectorSize};
}

bool CCompoundFile::Open(std::vector<uint8_t> image, std::string& error) {
    m_image = std::move(image);
    m_fat.clear();
    m_miniFat.clear();
    m_entries.clear();
    m_miniStream.clear();
    if (m_image.size() < 512 || !std::equal(kSignature, kSignature + 8, m_image.begin())) {
        error = "not an OLE2 compound file";
        return false;
    }
    const uint8_t* h = m_image.data();
    const uint16_t sectorShift = Get16(h + 30);
    if ((sectorShift != 9 && sectorShift != 12) || Get16(h + 32) != 6) {
        error = "unsupported sector size";
        return false;
    }
    m_sectorSize = 1u << sectorShift;
    // A short last sector is read as if padded with zeros.
    const size_t body = m_image.size() > m_sectorSize ? m_image.size() - m_sectorSize : 0;
    const size_t sectors = (body + m_sectorSize - 1) / m_sectorSize;
    if (sectors >= kDifSect) {
        error = "file too large";
        return false;
    }
    m_sectorCount = uint32_t(sectors);
    m_image.resize(size_t(m_sectorCount + 1) * m_sectorSize, 0);
    h = m_image.data();
    m_miniCutoff = Get32(h + 56);

    // The FAT sectors: 109 listed in the header, the rest in the DIFAT chain.
    const uint32_t fatCount = Get32(h + 44);
    if (fatCount > m_sectorCount) {
        error = "damaged allocation table";
        return false;
    }
    std::vector<uint32_t> fatSectors;
    for (uint32_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(Get32(h + 76 + 4 * i));
    const uint32_t perDifat = m_sectorSize / 4 - 1;
    uint32_t difat = Get32(h + 68);
    for (uint32_t steps = 0; fatSectors.size() < fatCount; ++steps) {
        if (difat >= m_sectorCount || steps > m_sectorCount) {
            error = "damaged DIFAT chain";
            return false;
        }
        const auto s = Sector(difat);
        for (uint32_t i = 0; i < perDifat && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(Get32(s.data() + 4 * i));
        difat = Get32(s.data() + 4 * perDifat);
    }
    m_fat.reserve(size_t(fatCount) * (m_sectorSize / 4));
    for (uint32_t f : fatSectors) {
        if (f >= m_sectorCount) {
            error = "damaged allocation table";
            return false;
        }
        const auto s = Sector(f);
        for (uint32_t i = 0; i < m_sectorSize / 4; ++i)
            m_fat.push_back(Get32(s.data() + 4 * i));
    }

    std::vector<uint8_t> dir;
    if (!ReadChain(Get32(h + 48), m_fat, false, UINT64_MAX, dir, error))
        return false;
    for (size_t off = 0; off + 128 <= dir.size(); off += 128) {
        const uint8_t* e = dir.data() + off;
        Entry entry;
        const uint16_t nameBytes = std::min<uint16_t>(Get16(e + 64), 64);
        for (uint16_t i = 0; i + 1 < nameBytes; i += 2) {
            const char16_t c = char16_t(Get16(e + i));
            if (c == 0)
                break;
            entry.name.push_back(c);
        }
        entry.type = e[66];
        entry.start = Get32(e + 116);
        entry.size = Get32(e + 120);
        if (m_sectorSize != 512)
            entry.size |= uint64_t(Get32(e + 124)) << 32;
        m_entries.push_back(std::move(entry));
    }
    if (m_entries.empty() || m_entries[0].type != 5) {
        error = "no root entry";
        return false;
    }

    // The mini stream and its table are read only if some stream needs them.
    const uint32_t miniFatStart = Get32(h + 60);
    if (miniFatStart != kEndOfChain && miniFatStart != kFreeSect) {
        std::vector<uint8_t> miniFat;
        if (!ReadChain(miniFatStart, m_fat, false, UINT64_MAX, miniFat, error))
            return false;
        m_miniFat.resize(miniFat.size() / 4);
        for (size_t i = 0; i < m_miniFat.size(); ++i)
            m_miniFat[i] = Get32(miniFat.data() + 4 * i);
        const Entry& root = m_entries[0];
        if (root.start != kEndOfChain &&
            !ReadChain(root.start, m_fat, false, root.size, m_miniStream, error))
            return false;
    }
    return true;
}

bool CCompoundFile::ReadChain(uint32_t start, const std::vector<uint32_t>& table, bool mini,
                              uint64_t size, std::vector<uint8_t>& data, std::string& error) const {
    data.clear();
    const uint32_t unit = mini ? 64 : m_sectorSize;
    const uint64_t units = mini ? m_miniStream.size() / 64 : m_sectorCount;
    // A chain never visits more units than exist, so loops end here.
    uint64_t steps = 0;
    if (size != UINT64_MAX && size <= uint64_t(units) * unit)
        data.reserve(size_t(size) + unit);
    for (uint32_t s = start; s != kEndOfChain && data.size() < size; s = table[s]) {
        if (s >= units || s >= table.size() || ++steps > units) {
            error = "damaged sector chain";
            return false;
        }
        const uint8_t* p = mini ? m_miniStream.data() + size_t(s) * 64 : Sector(s).data();
        data.insert(data.end(), p, p + unit);
    }
    if (size != UINT64_MAX) {
        if (data.size() < size) {
            error = "stream shorter than its directory entry";
            return false;
        }
        data.resize(size);
    }
    return true;
}

const CCompoundFile::Entry* CCompoundFile::Find(std::string_view name) const {
    for (const Entry& e : m_entries)
        if (e.type == 2 && SameName(e.name, name))
            return &e;
    return nullptr;
}

bool CCompoundFile::HasStream(std::string_view name) const {
    return Find(name) != nullptr;
}

bool CCompoundFile::ReadStream(std::string_view name, std::vector<uint8_t>& data,
                               std::string& error) const {
    const Entry* e = Find(name);
    if (!e) {
        error = "no stream " + std::string(name);
        return false;
    }
    if (e->size > uint64_t(m_sectorCount) * m_sectorSize) {
        error = "stream size beyond the file";
        return false;
    }
    if (e->size < m_miniCutoff)
        return ReadChain(e->start, m_miniFat, true, e->size, data, error);
    return ReadChain(e->start, m_fat, false, e->size, data, error);
}

namespace {

void PutDirectoryEntry(uint8_t* e, std::u16string_view name, uint8_t type, uint32_t child,
                       uint32_t start, uint32_t size) {
    std::memset(e, 0, 128);
    for (size_t i = 0; i < name.size(); ++i)
        Put16(e + 2 * i, uint16_t(name[i]));
    Put16(e + 64, uint16_t(name.empty() ? 0 : 2 * (name.size() + 1)));
    e[66] = type;
    e[67] = 1; // black
    Put32(e + 68, kNoStream);
    Put32(e + 72, kNoStream);
    Put32(e + 76, child);
    Put32(e + 116, start);
    Put32(e + 120, size);
}

// Closes the descriptor and removes the temporary file on every failure path.
struct TempFile {
    std::string path;
    int fd = -1;
    ~TempFile() {
        if (fd >= 0)
            ::close(fd);
        if (!path.empty())
            ::unlink(path.c_str());
    }
};

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

} // namespace

bool CCompoundFile::WriteSingleStream(const std::string& path, std::string_view streamName,
                                      const std::vector<std::span<const uint8_t>>& pieces,
                                      std::string& error) {
    if (streamName.size() > 31) {
        error = "stream name too long";
        return false;
    }
    uint64_t streamSize = 0;
    for (const auto& p : pieces)
        streamSize += p.size();
    const uint64_t padded = std::max<uint64_t>(streamSize, kMiniStreamCutoff);
    const uint64_t streamSectors = (padded + kSectorSize - 1) / kSectorSize;
    if (padded > 0x7FFFFFFFull) {
        error = "workbook too large";
        return false;
    }

    // Layout: the stream from sector 0, one directory sector, the FAT
    // sectors, then the DIFAT sectors for FAT sectors beyond the header's 109.
    const uint32_t dataSectors = uint32_t(streamSectors) + 1;
    uint32_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        const uint32_t total = dataSectors + fatSectors + difatSectors;
        const uint32_t needFat = (total + kEntriesPerSector - 1) / kEntriesPerSector;
        const uint32_t needDifat =
            needFat > kHeaderDifatEntries
                ? (needFat - kHeaderDifatEntries + kEntriesPerSector - 2) / (kEntriesPerSector - 1)
                : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const uint32_t dirSector = uint32_t(streamSectors);
    const uint32_t firstFat = dirSector + 1;
    const uint32_t firstDifat = firstFat + fatSectors;

    std::vector<uint32_t> fat(size_t(fatSectors) * kEntriesPerSector, kFreeSect);
    for (uint32_t s = 0; s < streamSectors; ++s)
        fat[s] = s + 1 < streamSectors ? s + 1 : kEndOfChain;
    fat[dirSector] = kEndOfChain;
    for (uint32_t i = 0; i < fatSectors; ++i)
        fat[firstFat + i] = kFatSect;
    for (uint32_t i = 0; i < difatSectors; ++i)
        fat[firstDifat + i] = kDifSect;

    std::vector<uint8_t> header(kSectorSize, 0);
    std::copy(kSignature, kSignature + 8, header.begin());
    Put16(&header[24], 0x003E);
    Put16(&header[26], 0x0003);
    Put16(&header[28], 0xFFFE);
    Put16(&header[30], 9);
    Put16(&header[32], 6);
    Put32(&header[44], fatSectors);
    Put32(&header[48], dirSector);
    Put32(&header[56], kMiniStreamCutoff);
    Put32(&header[60], kEndOfChain);
    Put32(&header[68], difatSectors ? firstDifat : kEndOfChain);
    Put32(&header[72], difatSectors);
    for (uint32_t i = 0; i < kHeaderDifatEntries; ++i)
        Put32(&header[76 + 4 * i], i < fatSectors ? firstFat + i : kFreeSect);

    std::vector<uint8_t> tail(size_t(1 + fatSectors + difatSectors) * kSectorSize, 0);
    uint8_t* dir = tail.data();
    PutDirectoryEntry(dir, u"Root Entry", 5, 1, kEndOfChain, 0);
    std::u16string name(streamName.begin(), streamName.end());
    PutDirectoryEntry(dir + 128, name, 2, kNoStream, 0, uint32_t(padded));
    PutDirectoryEntry(dir + 256, u"", 0, kNoStream, 0, 0);
    PutDirectoryEntry(dir + 384, u"", 0, kNoStream, 0, 0);
    uint8_t* fatBytes = dir + kSectorSize;
    for (size_t i = 0; i < fat.size(); ++i)
        Put32(fatBytes + 4 * i, fat[i]);
    uint8_t* difatBytes = fatBytes + size_t(fatSectors) * kSectorSize;
    uint32_t nextFat = kHeaderDifatEntries;
    for (uint32_t d = 0; d < difatSectors; ++d) {
        uint8_t* s = difatBytes + size_t(d) * kSectorSize;
        for (uint32_t i = 0; i < kEntriesPerSector - 1; ++i, ++nextFat)
            Put32(s + 4 * i, nextFat < fatSectors ? firstFat + nextFat : kFreeSect);
        Put32(s + 4 * (kEntriesPerSector - 1),
              d + 1 < difatSectors ? firstDifat + d + 1 : kEndOfChain);
    }

    // The temporary file is created like any new file (the umask applies).
    static std::atomic<unsigned> serial{0};
    TempFile tmp;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp.path = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        tmp.fd = ::open(tmp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (tmp.fd >= 0 || errno != EEXIST)
            break;
    }
    if (tmp.fd < 0) {
        tmp.path.clear();
        error = std::string("cannot create file: ") + std::strerror(errno);
        return false;
    }
    const std::vector<uint8_t> zeros(kSectorSize + kMiniStreamCutoff, 0);
    const uint64_t padding = streamSectors * kSectorSize - streamSize;
    bool ok = WriteAll(tmp.fd, header.data(), header.size());
    for (const auto& p : pieces)
        ok = ok && WriteAll(tmp.fd, p.data(), p.size());
    ok = ok && WriteAll(tmp.fd, zeros.data(), size_t(padding));
    ok = ok && WriteAll(tmp.fd, tail.data(), tail.size());
    // A replaced file keeps its permissions.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        ok = ok && ::fchmod(tmp.fd, old.st_mode & 07777) == 0;
    if (::close(tmp.fd) != 0)
        ok = false;
    tmp.fd = -1;
    if (!ok || std::rename(tmp.path.c_str(), path.c_str()) != 0) {
        error = std::string("cannot write file: ") + std::strerror(errno);
        return false;
    }
    tmp.path.clear();
    return true;
}
