// The SSE2 kernels: every x86-64 processor runs them. Four 32-bit lanes per
// register; the inverse DCT is the shared pass of JpegIdctSteps.hpp with the
// lane type below, so every lane does what the scalar reference does.

#include "import/jpeg/JpegKernels.hpp"

#if defined(__SSE2__)

#include <emmintrin.h>
#include <utility>

#include "import/jpeg/JpegColour.hpp"
#include "import/jpeg/JpegIdctSteps.hpp"

namespace {

// Helpers inline into the kernels so that the lanes stay in registers.
#define KZO_INLINE inline __attribute__((always_inline))
#define KZO_UNROLL _Pragma("GCC unroll 16")

struct Lanes {
    __m128i v;
};

KZO_INLINE Lanes operator+(Lanes a, Lanes b) { return {_mm_add_epi32(a.v, b.v)}; }
KZO_INLINE Lanes operator-(Lanes a, Lanes b) { return {_mm_sub_epi32(a.v, b.v)}; }
KZO_INLINE Lanes operator|(Lanes a, Lanes b) { return {_mm_or_si128(a.v, b.v)}; }
KZO_INLINE Lanes operator+(Lanes a, std::uint32_t c) { return {_mm_add_epi32(a.v, _mm_set1_epi32(static_cast<int>(c)))}; }
KZO_INLINE Lanes operator<<(Lanes a, int bits) { return {_mm_slli_epi32(a.v, bits)}; }
KZO_INLINE Lanes kzoJpegSar(Lanes a, int bits) { return {_mm_srai_epi32(a.v, bits)}; }

// The low 32 bits of each product, as the scalar u32 multiply. SSE2 multiplies
// only lanes 0 and 2 (to 64 bits); lanes 1 and 3 take a second multiply and the
// low halves are put back in lane order.
KZO_INLINE Lanes operator*(std::uint32_t c, Lanes a)
{
    const __m128i k = _mm_set1_epi32(static_cast<int>(c));
    const __m128i even = _mm_mul_epu32(a.v, k);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a.v, 32), k);
    return {_mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                               _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)))};
}

// Where mask lanes are all ones, a; elsewhere b.
KZO_INLINE __m128i select(__m128i mask, __m128i a, __m128i b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }

KZO_INLINE void transpose4(Lanes& a, Lanes& b, Lanes& c, Lanes& d)
{
    const __m128i t0 = _mm_unpacklo_epi32(a.v, b.v);
    const __m128i t1 = _mm_unpacklo_epi32(c.v, d.v);
    const __m128i t2 = _mm_unpackhi_epi32(a.v, b.v);
    const __m128i t3 = _mm_unpackhi_epi32(c.v, d.v);
    a.v = _mm_unpacklo_epi64(t0, t1);
    b.v = _mm_unpackhi_epi64(t0, t1);
    c.v = _mm_unpacklo_epi64(t2, t3);
    d.v = _mm_unpackhi_epi64(t2, t3);
}

// An 8 x 8 block of 32-bit values: left[i] columns 0-3, right[i] columns 4-7 of row i.
struct Block {
    Lanes left[8], right[8];
};

// Rows become columns: four 4 x 4 transposes, the off-diagonal ones trading places.
KZO_INLINE void transpose(Block& b)
{
    Lanes* quarters[4] = {b.left, b.right, b.left + 4, b.right + 4};
    KZO_UNROLL
    for (Lanes* q : quarters)
        transpose4(q[0], q[1], q[2], q[3]);
    KZO_UNROLL
    for (int i = 0; i < 4; ++i)
        std::swap(b.right[i], b.left[4 + i]);
}

// The row pass on four rows, one per lane: in[j] holds coefficient j of each.
// A lane whose AC terms are zero (coefficient 4 counted after << 11) takes the
// DC-only shortcut, as kzoJpegIdctRow does.
KZO_INLINE void rowPass(const Lanes* in, Lanes* out)
{
    const __m128i flat = _mm_cmpeq_epi32(kzoJpegIdctAcTerms<false>(in).v, _mm_setzero_si128());
    Lanes sums[8];
    kzoJpegIdctPass<false>(in, sums);
    const __m128i dc = (in[0] << 3).v;
    KZO_UNROLL
    for (int j = 0; j < 8; ++j)
        out[j].v = select(flat, dc, kzoJpegSar(sums[j], 8).v);
}

// The column pass on four columns, one per lane: in[k] holds row k of each.
// Results are samples before clipping, (sum >> 14) + 128 or the DC-only value.
KZO_INLINE void columnPass(const Lanes* in, Lanes* out)
{
    const __m128i flat = _mm_cmpeq_epi32(kzoJpegIdctAcTerms<true>(in).v, _mm_setzero_si128());
    Lanes sums[8];
    kzoJpegIdctPass<true>(in, sums);
    const __m128i dc = (kzoJpegSar(in[0] + 32u, 6) + 128u).v;
    KZO_UNROLL
    for (int i = 0; i < 8; ++i)
        out[i].v = select(flat, dc, (kzoJpegSar(sums[i], 14) + 128u).v);
}

