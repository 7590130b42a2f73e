// The AVX2 kernels, chosen at run time where the processor has AVX2. This unit
// alone is compiled with -mavx2, so it includes no header with inline code
// other than the intrinsics and the shared inverse DCT pass (instantiated here
// only with the lane type below): nothing compiled for AVX2 can be picked up by
// the rest of the program. Tails shorter than a vector go to the SSE2 kernels.

#include "import/jpeg/JpegKernels.hpp"

#if defined(__AVX2__)

#include <immintrin.h>

#include "import/jpeg/JpegIdctSteps.hpp"

namespace {

// Helpers inline into the kernels so that the lanes stay in registers.
#define KZO_INLINE inline __attribute__((always_inline))
#define KZO_UNROLL _Pragma("GCC unroll 16")

struct Lanes {
    __m256i v;
};

KZO_INLINE Lanes operator+(Lanes a, Lanes b) { return {_mm256_add_epi32(a.v, b.v)}; }
KZO_INLINE Lanes operator-(Lanes a, Lanes b) { return {_mm256_sub_epi32(a.v, b.v)}; }
KZO_INLINE Lanes operator|(Lanes a, Lanes b) { return {_mm256_or_si256(a.v, b.v)}; }
KZO_INLINE Lanes operator+(Lanes a, std::uint32_t c) { return {_mm256_add_epi32(a.v, _mm256_set1_epi32(static_cast<int>(c)))}; }
KZO_INLINE Lanes operator*(std::uint32_t c, Lanes a) { return {_mm256_mullo_epi32(a.v, _mm256_set1_epi32(static_cast<int>(c)))}; }
KZO_INLINE Lanes operator<<(Lanes a, int bits) { return {_mm256_slli_epi32(a.v, bits)}; }
KZO_INLINE Lanes kzoJpegSar(Lanes a, int bits) { return {_mm256_srai_epi32(a.v, bits)}; }

// r[i] lane j becomes r[j] lane i.
KZO_INLINE void transpose8(Lanes* r)
{
    __m256i t[8], u[8];
    KZO_UNROLL
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(r[i].v, r[i + 1].v);
        t[i + 1] = _mm256_unpackhi_epi32(r[i].v, r[i + 1].v);
    }
    KZO_UNROLL
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    KZO_UNROLL
    for (int i = 0; i < 4; ++i) {
        r[i].v = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
        r[i + 4].v = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
    }
}

// The row pass on all eight rows, one per lane: in[j] holds coefficient j of
// each. A lane whose AC terms are zero (coefficient 4 counted after << 11)
// takes the DC-only shortcut, as kzoJpegIdctRow does.
KZO_INLINE void rowPass(const Lanes* in, Lanes* out)
{
    const __m256i flat = _mm256_cmpeq_epi32(kzoJpegIdctAcTerms<false>(in).v, _mm256_setzero_si256());
    Lanes sums[8];
    kzoJpegIdctPass<false>(in, sums);
    const __m256i dc = (in[0] << 3).v;
    KZO_UNROLL
    for (int j = 0; j < 8; ++j)
        out[j].v = _mm256_blendv_epi8(kzoJpegSar(sums[j], 8).v, dc, flat);
}

// The column pass on all eight columns, one per lane: in[k] holds row k.
// Results are samples before clipping, (sum >> 14) + 128 or the DC-only value.
KZO_INLINE void columnPass(const Lanes* in, Lanes* out)
{
    const __m256i flat = _mm256_cmpeq_epi32(kzoJpegIdctAcTerms<true>(in).v, _mm256_setzero_si256());
    const __m256i dc = (kzoJpegSar(in[0] + 32u, 6) + 128u).v;
    if (_mm256_movemask_epi8(flat) == -1) {
        // Every column DC-only (rows 1 to 7 zero): the general sums would all be replaced.
        KZO_UNROLL
        for (int i = 0; i < 8; ++i)
            out[i].v = dc;
        return;
    }
    Lanes sums[8];
    kzoJpegIdctPass<true>(in, sums);
    KZO_UNROLL
    for (int i = 0; i < 8; ++i)
        out[i].v = _mm256_blendv_epi8((kzoJpegSar(sums[i], 14) + 128u).v, dc, flat);
}

KZO_INLINE void storeRows(__m128i rows, std::uint8_t* first, std::ptrdiff_t stride)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(first), rows);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(first + stride), _mm_unpackhi_epi64(rows, rows));
}

void idct(std::int32_t* block, std::uint8_t* out, std::ptrdiff_t stride)
{
    Lanes r[8];
    KZO_UNROLL
    for (int i = 0; i < 8; ++i)
        r[i].v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 8 * i));
    transpose8(r); // one row per lane
    rowPass(r, r);
    transpose8(r); // one column per lane
    columnPass(r, r);
    // Saturating packs clip to 0..255 exactly as the reference's clamp; the
    // packs work within 128-bit halves, the permutation puts each row's 8 bytes together.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    KZO_UNROLL
    for (int i = 0; i < 8; i += 4) {
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(r[i].v, r[i + 1].v),
                                                  _mm256_packs_epi32(r[i + 2].v, r[i + 3].v));
        const __m256i rows = _mm256_permutevar8x32_epi32(bytes, order);
        storeRows(_mm256_castsi256_si128(rows), out + i * stride, stride);
        storeRows(_mm256_extracti128_si256(rows, 1), out + (i + 2) * stride, stride);
    }
    KZO_UNROLL
    for (int i = 0; i < 64; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + i), _mm256_setzero_si256());
}

