// The download-check library's buffers are outside data: the library may fill them completely
// without a terminating zero. Each buffer is a heap block of exactly its size, so a read past
// its end is caught.
#include "companion/DownloadCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The next size bytes of the input as a buffer of exactly that size (zeros once the input ends).
std::unique_ptr<char[]> TakeBuffer(const uint8_t*& data, size_t& size, size_t length)
{
    std::unique_ptr<char[]> buffer(new char[length]);
    std::memset(buffer.get(), 0, length);
    size_t taken = size < length ? size : length;
    std::memcpy(buffer.get(), data, taken);
    data += taken;
    size -= taken;
    return buffer;
}

std::wstring Widen(const std::string& text)
{
    std::wstring wide;
    for (char c : text)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return wide;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    bool succeeded = (data[0] & 1) != 0;
    ++data;
    --size;
    std::unique_ptr<char[]> resultBuffer = TakeBuffer(data, size, plug::kDownloadResultTextSize);
    std::string resultText = plug::TextInBuffer(resultBuffer.get(), plug::kDownloadResultTextSize);
    if (resultText.size() > plug::kDownloadResultTextSize)
        __builtin_trap();
    std::wstring candidates[plug::kDownloadCandidateCount];
    for (std::wstring& candidate : candidates) {
        std::unique_ptr<char[]> buffer = TakeBuffer(data, size, plug::kDownloadCandidateSize);
        candidate = Widen(plug::TextInBuffer(buffer.get(), plug::kDownloadCandidateSize));
    }
    std::wstring downloadPath = Widen(std::string(reinterpret_cast<const char*>(data), size));

    plug::DownloadCheckVerdict verdict = plug::InterpretDownloadCheck(succeeded, Widen(resultText), candidates,
                                                                      downloadPath);
    if (!verdict.address.empty()) {
        if (!succeeded || verdict.messageKey)
            __builtin_trap();
        bool fromACandidate = false;
        for (const std::wstring& candidate : candidates)
            fromACandidate = fromACandidate || (!candidate.empty() && verdict.address.rfind(candidate, 0) == 0);
        if (!fromACandidate || verdict.address.size() < downloadPath.size())
            __builtin_trap();
    }
    if (plug::IsWebAddress(verdict.address) && verdict.address.size() < 7)
        __builtin_trap();
    return 0;
}
