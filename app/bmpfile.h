#pragma once
// CBmpFile: a 24-bit uncompressed Windows bitmap in the layout other programs
// read: 14-byte file header, 40-byte info header, no colour table, then the
// pixel rows bottom-up in blue-green-red order, each row padded to a multiple
// of 4 bytes. Used by the history view's "save as bitmap" and by vantrel-cli.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CBmpFile {
public:
    static constexpr uint32_t kFileHeaderBytes = 14;
    static constexpr uint32_t kInfoHeaderBytes = 40;
    static constexpr uint32_t kPixelOffset = kFileHeaderBytes + kInfoHeaderBytes; // 54
    // Largest width or height accepted; keeps every size inside 32 bits.
    static constexpr int kMaxDimension = 16384;

    // Bytes of one pixel row: ((width * 3 + 3) / 4) * 4.
    static uint32_t Stride(int width);

    // Takes the picture from top-down rows of 32-bit pixels 0x??RRGGBB (the
    // layout of an RGB32 image), bytesPerLine apart. Fails, keeping nothing,
    // when the size is empty or beyond kMaxDimension or bits is null.
    bool SetFromRgb32(int width, int height, const uint32_t* bits, std::size_t bytesPerLine);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    bool IsEmpty() const { return m_pixels.empty(); }
    // Z: the size of the pixel data, stride * height.
    uint32_t ImageSize() const { return uint32_t(m_pixels.size()); }
    // The bottom-up, padded BGR rows.
    const std::vector<uint8_t>& Pixels() const { return m_pixels; }

    // The 54 header bytes for the current picture.
    std::vector<uint8_t> Headers() const;
    // Headers and pixels: the complete file image.
    std::vector<uint8_t> FileBytes() const;

    // Creates (or truncates) path and writes the file. Returns false, with
    // nothing left behind at path, when the picture is empty, the file cannot
    // be created or a write fails.
    bool Save(const std::string& path) const;

private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<uint8_t> m_pixels;
};
