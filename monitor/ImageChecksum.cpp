#include "ImageChecksum.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "CHandle.h"

namespace {

bool ReadWholeFile(const char* pszPath, std::vector<unsigned char>& contents) {
    CHandle hFile(::CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!hFile.IsValid()) return false;
    LARGE_INTEGER size;
    bool bOk = ::GetFileSizeEx(hFile, &size) && size.QuadPart > 0 && size.QuadPart < (64 << 20);
    if (bOk) {
        contents.resize(static_cast<size_t>(size.QuadPart));
        DWORD nRead = 0;
        bOk = ::ReadFile(hFile, contents.data(), static_cast<DWORD>(contents.size()), &nRead, nullptr) &&
              nRead == contents.size();
    }
    return bOk;
}

uint32_t ReadU32(const std::vector<unsigned char>& image, size_t offset) {
    uint32_t value;
    std::memcpy(&value, image.data() + offset, sizeof value);
    return value;
}

}  // namespace

bool VerifyImageChecksum(const char* pszPath) {
    std::vector<unsigned char> image;
    if (!ReadWholeFile(pszPath, image) || image.size() < 0x40) return false;
    size_t peOffset = ReadU32(image, 0x3C);
    // Signature, file header, then the checksum at offset 64 of the optional header.
    size_t checksumOffset = peOffset + 4 + 20 + 64;
    if (checksumOffset + 4 > image.size() || std::memcmp(image.data() + peOffset, "PE\0\0", 4) != 0) return false;
    uint32_t stored = ReadU32(image, checksumOffset);
    if (stored == 0) return false;

    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) continue;
        uint32_t word = image[i] | (i + 1 < image.size() ? image[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size()) == stored;
}
