#pragma once
// Stored texts (channel names, every text inside the record files) are code
// page 936 (GBK) bytes; the program works in UTF-8 std::string. Conversion
// goes through iconv. Bytes that cannot be converted become '?', so a damaged
// name never makes a conversion fail.

#include <cstddef>
#include <string>
#include <string_view>

std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// The width unit of the drawing routines: the text's length in GBK bytes
// (a Chinese character counts 2, an ASCII character 1).
std::size_t GbkByteLength(std::string_view utf8);

// The bytes of a fixed-size text field up to its first zero byte, never
// beyond fieldBytes.
std::string BoundedFieldText(const char* field, std::size_t fieldBytes);
// Writes GBK bytes into a fixed-size field: at most fieldBytes - 1 bytes of
// text, cut before a double-byte character that would not fit whole, the rest
// zero-filled.
void CopyToField(char* field, std::size_t fieldBytes, std::string_view gbk);
// Length of the longest prefix of gbk, at most maxBytes, that does not end in
// the middle of a double-byte character.
std::size_t GbkPrefixLength(std::string_view gbk, std::size_t maxBytes);
