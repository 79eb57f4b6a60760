#include "biffworkbook.h"

#include "compoundfile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum RecordType : uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kRString = 0x00D6,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kBlank = 0x0201,
    kMulBlank = 0x00BE,
    kString = 0x0207,
    kRk = 0x027E,
    kBof = 0x0809,
    kFont = 0x0031,
    kFormat = 0x041E,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kPalette = 0x0092,
    kDefColWidth = 0x0055,
    kColInfo = 0x007D,
    kMergeCells = 0x00E5,
};

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
double GetDouble(const uint8_t* p) {
    uint64_t bits = uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double DecodeRk(uint32_t rk) {
    double value;
    if (rk & 2) {
        value = double(int32_t(rk) >> 2);
    } else {
        const uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100.0 : value;
}

struct Record {
    uint16_t type = 0;
    std::span<const uint8_t> data;
};

void AppendRecord(std::vector<uint8_t>& out, const Record& r) {
    out.push_back(uint8_t(r.type));
    out.push_back(uint8_t(r.type >> 8));
    out.push_back(uint8_t(r.data.size()));
    out.push_back(uint8_t(r.data.size() >> 8));
    out.insert(out.end(), r.data.begin(), r.data.end());
}

// Walks the records of a stream from a position; a record running past the
// end of the stream is damage.
class RecordReader {
public:
    RecordReader(std::span<const uint8_t> stream, size_t pos) : m_stream(stream), m_pos(pos) {}
    // False at the end of the stream or on damage (then damaged() is true).
    bool Next(Record& r) {
        if (m_pos + 4 > m_stream.size()) {
            m_damaged = m_pos != m_stream.size();
            return false;
        }
        r.type = Get16(&m_stream[m_pos]);
        const uint16_t len = Get16(&m_stream[m_pos + 2]);
        if (m_pos + 4 + len > m_stream.size()) {
            m_damaged = true;
            return false;
        }
        r.data = m_stream.subspan(m_pos + 4, len);
        m_pos += 4 + len;
        return true;
    }
    // The record after the current one, if it has this type, is consumed.
    bool NextIf(uint16_t type, Record& r) {
        if (m_pos + 4 > m_stream.size() || Get16(&m_stream[m_pos]) != type)
            return false;
        return Next(r);
    }
    bool damaged() const { return m_damaged; }
    size_t position() const { return m_pos; }

private:
    std::span<const uint8_t> m_stream;
    size_t m_pos;
    bool m_damaged = false;
};

// Reads a record body that goes on in CONTINUE records. Character runs that
// cross into a CONTINUE record restart with a new option byte there.
class ContinuedReader {
public:
    void Add(std::span<const uint8_t> segment) { m_segments.push_back(segment); }
    bool AtEnd() {
        SkipEmpty();
        return m_segment >= m_segments.size();
    }
    bool Byte(uint8_t& v) {
        SkipEmpty();
        if (m_segment >= m_segments.size())
            return false;
        v = m_segments[m_segment][m_offset++];
        return true;
    }
    bool U16(uint16_t& v) {
        uint8_t a, b;
        if (!Byte(a) || !Byte(b))
            return false;
        v = uint16_t(a | b << 8);
        return true;
    }
    bool U32(uint32_t& v) {
        uint16_t a, b;
        if (!U16(a) || !U16(b))
            return false;
        v = uint32_t(a) | uint32_t(b) << 16;
        return true;
    }
    bool Skip(uint64_t n) {
        while (n > 0) {
            SkipEmpty();
            if (m_segment >= m_segments.size())
                return false;
            const size_t step = size_t(std::min<uint64_t>(n, Left()));
            m_offset += step;
            n -= step;
        }
        return true;
    }
    // count characters, one or two bytes each as highByte says.
    bool Chars(uint32_t count, bool highByte, std::u16string& out) {
        out.clear();
        while (out.size() < count) {
            if (m_offset >= Current().size()) {
                // The run goes on in the next record after its option byte.
                if (++m_segment >= m_segments.size())
                    return false;
                m_offset = 0;
                uint8_t flags;
                if (!Byte(flags))
                    return false;
                highByte = flags & 1;
                continue;
            }
            const size_t want = count - out.size();
            if (highByte) {
                const size_t n = std::min(want, Left() / 2);
                if (n == 0)
                    return false; // half a character at a record's end
                const uint8_t* p = Current().data() + m_offset;
                for (size_t i = 0; i < n; ++i)
                    out.push_back(char16_t(Get16(p + 2 * i)));
                m_offset += 2 * n;
            } else {
                const size_t n = std::min(want, Left());
                const uint8_t* p = Current().data() + m_offset;
                for (size_t i = 0; i < n; ++i)
                    out.push_back(char16_t(p[i]));
                m_offset += n;
            }
        }
        return true;
    }

private:
    std::span<const uint8_t> Current() const { return m_segments[m_segment]; }
    size_t Left() const { return Current().size() - m_offset; }
    void SkipEmpty() {
        while (m_segment < m_segments.size() && m_offset >= m_segments[m_segment].size()) {
            ++m_segment;
            m_offset = 0;
        }
    }
    std::vector<std::span<const uint8_t>> m_segments;
    size_t m_segment = 0;
    size_t m_offset = 0;
};

// A string with a 2-byte count and an option byte, with its rich-text runs
// and phonetic data skipped when the option byte says they follow.
bool ReadUnicodeString(ContinuedReader& in, bool richExtended, std::string& out) {
    uint16_t count;
    uint8_t flags;
    if (!in.U16(count) || !in.Byte(flags))
        return false;
    uint16_t runs = 0;
    uint32_t extSize = 0;
    if (richExtended && (flags & 0x08) && !in.U16(runs))
        return false;
    if (richExtended && (flags & 0x04) && !in.U32(extSize))
        return false;
    std::u16string chars;
    if (!in.Chars(count, flags & 1, chars))
        return false;
    out.clear();
    AppendUtf16AsUtf8(out, chars.data(), chars.size());
    return in.Skip(uint64_t(runs) * 4 + extSize);
}

// The sheet name of BOUNDSHEET8: a 1-byte count and an option byte.
bool ReadShortString(std::span<const uint8_t> data, std::string& out) {
    if (data.size() < 2)
        return false;
    const uint8_t count = data[0];
    const bool highByte = data[1] & 1;
    if (data.size() < 2 + size_t(count) * (highByte ? 2 : 1))
        return false;
    std::u16string chars;
    for (size_t i = 0; i < count; ++i)
        chars.push_back(highByte ? char16_t(Get16(&data[2 + 2 * i])) : char16_t(data[2 + i]));
    out.clear();
    AppendUtf16AsUtf8(out, chars.data(), chars.size());
    return true;
}

// Walks a sheet substream (after its BOF) to its EOF, nested substreams
// included: an upper bound of its cells, so that the cell list is allocated
// once, and where it ends. False when it has no EOF.
bool ScanSubstream(RecordReader in, size_t& cells, size_t& end) {
    cells = 0;
    int depth = 1;
    Record r;
    while (depth > 0) {
        if (!in.Next(r))
            return false;
        if (r.type == kBof)
            ++depth;
        else if (r.type == kEof)
            --depth;
        else if (r.type == kMulRk)
            cells += r.data.size() / 6;
        else if (r.type == kMulBlank)
            cells += r.data.size() / 2;
        else if (r.type == kLabelSst || r.type == kLabel || r.type == kRString ||
                 r.type == kNumber || r.type == kRk || r.type == kBoolErr || r.type == kFormula ||
                 r.type == kBlank)
            ++cells;
    }
    end = in.position();
    return true;
}

struct SheetEntry {
    uint32_t position;
    uint8_t visibility;
    std::string name;
};

bool CheckBof(const Record& r, uint16_t expectedType) {
    return r.type == kBof && r.data.size() >= 4 && Get16(r.data.data()) == 0x0600 &&
           Get16(r.data.data() + 2) == expectedType;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

bool SameAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiUpper(x) == AsciiUpper(y);
           });
}

} // namespace

