// libFuzzer target: any bytes into kzoJpegDecoder::Decode, on the fast path
// (with the kernel set picked by the input's size, so that all of them are
// fuzzed) and on the plain path; the two must agree on the result, the state
// code, the size and every pixel, and a failed decode must keep no picture.
// The fast decode reads a copy whose bytes are overwritten as the decoder
// reports them done, so a read of them again shows as a difference.
// The pixel bound is lowered to 256 x 256 so that one input decodes in well
// under a millisecond; the sanitizers check reads, writes and arithmetic.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "import/jpeg/Jpeg.hpp"
#include "import/jpeg/JpegPaths.hpp"

namespace {

constexpr std::int64_t fuzzMaxPixels = 256 * 256;

kzoJpegKernelSet kernelsFor(std::size_t size)
{
    const kzoJpegKernelSet sets[] = {kzoJpegKernelSet::Scalar, kzoJpegKernelSet::Sse2, kzoJpegKernelSet::Avx2};
    const kzoJpegKernelSet set = sets[size % 3];
    return kzoJpegKernelSetRuns(set) ? set : kzoJpegKernelSet::Scalar;
}

// A decoder in memory kept across inputs: half a megabyte of fresh pages per
// decode would spend most of the run in page faults.
class ReusedDecoder {
public:
    ReusedDecoder(unsigned char* storage, kzoJpegPath path, kzoJpegKernelSet kernels)
        : decoder(new (storage) kzoJpegDecoder(fuzzMaxPixels, path, kernels))
    {
    }
    ~ReusedDecoder() { decoder->~kzoJpegDecoder(); }
    ReusedDecoder(const ReusedDecoder&) = delete;
    ReusedDecoder& operator=(const ReusedDecoder&) = delete;
    kzoJpegDecoder* operator->() const { return decoder; }

private:
    kzoJpegDecoder* decoder;
};

// The fast decode's copy of the input and how much of it is reported done.
struct PoisonedInput {
    std::vector<std::uint8_t> bytes;
    std::int64_t done = 0;
};

void poisonDoneInput(void* context, std::int64_t doneBytes)
{
    auto& input = *static_cast<PoisonedInput*>(context);
    if (doneBytes < input.done || doneBytes > std::int64_t(input.bytes.size()))
        __builtin_trap();
    std::memset(input.bytes.data() + input.done, 0xA5, std::size_t(doneBytes - input.done));
    input.done = doneBytes;
}

PoisonedInput poisoned;
alignas(kzoJpegDecoder) unsigned char fastStorage[sizeof(kzoJpegDecoder)];
alignas(kzoJpegDecoder) unsigned char plainStorage[sizeof(kzoJpegDecoder)];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0x7FFFFFFF)
        return 0;
    const ReusedDecoder fast(fastStorage, kzoJpegPath::Fast, kernelsFor(size));
    const ReusedDecoder plain(plainStorage, kzoJpegPath::Plain, kzoJpegKernelSet::Scalar);
    poisoned.bytes.assign(data, data + size);
    poisoned.done = 0;
    fast->SetInputHook(poisonDoneInput, &poisoned);
    const bool decoded = fast->Decode(poisoned.bytes.data(), static_cast<std::int32_t>(size));
    const bool decodedPlain = plain->Decode(data, static_cast<std::int32_t>(size));
    (void)fast->GetFailure();
    if (decoded != decodedPlain || fast->GetError() != plain->GetError() || fast->GetWidth() != plain->GetWidth() ||
        fast->GetHeight() != plain->GetHeight() || fast->GetComponentCount() != plain->GetComponentCount())
        __builtin_trap();
    if (!decoded) {
        if (fast->GetPixels() || plain->GetPixels())
            __builtin_trap();
        return 0;
    }
    const std::size_t bytes = std::size_t(fast->GetWidth()) * std::size_t(fast->GetHeight()) * 4;
    if (std::memcmp(fast->GetPixels(), plain->GetPixels(), bytes) != 0)
        __builtin_trap();
    return 0;
}
