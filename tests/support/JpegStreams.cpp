#include "tests/support/JpegStreams.hpp"

#include <algorithm>

#include <gtest/gtest.h>

void BitWriter::put(std::uint32_t bits, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        accumulator = (accumulator << 1) | ((bits >> i) & 1);
        if (++filled == 8)
            emit();
    }
}

void BitWriter::pad()
{
    while (filled != 0)
        put(1, 1);
}

void BitWriter::marker(std::uint8_t code)
{
    pad();
    bytes.push_back(0xFF);
    bytes.push_back(code);
}

void BitWriter::emit()
{
    bytes.push_back(static_cast<std::uint8_t>(accumulator));
    if (accumulator == 0xFF)
        bytes.push_back(0x00);
    accumulator = 0;
    filled = 0;
}

std::vector<std::uint8_t> acSymbols()
{
    std::vector<std::uint8_t> symbols = {0x00, 0xF0};
    for (int run = 0; run < 16; ++run)
        for (int size = 1; size <= 10; ++size)
            symbols.push_back(static_cast<std::uint8_t>(run << 4 | size));
    symbols.push_back(0x10);
    // Runs of empty bands 2^r + r bits long, read by progressive scans only.
    for (int run = 2; run < 15; ++run)
        symbols.push_back(static_cast<std::uint8_t>(run << 4));
    return symbols;
}

int bitSize(std::int32_t v)
{
    int size = 0;
    for (std::uint32_t magnitude = static_cast<std::uint32_t>(v < 0 ? -v : v); magnitude; magnitude >>= 1)
        ++size;
    return size;
}

void putAmplitude(BitWriter& w, std::int32_t v, int size)
{
    if (size)
        w.put(static_cast<std::uint32_t>(v >= 0 ? v : v + (1 << size) - 1), size);
}

void putAcSymbol(BitWriter& w, std::uint8_t symbol)
{
    static const std::vector<std::uint8_t> symbols = acSymbols();
    for (std::size_t i = 0; i < symbols.size(); ++i)
        if (symbols[i] == symbol)
            return w.put(static_cast<std::uint32_t>(i), 8);
    ADD_FAILURE() << "no AC code for symbol " << int(symbol);
}

void putDc(BitWriter& w, std::int32_t difference)
{
    const int size = bitSize(difference);
    w.put(static_cast<std::uint32_t>(size), 4);
    putAmplitude(w, difference, size);
}

void putBlock(BitWriter& w, std::int32_t dcDifference, const std::vector<Ac>& ac)
{
    putDc(w, dcDifference);
    int last = 0;
    for (const Ac& c : ac) {
        int run = c.k - last - 1;
        for (; run > 15; run -= 16)
            putAcSymbol(w, 0xF0);
        const int size = bitSize(c.value);
        putAcSymbol(w, static_cast<std::uint8_t>(run << 4 | size));
        putAmplitude(w, c.value, size);
        last = c.k;
    }
    if (last < 63)
        putAcSymbol(w, 0x00);
}

JpegBuilder& JpegBuilder::segment(std::uint8_t marker, const JpegBytes& body)
{
    const std::size_t length = body.size() + 2;
    bytes.insert(bytes.end(), {0xFF, marker, std::uint8_t(length >> 8), std::uint8_t(length)});
    bytes.insert(bytes.end(), body.begin(), body.end());
    return *this;
}

JpegBuilder& JpegBuilder::quant(std::uint8_t table, std::uint8_t step)
{
    JpegBytes body{table};
    body.resize(65, step);
    return segment(0xDB, body);
}

JpegBuilder& JpegBuilder::frame(int width, int height, const std::vector<std::array<std::uint8_t, 3>>& components,
                                std::uint8_t precision, std::uint8_t marker)
{
    JpegBytes body{precision, std::uint8_t(height >> 8), std::uint8_t(height), std::uint8_t(width >> 8),
                   std::uint8_t(width), std::uint8_t(components.size())};
    for (const auto& c : components)
        body.insert(body.end(), c.begin(), c.end());
    return segment(marker, body);
}

JpegBuilder& JpegBuilder::tables()
{
    JpegBytes dc{0x00, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (std::uint8_t size = 0; size < 16; ++size)
        dc.push_back(size);
    const std::vector<std::uint8_t> symbols = acSymbols();
    JpegBytes ac{0x10, 0, 0, 0, 0, 0, 0, 0, std::uint8_t(symbols.size()), 0, 0, 0, 0, 0, 0, 0, 0};
    ac.insert(ac.end(), symbols.begin(), symbols.end());
    segment(0xC4, dc);
    return segment(0xC4, ac);
}

JpegBuilder& JpegBuilder::restartInterval(int mcus)
{
    return segment(0xDD, {std::uint8_t(mcus >> 8), std::uint8_t(mcus)});
}

JpegBuilder& JpegBuilder::scan(const std::vector<std::uint8_t>& ids, int first, int last, int high, int low)
{
    JpegBytes body{std::uint8_t(ids.size())};
    for (const std::uint8_t id : ids)
        body.insert(body.end(), {id, 0x00});
    body.insert(body.end(), {std::uint8_t(first), std::uint8_t(last), std::uint8_t(high << 4 | low)});
    return segment(0xDA, body);
}

JpegBuilder& JpegBuilder::raw(const JpegBytes& data)
{
    bytes.insert(bytes.end(), data.begin(), data.end());
    return *this;
}

JpegBuilder& JpegBuilder::end() { return raw({0xFF, 0xD9}); }

void rememberBlock(void* context, int component, int row, int column, std::int32_t* block)
{
    Seen seen{component, row, column, {}};
    std::copy(block, block + 64, seen.block.begin());
    static_cast<std::vector<Seen>*>(context)->push_back(seen);
}

KzoDecode decodeSeeing(const JpegBytes& file, std::vector<Seen>& seen)
{
    return kzoDecode(file, kzoJpegMaxPixels, rememberBlock, &seen);
}

bool contains(const JpegBytes& data, const JpegBytes& pattern)
{
    return std::search(data.begin(), data.end(), pattern.begin(), pattern.end()) != data.end();
}

JpegBytes withFillBytes(const JpegBytes& file, int count)
{
    JpegBytes out(file.begin(), file.begin() + 2);
    std::size_t at = 2;
    while (at + 1 < file.size() && file[at] == 0xFF) {
        const std::uint8_t code = file[at + 1];
        out.insert(out.end(), std::size_t(count), 0xFF);
        std::size_t next = at + 2;
        if (code != 0xD9 && next + 1 < file.size())
            next += std::size_t(file[next] << 8 | file[next + 1]);
        if (code == 0xDA) // entropy-coded data up to the next marker that is no stuffing or restart
            while (next + 1 < file.size() &&
                   !(file[next] == 0xFF && file[next + 1] != 0x00 && (file[next + 1] < 0xD0 || file[next + 1] > 0xD7)))
                ++next;
        next = std::min(next, file.size());
        out.insert(out.end(), file.begin() + std::ptrdiff_t(at), file.begin() + std::ptrdiff_t(next));
        at = next;
        if (code == 0xD9)
            break;
    }
    out.insert(out.end(), file.begin() + std::ptrdiff_t(at), file.end());
    return out;
}