void idct(std::int32_t* block, std::uint8_t* out, std::ptrdiff_t stride)
{
    Block b;
    KZO_UNROLL
    for (int i = 0; i < 8; ++i) {
        b.left[i].v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
        b.right[i].v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i + 4));
    }
    transpose(b); // left: rows 0-3, right: rows 4-7, one row per lane
    rowPass(b.left, b.left);
    rowPass(b.right, b.right);
    transpose(b); // left: columns 0-3, right: columns 4-7, one column per lane
    columnPass(b.left, b.left);
    columnPass(b.right, b.right);
    // Saturating packs clip to 0..255 exactly as the reference's clamp.
    KZO_UNROLL
    for (int i = 0; i < 8; i += 2) {
        const __m128i upper = _mm_packs_epi32(b.left[i].v, b.right[i].v);
        const __m128i lower = _mm_packs_epi32(b.left[i + 1].v, b.right[i + 1].v);
        const __m128i bytes = _mm_packus_epi16(upper, lower);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i * stride), bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (i + 1) * stride), _mm_srli_si128(bytes, 8));
    }
    KZO_UNROLL
    for (int i = 0; i < 64; i += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), _mm_setzero_si128());
}

// Two 16-bit factors for _mm_madd_epi16 on (first, second) pairs.
KZO_INLINE __m128i factors(int first, int second)
{
    return _mm_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(second) << 16) | (static_cast<std::uint32_t>(first) & 0xFFFF)));
}

// ((terms) + 128) >> 8 of 8 pixels in 32-bit lanes, narrowed to 16 bits (they fit).
KZO_INLINE __m128i channel(__m128i low, __m128i high)
{
    const __m128i round = _mm_set1_epi32(128);
    return _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(low, round), 8), _mm_srai_epi32(_mm_add_epi32(high, round), 8));
}

KZO_INLINE __m128i clip(__m128i value) { return _mm_min_epi16(_mm_max_epi16(value, _mm_setzero_si128()), _mm_set1_epi16(255)); }

// Eight pixels at a time in 32-bit sums, as kzoJpegRed, kzoJpegGreen and
// kzoJpegBlue: (Y << 8) is Y x 256, each sum of products is one
// _mm_madd_epi16 on (sample, sample) pairs; nothing comes near 2^31.
void convertRow(const std::uint8_t* luma, const std::uint8_t* blue, const std::uint8_t* red, std::int32_t width,
                std::uint32_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i centre = _mm_set1_epi16(128);
    const __m128i redFactors = factors(256, 359), blueFactors = factors(256, 454);
    const __m128i greenBlue = factors(256, -88), greenRed = factors(-183, 0);
    const __m128i alpha = _mm_set1_epi16(static_cast<short>(0xFF00));
    std::int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i y = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + x)), zero);
        const __m128i cb = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(blue + x)), zero), centre);
        const __m128i cr = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(red + x)), zero), centre);
        const __m128i yCrLow = _mm_unpacklo_epi16(y, cr), yCrHigh = _mm_unpackhi_epi16(y, cr);
        const __m128i yCbLow = _mm_unpacklo_epi16(y, cb), yCbHigh = _mm_unpackhi_epi16(y, cb);
        const __m128i crLow = _mm_unpacklo_epi16(cr, cr), crHigh = _mm_unpackhi_epi16(cr, cr);
        const __m128i r = clip(channel(_mm_madd_epi16(yCrLow, redFactors), _mm_madd_epi16(yCrHigh, redFactors)));
        const __m128i g = clip(channel(_mm_add_epi32(_mm_madd_epi16(yCbLow, greenBlue), _mm_madd_epi16(crLow, greenRed)),
                                       _mm_add_epi32(_mm_madd_epi16(yCbHigh, greenBlue), _mm_madd_epi16(crHigh, greenRed))));
        const __m128i b = clip(channel(_mm_madd_epi16(yCbLow, blueFactors), _mm_madd_epi16(yCbHigh, blueFactors)));
        const __m128i blueGreen = _mm_or_si128(b, _mm_slli_epi16(g, 8));
        const __m128i redAlpha = _mm_or_si128(r, alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi16(blueGreen, redAlpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4), _mm_unpackhi_epi16(blueGreen, redAlpha));
    }
    for (; x < width; ++x)
        out[x] = kzoJpegPixel(luma[x], blue[x], red[x]);
}

void greyRow(const std::uint8_t* grey, std::int32_t width, std::uint32_t* out)
{
    const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
    std::int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + x));
        const __m128i pairs[2] = {_mm_unpacklo_epi8(g, g), _mm_unpackhi_epi8(g, g)};
        const __m128i withAlpha[2] = {_mm_unpacklo_epi8(g, opaque), _mm_unpackhi_epi8(g, opaque)};
        KZO_UNROLL
        for (int h = 0; h < 2; ++h) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 8 * h), _mm_unpacklo_epi16(pairs[h], withAlpha[h]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 8 * h + 4), _mm_unpackhi_epi16(pairs[h], withAlpha[h]));
        }
    }
    for (; x < width; ++x)
        out[x] = kzoJpegGreyPixel(grey[x]);
}

void doubleRow(const std::uint8_t* in, std::int32_t count, std::uint8_t* out)
{
    std::int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(v, v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(v, v));
    }
    for (; i < count; ++i)
        out[2 * i] = out[2 * i + 1] = in[i];
}

constexpr kzoJpegKernels sse2Kernels{idct, convertRow, greyRow, doubleRow};

} // namespace

const kzoJpegKernels* kzoJpegSse2Kernels() { return &sse2Kernels; }

#else

const kzoJpegKernels* kzoJpegSse2Kernels() { return nullptr; }

#endif
