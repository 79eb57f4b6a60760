#include "bmpfile.h"

#include <cstdio>

namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

} // namespace

uint32_t CBmpFile::Stride(int width) {
    if (width <= 0)
        return 0;
    return ((uint32_t(width) * 3 + 3) / 4) * 4;
}

bool CBmpFile::SetFromRgb32(int width, int height, const uint32_t* bits, std::size_t bytesPerLine) {
    m_nWidth = m_nHeight = 0;
    m_pixels.clear();
    if (!bits || width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension ||
        bytesPerLine < std::size_t(width) * 4)
        return false;

    const uint32_t stride = Stride(width);
    m_pixels.assign(std::size_t(stride) * height, 0);
    const auto* source = reinterpret_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y) {
        // Row 0 of the file is the bottom row of the picture.
        const auto* in =
            reinterpret_cast<const uint32_t*>(source + bytesPerLine * (height - 1 - y));
        uint8_t* out = m_pixels.data() + std::size_t(stride) * y;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = in[x];
            *out++ = uint8_t(p);       // blue
            *out++ = uint8_t(p >> 8);  // green
            *out++ = uint8_t(p >> 16); // red
        }
    }
    m_nWidth = width;
    m_nHeight = height;
    return true;
}

std::vector<uint8_t> CBmpFile::Headers() const {
    std::vector<uint8_t> h;
    h.reserve(kPixelOffset);
    // File header.
    PutU16(h, 0x4D42); // "BM"
    PutU32(h, ImageSize() + kPixelOffset);
    PutU16(h, 0);
    PutU16(h, 0);
    PutU32(h, kPixelOffset);
    // Info header: positive height means bottom-up rows.
    PutU32(h, kInfoHeaderBytes);
    PutU32(h, uint32_t(m_nWidth));
    PutU32(h, uint32_t(m_nHeight));
    PutU16(h, 1);  // planes
    PutU16(h, 24); // bits per pixel
    PutU32(h, 0);  // uncompressed RGB
    PutU32(h, ImageSize());
    PutU32(h, 0); // horizontal resolution
    PutU32(h, 0); // vertical resolution
    PutU32(h, 0); // colours used
    PutU32(h, 0); // important colours
    return h;
}

std::vector<uint8_t> CBmpFile::FileBytes() const {
    std::vector<uint8_t> bytes = Headers();
    bytes.insert(bytes.end(), m_pixels.begin(), m_pixels.end());
    return bytes;
}

bool CBmpFile::Save(const std::string& path) const {
    if (IsEmpty())
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const std::vector<uint8_t> headers = Headers();
    bool ok = std::fwrite(headers.data(), 1, headers.size(), f) == headers.size() &&
              std::fwrite(m_pixels.data(), 1, m_pixels.size(), f) == m_pixels.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok)
        std::remove(path.c_str()); // a half-written picture is worse than none
    return ok;
}
