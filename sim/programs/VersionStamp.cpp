#include "VersionStamp.h"

#include <cstring>

namespace sim {

namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr std::uint32_t kFixedStructVersion = 0x00010000u;
// The resource starts with its length, value length and type (three 16-bit words), the key
// "VS_VERSION_INFO" with its terminator, padding to 32 bits, then the fixed block.
constexpr size_t kFixedBlockOffset = 40;
constexpr char16_t kRootKey[] = u"VS_VERSION_INFO";

std::uint32_t ReadU32(const std::string& bytes, size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::uint16_t ReadU16(const std::string& bytes, size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

void WriteU32(std::string* bytes, size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        (*bytes)[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string Utf16Bytes(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>((static_cast<unsigned>(c) >> 8) & 0xFF);
    }
    return bytes;
}

bool HasRootKey(const std::string& bytes, size_t start)
{
    for (size_t i = 0; i < sizeof(kRootKey) / sizeof(kRootKey[0]); ++i) {
        if (ReadU16(bytes, start + 6 + 2 * i) != static_cast<std::uint16_t>(kRootKey[i]))
            return false;
    }
    return true;
}

// The start and length of the version resource, found by its fixed block; false when none.
bool FindVersionResource(const std::string& bytes, size_t* start, size_t* length)
{
    for (size_t at = kFixedBlockOffset; at + 16 <= bytes.size(); at += 4) {
        if (ReadU32(bytes, at) != kFixedSignature || ReadU32(bytes, at + 4) != kFixedStructVersion)
            continue;
        size_t candidate = at - kFixedBlockOffset;
        size_t size = ReadU16(bytes, candidate);
        if (size < kFixedBlockOffset + 52 || candidate + size > bytes.size() || !HasRootKey(bytes, candidate))
            continue;
        *start = candidate;
        *length = size;
        return true;
    }
    return false;
}

} // namespace

bool ParseFileVersion(const std::wstring& text, FileVersion* version)
{
    FileVersion fields = {0, 0, 0, 0};
    size_t field = 0;
    size_t digits = 0;
    std::uint32_t value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        wchar_t c = i < text.size() ? text[i] : L'.';
        if (c >= L'0' && c <= L'9') {
            value = value * 10 + static_cast<std::uint32_t>(c - L'0');
            if (++digits > 5 || value > 0xFFFF)
                return false;
            continue;
        }
        if (c != L'.' || digits == 0 || field == 4)
            return false;
        fields[field++] = static_cast<std::uint16_t>(value);
        digits = 0;
        value = 0;
    }
    *version = fields;
    return true;
}

std::wstring FileVersionText(const FileVersion& version)
{
    return std::to_wstring(version[0]) + L"." + std::to_wstring(version[1]) + L"." + std::to_wstring(version[2]) +
           L"." + std::to_wstring(version[3]);
}

bool StampFileVersion(std::string* bytes, const FileVersion& version)
{
    size_t start = 0;
    size_t length = 0;
    if (!FindVersionResource(*bytes, &start, &length))
        return false;
    std::uint32_t high = (static_cast<std::uint32_t>(version[0]) << 16) | version[1];
    std::uint32_t low = (static_cast<std::uint32_t>(version[2]) << 16) | version[3];
    size_t fixed = start + kFixedBlockOffset;
    WriteU32(bytes, fixed + 8, high); // file version
    WriteU32(bytes, fixed + 12, low);
    WriteU32(bytes, fixed + 16, high); // product version
    WriteU32(bytes, fixed + 20, low);

    const std::string placeholder = Utf16Bytes(kVersionPlaceholder);
    std::string text = Utf16Bytes(FileVersionText(version));
    text.resize(placeholder.size(), '\0');
    for (size_t at = bytes->find(placeholder, start);
         at != std::string::npos && at + placeholder.size() <= start + length;
         at = bytes->find(placeholder, at + placeholder.size()))
        bytes->replace(at, placeholder.size(), text);
    return true;
}

} // namespace sim
