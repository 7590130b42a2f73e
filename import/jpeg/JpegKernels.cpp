#include "import/jpeg/JpegKernels.hpp"

#include <algorithm>

#include "import/jpeg/JpegColour.hpp"
#include "import/jpeg/JpegIdct.hpp"

namespace {

void idctScalar(std::int32_t* block, std::uint8_t* out, std::ptrdiff_t stride)
{
    kzoJpegIdct(block, out, stride);
    std::fill(block, block + 64, 0);
}

void convertRowScalar(const std::uint8_t* luma, const std::uint8_t* blue, const std::uint8_t* red,
                      std::int32_t width, std::uint32_t* out)
{
    for (std::int32_t x = 0; x < width; ++x)
        out[x] = kzoJpegPixel(luma[x], blue[x], red[x]);
}

void greyRowScalar(const std::uint8_t* grey, std::int32_t width, std::uint32_t* out)
{
    for (std::int32_t x = 0; x < width; ++x)
        out[x] = kzoJpegGreyPixel(grey[x]);
}

void doubleRowScalar(const std::uint8_t* in, std::int32_t count, std::uint8_t* out)
{
    for (std::int32_t i = 0; i < count; ++i)
        out[2 * i] = out[2 * i + 1] = in[i];
}

constexpr kzoJpegKernels scalarKernels{idctScalar, convertRowScalar, greyRowScalar, doubleRowScalar};

} // namespace

const kzoJpegKernels& kzoJpegScalarKernels() { return scalarKernels; }

bool kzoJpegKernelSetRuns(kzoJpegKernelSet set)
{
    switch (set) {
    case kzoJpegKernelSet::Scalar: return true;
    case kzoJpegKernelSet::Sse2: return kzoJpegSse2Kernels() != nullptr;
    case kzoJpegKernelSet::Avx2:
#if defined(__x86_64__) || defined(__i386__)
        return kzoJpegAvx2Kernels() != nullptr && __builtin_cpu_supports("avx2");
#else
        return false;
#endif
    }
    return false;
}

kzoJpegKernelSet kzoJpegBestKernelSet()
{
    if (kzoJpegKernelSetRuns(kzoJpegKernelSet::Avx2))
        return kzoJpegKernelSet::Avx2;
    if (kzoJpegKernelSetRuns(kzoJpegKernelSet::Sse2))
        return kzoJpegKernelSet::Sse2;
    return kzoJpegKernelSet::Scalar;
}

const kzoJpegKernels& kzoJpegKernelsOf(kzoJpegKernelSet set)
{
    if (!kzoJpegKernelSetRuns(set))
        return scalarKernels;
    switch (set) {
    case kzoJpegKernelSet::Sse2: return *kzoJpegSse2Kernels();
    case kzoJpegKernelSet::Avx2: return *kzoJpegAvx2Kernels();
    case kzoJpegKernelSet::Scalar: break;
    }
    return scalarKernels;
}
