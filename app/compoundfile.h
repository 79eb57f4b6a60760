#pragma once
// CCompoundFile: the OLE2 compound file container of .xls workbooks, with
// 512-byte sectors. Reads any stream of an existing file (both allocation
// tables, the DIFAT chain and the mini stream; every index and length is
// checked, so damaged or hostile files fail cleanly) and writes a file that
// holds one stream.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CCompoundFile {
public:
    // Parses the container held in image (kept by the object). False and a
    // reason in error when it is not a readable compound file.
    bool Open(std::vector<uint8_t> image, std::string& error);
    // Reads the stream with this name (ASCII case ignored) from anywhere in
    // the directory. False and a reason when missing or damaged.
    bool ReadStream(std::string_view name, std::vector<uint8_t>& data, std::string& error) const;
    bool HasStream(std::string_view name) const;

    // Writes a compound file holding the one stream made of pieces, in
    // order. A stream shorter than 4096 bytes is padded with zeros to that
    // size so that it lives in ordinary sectors. Writes to a temporary file
    // beside path and renames it, so a failure leaves path untouched.
    static bool WriteSingleStream(const std::string& path, std::string_view streamName,
                                  const std::vector<std::span<const uint8_t>>& pieces,
                                  std::string& error);

private:
    struct Entry {
        std::u16string name;
        uint8_t type = 0;
        uint32_t start = 0;
        uint64_t size = 0;
    };
    bool ReadChain(uint32_t start, const std::vector<uint32_t>& table, bool mini, uint64_t size,
                   std::vector<uint8_t>& data, std::string& error) const;
    const Entry* Find(std::string_view name) const;
    std::span<const uint8_t> Sector(uint32_t index) const;

    std::vector<uint8_t> m_image;
    uint32_t m_sectorSize = 512;
    uint32_t m_sectorCount = 0;
    uint32_t m_miniCutoff = 4096;
    std::vector<uint32_t> m_fat;
    std::vector<uint32_t> m_miniFat;
    std::vector<Entry> m_entries;
    std::vector<uint8_t> m_miniStream;
};
