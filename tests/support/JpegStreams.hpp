#pragma once
// Hand-made JPEG streams for the decoder's tests: entropy-coded bits with
// known code tables, segments one by one, and a block hook that keeps what the
// decoder saw.

#include <array>
#include <cstdint>
#include <vector>

#include "tests/support/JpegCompare.hpp"

using JpegBytes = std::vector<std::uint8_t>;

// Entropy-coded bytes, most significant bit first, FF stuffed with 00, padded
// with 1 bits before a marker.
class BitWriter {
public:
    void put(std::uint32_t bits, int count);
    void pad();
    void marker(std::uint8_t code);
    JpegBytes bytes;

private:
    void emit();
    std::uint32_t accumulator = 0;
    int filled = 0;
};

// The code tables of the hand-coded streams. DC: sizes 0 to 15, code = size in
// 4 bits (the whole code space). AC: EOB, ZRL, every run 0..15 with size 1..10,
// 0x10 (invalid in a sequential scan, a run of 2 + 1 bit empty bands in a
// progressive one), then 0x20..0xE0 (longer runs), code = position in that
// list in 8 bits (so EOB is 00000000 and ZRL 00000001).
std::vector<std::uint8_t> acSymbols();

int bitSize(std::int32_t v);
void putAmplitude(BitWriter& w, std::int32_t v, int size);
void putAcSymbol(BitWriter& w, std::uint8_t symbol);
// A DC difference: its size code, then its amplitude.
void putDc(BitWriter& w, std::int32_t difference);

struct Ac {
    int k; // zig-zag position, 1..63, increasing
    std::int32_t value;
};

// One sequential block: DC difference, AC terms, end of block unless k = 63 was coded.
void putBlock(BitWriter& w, std::int32_t dcDifference, const std::vector<Ac>& ac = {});

// Segment by segment, starting with SOI.
struct JpegBuilder {
    JpegBytes bytes{0xFF, 0xD8};

    JpegBuilder& segment(std::uint8_t marker, const JpegBytes& body);
    JpegBuilder& quant(std::uint8_t table, std::uint8_t step);
    // Components as (id, factors byte, quantization table); marker 0xC0
    // baseline, 0xC1 extended, 0xC2 progressive and so on.
    JpegBuilder& frame(int width, int height, const std::vector<std::array<std::uint8_t, 3>>& components,
                       std::uint8_t precision = 8, std::uint8_t marker = 0xC0);
    // The hand-coded tables above as DC table 0 and AC table 0.
    JpegBuilder& tables();
    JpegBuilder& restartInterval(int mcus);
    // A scan of the components, tables 0, coefficients first..last, bits high, low.
    JpegBuilder& scan(const std::vector<std::uint8_t>& ids, int first = 0, int last = 63, int high = 0, int low = 0);
    JpegBuilder& raw(const JpegBytes& data);
    JpegBuilder& end();
};

struct Seen {
    int component, row, column;
    std::array<std::int32_t, 64> block;
};

// A block hook: appends every block to the std::vector<Seen> given as context.
void rememberBlock(void* context, int component, int row, int column, std::int32_t* block);
KzoDecode decodeSeeing(const JpegBytes& file, std::vector<Seen>& seen);

bool contains(const JpegBytes& data, const JpegBytes& pattern);

// The file with count fill bytes (FF) before every marker after SOI that
// starts a segment, a scan or the end of the image (not inside scan data).
JpegBytes withFillBytes(const JpegBytes& file, int count);
