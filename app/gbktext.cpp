#include "gbktext.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace {

// One conversion descriptor per direction and thread (iconv_t keeps state
// and must not be shared between threads; the export runs on its own).
class Converter {
public:
    Converter(const char* to, const char* from, bool utf8Source)
        : m_cd(iconv_open(to, from)), m_utf8Source(utf8Source) {}
    ~Converter() {
        if (m_cd != iconv_t(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts text; a byte sequence that cannot be converted becomes '?'
    // and conversion goes on with the next byte.
    std::string Run(std::string_view in) {
        std::string out;
        if (m_cd == iconv_t(-1) || in.empty())
            return std::string(in);
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        out.reserve(in.size() * 2);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buf[512];
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, size_t(dst - buf));
            if (rc != size_t(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ, or EINVAL for a sequence cut short at the end.
            out.push_back('?');
            size_t skip = SkipLength(src, srcLeft);
            src += skip;
            srcLeft -= skip;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buf, size_t(dst - buf));
        return out;
    }

private:
    // Bytes to drop at an unconvertible sequence: a whole UTF-8 character
    // (one '?' for one character), or the single GBK byte, so a bad lead byte
    // does not swallow the valid character after it.
    size_t SkipLength(const char* p, size_t left) const {
        size_t n = 1;
        if (m_utf8Source)
            while (n < left && n < 4 && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80)
                ++n;
        return n;
    }

    iconv_t m_cd;
    bool m_utf8Source;
};

bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

} // namespace

std::string GbkToUtf8(std::string_view gbk) {
    thread_local Converter c("UTF-8", "CP936", false);
    return c.Run(gbk);
}

std::string Utf8ToGbk(std::string_view utf8) {
    thread_local Converter c("CP936", "UTF-8", true);
    return c.Run(utf8);
}

std::size_t GbkByteLength(std::string_view utf8) {
    return Utf8ToGbk(utf8).size();
}

std::string BoundedFieldText(const char* field, std::size_t fieldBytes) {
    return std::string(field, strnlen(field, fieldBytes));
}

std::size_t GbkPrefixLength(std::string_view gbk, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < gbk.size()) {
        std::size_t step = IsGbkLeadByte((unsigned char)gbk[i]) && i + 1 < gbk.size() ? 2 : 1;
        if (i + step > maxBytes)
            break;
        i += step;
    }
    return i;
}

void CopyToField(char* field, std::size_t fieldBytes, std::string_view gbk) {
    if (fieldBytes == 0)
        return;
    std::memset(field, 0, fieldBytes);
    std::string_view text = gbk.substr(0, strnlen(gbk.data(), gbk.size()));
    std::size_t n = GbkPrefixLength(text, fieldBytes - 1);
    std::memcpy(field, text.data(), n);
}