void AppendUtf16AsUtf8(std::string& out, const char16_t* text, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | c >> 6));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | c >> 12));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | c >> 18));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
}

void Utf8ToUtf16(std::string_view text, std::u16string& out) {
    out.clear();
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            out.push_back(char16_t(b));
            ++i;
            continue;
        }
        int extra = -1;
        uint32_t c = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            c = b & 0x07;
        }
        bool ok = extra > 0 && i + size_t(extra) < n;
        for (int k = 1; ok && k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                c = c << 6 | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are invalid.
        if (ok && ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
                   (extra == 3 && (c < 0x10000 || c > 0x10FFFF))))
            ok = false;
        if (!ok) {
            out.push_back(u'\xFFFD');
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(char16_t(0xD800 + (c >> 10)));
            out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
        i += size_t(extra) + 1;
    }
}

bool CBiffWorkbook::Load(const std::string& path, std::string& error, std::string_view skipSheet) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open file";
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "not a regular file";
        return false;
    }
    if (uint64_t(st.st_size) > kMaxFileSize) {
        ::close(fd);
        error = "file too large";
        return false;
    }
    std::vector<uint8_t> image(size_t(st.st_size));
    size_t done = 0;
    while (done < image.size()) {
        const ssize_t n = ::read(fd, image.data() + done, image.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            break;
        }
        done += size_t(n);
    }
    ::close(fd);
    if (done != image.size()) {
        error = "cannot read file";
        return false;
    }
    return LoadImage(std::move(image), error, skipSheet);
}