// Two 16-bit factors for _mm256_madd_epi16 on (first, second) pairs.
KZO_INLINE __m256i factors(int first, int second)
{
    return _mm256_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(second) << 16) | (static_cast<std::uint32_t>(first) & 0xFFFF)));
}

// ((terms) + 128) >> 8 in 32-bit lanes, narrowed to 16 bits (they fit) in pixel order.
KZO_INLINE __m256i channel(__m256i low, __m256i high)
{
    const __m256i round = _mm256_set1_epi32(128);
    return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(low, round), 8),
                              _mm256_srai_epi32(_mm256_add_epi32(high, round), 8));
}

KZO_INLINE __m256i clip(__m256i value) { return _mm256_min_epi16(_mm256_max_epi16(value, _mm256_setzero_si256()), _mm256_set1_epi16(255)); }

KZO_INLINE __m256i widen(const std::uint8_t* samples) { return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples))); }

// Pixels from 16 (low, high) 16-bit pairs whose unpacking left pixels 0-3 and
// 8-11 in `first`, 4-7 and 12-15 in `second`.
KZO_INLINE void storePixels(__m256i first, __m256i second, std::uint32_t* out)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(first, second, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 8), _mm256_permute2x128_si256(first, second, 0x31));
}

// Sixteen pixels at a time in 32-bit sums, as the SSE2 kernel and the scalar
// kzoJpegRed, kzoJpegGreen, kzoJpegBlue: (Y << 8) is Y x 256, each sum of
// products one _mm256_madd_epi16 on (sample, sample) pairs.
void convertRow(const std::uint8_t* luma, const std::uint8_t* blue, const std::uint8_t* red, std::int32_t width,
                std::uint32_t* out)
{
    const __m256i centre = _mm256_set1_epi16(128);
    const __m256i redFactors = factors(256, 359), blueFactors = factors(256, 454);
    const __m256i greenBlue = factors(256, -88), greenRed = factors(-183, 0);
    const __m256i alpha = _mm256_set1_epi16(static_cast<short>(0xFF00));
    std::int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i y = widen(luma + x);
        const __m256i cb = _mm256_sub_epi16(widen(blue + x), centre);
        const __m256i cr = _mm256_sub_epi16(widen(red + x), centre);
        const __m256i yCrLow = _mm256_unpacklo_epi16(y, cr), yCrHigh = _mm256_unpackhi_epi16(y, cr);
        const __m256i yCbLow = _mm256_unpacklo_epi16(y, cb), yCbHigh = _mm256_unpackhi_epi16(y, cb);
        const __m256i crLow = _mm256_unpacklo_epi16(cr, cr), crHigh = _mm256_unpackhi_epi16(cr, cr);
        const __m256i r = clip(channel(_mm256_madd_epi16(yCrLow, redFactors), _mm256_madd_epi16(yCrHigh, redFactors)));
        const __m256i g = clip(channel(_mm256_add_epi32(_mm256_madd_epi16(yCbLow, greenBlue), _mm256_madd_epi16(crLow, greenRed)),
                                       _mm256_add_epi32(_mm256_madd_epi16(yCbHigh, greenBlue), _mm256_madd_epi16(crHigh, greenRed))));
        const __m256i b = clip(channel(_mm256_madd_epi16(yCbLow, blueFactors), _mm256_madd_epi16(yCbHigh, blueFactors)));
        const __m256i blueGreen = _mm256_or_si256(b, _mm256_slli_epi16(g, 8));
        const __m256i redAlpha = _mm256_or_si256(r, alpha);
        storePixels(_mm256_unpacklo_epi16(blueGreen, redAlpha), _mm256_unpackhi_epi16(blueGreen, redAlpha), out + x);
    }
    kzoJpegSse2Kernels()->convertRow(luma + x, blue + x, red + x, width - x, out + x);
}

void greyRow(const std::uint8_t* grey, std::int32_t width, std::uint32_t* out)
{
    const __m256i alpha = _mm256_set1_epi16(static_cast<short>(0xFF00));
    std::int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i g = widen(grey + x);
        const __m256i twice = _mm256_or_si256(g, _mm256_slli_epi16(g, 8));
        const __m256i withAlpha = _mm256_or_si256(g, alpha);
        storePixels(_mm256_unpacklo_epi16(twice, withAlpha), _mm256_unpackhi_epi16(twice, withAlpha), out + x);
    }
    kzoJpegSse2Kernels()->greyRow(grey + x, width - x, out + x);
}

void doubleRow(const std::uint8_t* in, std::int32_t count, std::uint8_t* out)
{
    std::int32_t i = 0;
    for (; i + 32 <= count; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i low = _mm256_unpacklo_epi8(v, v), high = _mm256_unpackhi_epi8(v, v);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 32), _mm256_permute2x128_si256(low, high, 0x31));
    }
    kzoJpegSse2Kernels()->doubleRow(in + i, count - i, out + 2 * i);
}

constexpr kzoJpegKernels avx2Kernels{idct, convertRow, greyRow, doubleRow};

} // namespace

const kzoJpegKernels* kzoJpegAvx2Kernels() { return &avx2Kernels; }

#else

const kzoJpegKernels* kzoJpegAvx2Kernels() { return nullptr; }

#endif
