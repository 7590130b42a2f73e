#pragma once
// The inner loops of the decoder's fast path, in three sets that give the same
// bytes: scalar (the reference functions, for any machine), SSE2 (every x86-64)
// and AVX2 (chosen at run time where the processor has it). Tests run every set
// the machine can run against the reference on random inputs.

#include <cstddef>
#include <cstdint>

struct kzoJpegKernels {
    // The inverse DCT of one block of dequantised coefficients (natural order)
    // into 8 rows of 8 samples, the bytes of kzoJpegIdct. The block is left all
    // zero, ready for the next one.
    void (*idct)(std::int32_t* block, std::uint8_t* out, std::ptrdiff_t stride);
    // width pixels 0xAARRGGBB (alpha 0xFF) from rows of Y, Cb and Cr samples,
    // converted as kzoJpegRed, kzoJpegGreen and kzoJpegBlue do.
    void (*convertRow)(const std::uint8_t* luma, const std::uint8_t* blue, const std::uint8_t* red,
                       std::int32_t width, std::uint32_t* out);
    // width grey samples into pixels with R = G = B = the sample, alpha 0xFF.
    void (*greyRow)(const std::uint8_t* grey, std::int32_t width, std::uint32_t* out);
    // Each of count samples twice: out[2i] = out[2i + 1] = in[i] (4:2:x chroma).
    void (*doubleRow)(const std::uint8_t* in, std::int32_t count, std::uint8_t* out);
};

enum class kzoJpegKernelSet { Scalar, Sse2, Avx2 };

// Whether this build and this processor can run the set.
bool kzoJpegKernelSetRuns(kzoJpegKernelSet set);
// AVX2 where it runs, else SSE2 where it runs, else scalar.
kzoJpegKernelSet kzoJpegBestKernelSet();
// The set's functions; a set that does not run gives the scalar ones.
const kzoJpegKernels& kzoJpegKernelsOf(kzoJpegKernelSet set);

// The sets themselves, each defined in its own unit (null where the build has none).
const kzoJpegKernels& kzoJpegScalarKernels();
const kzoJpegKernels* kzoJpegSse2Kernels();
const kzoJpegKernels* kzoJpegAvx2Kernels();