bool CBiffWorkbook::LoadImage(std::vector<uint8_t> image, std::string& error,
                              std::string_view skipSheet) {
    CCompoundFile file;
    if (!file.Open(std::move(image), error))
        return false;
    if (!file.HasStream("Workbook")) {
        error = file.HasStream("Book") ? "Excel 5.0/95 workbooks are not supported"
                                       : "no workbook stream";
        return false;
    }
    std::vector<uint8_t> stream;
    if (!file.ReadStream("Workbook", stream, error))
        return false;
    return Parse(stream, error, skipSheet);
}

bool CBiffWorkbook::Parse(std::span<const uint8_t> stream, std::string& error,
                          std::string_view skipSheet) {
    strings.clear();
    sheets.clear();
    formatRecords.clear();
    xfCount = 0;
    RecordReader globals(stream, 0);
    Record r;
    if (!globals.Next(r) || !CheckBof(r, 0x0005)) {
        error = "not an Excel 97-2003 workbook";
        return false;
    }
    std::vector<SheetEntry> entries;
    for (;;) {
        if (!globals.Next(r)) {
            error = "workbook globals end without EOF";
            return false;
        }
        if (r.type == kEof)
            break;
        if (r.type == kFilePass) {
            error = "the workbook is encrypted";
            return false;
        }
        if (r.type == kFont || r.type == kFormat || r.type == kXf || r.type == kStyle ||
            r.type == kPalette) {
            AppendRecord(formatRecords, r);
            xfCount += r.type == kXf;
        } else if (r.type == kBoundSheet) {
            if (r.data.size() < 6) {
                error = "damaged sheet entry";
                return false;
            }
            SheetEntry e;
            e.position = Get32(r.data.data());
            e.visibility = r.data[4] & 3;
            const uint8_t sheetType = r.data[5];
            if (!ReadShortString(r.data.subspan(6), e.name)) {
                error = "damaged sheet entry";
                return false;
            }
            if (sheetType == 0) // worksheets; charts and macros are not carried
                entries.push_back(std::move(e));
        } else if (r.type == kSst) {
            ContinuedReader in;
            in.Add(r.data);
            Record c;
            while (globals.NextIf(kContinue, c))
                in.Add(c.data);
            uint32_t total, unique;
            if (!in.U32(total) || !in.U32(unique)) {
                error = "damaged shared string table";
                return false;
            }
            std::string text;
            for (uint32_t i = 0; i < unique && !in.AtEnd(); ++i) {
                if (!ReadUnicodeString(in, true, text)) {
                    error = "damaged shared string table";
                    return false;
                }
                strings.push_back(text);
            }
        }
    }
    if (globals.damaged()) {
        error = "damaged record";
        return false;
    }
    const size_t sharedStrings = strings.size();

    // Sheets are read in stream order and must not overlap, so that every
    // record is read once whatever the sheet entries claim.
    if (entries.size() > kMaxSheets) {
        error = "too many sheets";
        return false;
    }
    std::vector<size_t> order(entries.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return entries[a].position < entries[b].position; });
    sheets.resize(entries.size());
    size_t lastEnd = 0;
    for (size_t k : order) {
        const SheetEntry& e = entries[k];
        RecordReader in(stream, e.position);
        if (e.position >= stream.size() || !in.Next(r) || !CheckBof(r, 0x0010)) {
            error = "sheet \"" + e.name + "\" not found in the workbook stream";
            return false;
        }
        size_t cellCount = 0;
        if (e.position < lastEnd || !ScanSubstream(in, cellCount, lastEnd)) {
            error = "sheet \"" + e.name + "\" is damaged";
            return false;
        }
        CBiffSheet& sheet = sheets[k];
        sheet.name = e.name;
        sheet.visibility = e.visibility;
        if (!skipSheet.empty() && SameAsciiCase(e.name, skipSheet))
            continue;
        sheet.cells.reserve(cellCount);
        int depth = 1;
        bool pendingString = false;
        uint16_t xf = 15, pendingXf = 15;
        CBiffCell cell;
        auto add = [&](uint16_t row, uint16_t column) {
            // Columns beyond IV do not exist in this format.
            if (column < 256) {
                cell.row = row;
                cell.column = column;
                cell.xf = xf;
                sheet.cells.push_back(cell);
            }
        };
        while (depth > 0) {
            if (!in.Next(r)) {
                error = "sheet \"" + e.name + "\" ends without EOF";
                return false;
            }
            if (r.type == kBof) {
                ++depth;
                continue;
            }
            if (r.type == kEof) {
                --depth;
                continue;
            }
            if (depth != 1)
                continue; // an embedded chart
            const uint8_t* d = r.data.data();
            const size_t n = r.data.size();
            bool shortRecord = false;
            // Cell records have their XF at offset 4; a STRING record keeps
            // the XF of its FORMULA.
            if ((r.type == kLabelSst || r.type == kLabel || r.type == kRString ||
                 r.type == kNumber || r.type == kRk || r.type == kBoolErr || r.type == kFormula ||
                 r.type == kBlank) &&
                n >= 6)
                xf = Get16(d + 4);
            else if (r.type == kString)
                xf = pendingXf;
            switch (r.type) {
            case kLabelSst:
                if (n < 10) {
                    shortRecord = true;
                } else if (Get32(d + 6) < sharedStrings) {
                    cell = CBiffCell{};
                    cell.kind = CBiffCell::Text;
                    cell.text = Get32(d + 6);
                    add(Get16(d), Get16(d + 2));
                }
                break;
            case kLabel:
            case kRString: {
                ContinuedReader text;
                std::string value;
                text.Add(r.data.subspan(std::min<size_t>(6, n)));
                if (n < 6 || !ReadUnicodeString(text, false, value)) {
                    shortRecord = true;
                    break;
                }
                cell = CBiffCell{};
                cell.kind = CBiffCell::Text;
                cell.text = uint32_t(strings.size());
                strings.push_back(std::move(value));
                add(Get16(d), Get16(d + 2));
                break;
            }
            case kNumber:
                if (n < 14) {
                    shortRecord = true;
                    break;
                }
                cell = CBiffCell{};
                cell.kind = CBiffCell::Number;
                cell.number = GetDouble(d + 6);
                add(Get16(d), Get16(d + 2));
                break;
            case kRk:
                if (n < 10) {
                    shortRecord = true;
                    break;
                }
                cell = CBiffCell{};
                cell.kind = CBiffCell::Number;
                cell.number = DecodeRk(Get32(d + 6));
                add(Get16(d), Get16(d + 2));
                break;
            case kMulRk: {
                if (n < 6) {
                    shortRecord = true;
                    break;
                }
                const uint16_t row = Get16(d), first = Get16(d + 2);
                const size_t count = (n - 6) / 6;
                for (size_t i = 0; i < count; ++i) {
                    cell = CBiffCell{};
                    cell.kind = CBiffCell::Number;
                    cell.number = DecodeRk(Get32(d + 4 + 6 * i + 2));
                    xf = Get16(d + 4 + 6 * i);
                    if (first + i < 256)
                        add(row, uint16_t(first + i));
                }
                break;
            }
            case kBlank:
                if (n < 6) {
                    shortRecord = true;
                    break;
                }
                cell = CBiffCell{};
                cell.kind = CBiffCell::Blank;
                add(Get16(d), Get16(d + 2));
                break;
            case kMulBlank: {
                if (n < 6) {
                    shortRecord = true;
                    break;
                }
                const uint16_t row = Get16(d), first = Get16(d + 2);
                const size_t count = (n - 6) / 2;
                for (size_t i = 0; i < count && first + i < 256; ++i) {
                    cell = CBiffCell{};
                    cell.kind = CBiffCell::Blank;
                    xf = Get16(d + 4 + 2 * i);
                    add(row, uint16_t(first + i));
                }
                break;
            }
            case kBoolErr:
                if (n < 8) {
                    shortRecord = true;
                    break;
                }
                cell = CBiffCell{};
                cell.kind = d[7] ? CBiffCell::Error : CBiffCell::Boolean;
                cell.code = d[6];
                add(Get16(d), Get16(d + 2));
                break;
            case kFormula: {
                if (n < 20) {
                    shortRecord = true;
                    break;
                }
                pendingString = false;
                cell = CBiffCell{};
                if (Get16(d + 12) != 0xFFFF) {
                    cell.kind = CBiffCell::Number;
                    cell.number = GetDouble(d + 6);
                } else if (d[6] == 0) {
                    // The text result follows in a STRING record.
                    pendingString = true;
                    pendingXf = xf;
                    cell.row = Get16(d);
                    cell.column = Get16(d + 2);
                    break;
                } else if (d[6] == 1 || d[6] == 2) {
                    cell.kind = d[6] == 2 ? CBiffCell::Error : CBiffCell::Boolean;
                    cell.code = d[8];
                } else {
                    break; // an empty text result
                }
                add(Get16(d), Get16(d + 2));
                break;
            }
            case kString: {
                if (!pendingString)
                    break;
                pendingString = false;
                ContinuedReader text;
                text.Add(r.data);
                Record c;
                while (in.NextIf(kContinue, c))
                    text.Add(c.data);
                std::string value;
                if (!ReadUnicodeString(text, false, value)) {
                    shortRecord = true;
                    break;
                }
                const uint16_t row = cell.row, column = cell.column;
                cell.kind = CBiffCell::Text;
                cell.text = uint32_t(strings.size());
                strings.push_back(std::move(value));
                add(row, column);
                break;
            }
            case kDefColWidth:
                if (n >= 2)
                    sheet.defaultColumnWidth = Get16(d);
                break;
            case kColInfo:
                if (n >= 12)
                    AppendRecord(sheet.columnRecords, r);
                break;
            case kMergeCells:
                AppendRecord(sheet.mergeRecords, r);
                break;
            default:
                break;
            }
            if (shortRecord) {
                error = "damaged cell record in sheet \"" + e.name + "\"";
                return false;
            }
        }
        SortCells(sheet);
    }
    return true;
}

int CBiffWorkbook::FindSheet(std::string_view name) const {
    for (size_t i = 0; i < sheets.size(); ++i)
        if (SameAsciiCase(sheets[i].name, name))
            return int(i);
    return -1;
}

std::string CBiffWorkbook::CellText(const CBiffCell& cell) const {
    switch (cell.kind) {
    case CBiffCell::Text:
        return cell.text < strings.size() ? strings[cell.text] : std::string();
    case CBiffCell::Number: {
        if (!std::isfinite(cell.number))
            return "#NUM!";
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", cell.number);
        if (std::strtod(buf, nullptr) != cell.number)
            std::snprintf(buf, sizeof buf, "%.17g", cell.number);
        return buf;
    }
    case CBiffCell::Boolean:
        return cell.code ? "TRUE" : "FALSE";
    case CBiffCell::Blank:
        return {};
    case CBiffCell::Error:
        switch (cell.code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        default:
            return "#N/A";
        }
    }
    return {};
}

void CBiffWorkbook::SortCells(CBiffSheet& sheet) {
    auto key = [](const CBiffCell& c) { return uint32_t(c.row) << 16 | c.column; };
    const bool ordered = std::adjacent_find(sheet.cells.begin(), sheet.cells.end(),
                                            [&](const CBiffCell& a, const CBiffCell& b) {
                                                return key(a) >= key(b);
                                            }) == sheet.cells.end();
    if (ordered)
        return; // as spreadsheet programs write them
    std::stable_sort(sheet.cells.begin(), sheet.cells.end(),
                     [&](const CBiffCell& a, const CBiffCell& b) { return key(a) < key(b); });
    // Keep the last of cells written twice to one place.
    std::vector<CBiffCell> unique;
    unique.reserve(sheet.cells.size());
    for (size_t i = 0; i < sheet.cells.size(); ++i)
        if (i + 1 == sheet.cells.size() || key(sheet.cells[i]) != key(sheet.cells[i + 1]))
            unique.push_back(sheet.cells[i]);
    sheet.cells.swap(unique);
}
