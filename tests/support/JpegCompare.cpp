#include "tests/support/JpegCompare.hpp"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "import/jpeg/JpegColour.hpp"
#include "tests/support/Scratch.hpp"

KzoDecode kzoDecode(const std::vector<std::uint8_t>& file, std::int64_t maxPixels, kzoJpegBlockHook hook,
                    void* hookContext, kzoJpegPath path, kzoJpegKernelSet kernels)
{
    KzoDecode result;
    const auto decoder = std::make_unique<kzoJpegDecoder>(maxPixels, path, kernels);
    decoder->SetBlockHook(hook, hookContext);
    result.ok = decoder->Decode(file.data(), static_cast<std::int32_t>(file.size()));
    result.progressive = decoder->IsProgressive();
    if (!result.ok) {
        result.failure = decoder->GetFailure();
        if (decoder->GetPixels())
            result.failure += " (and a picture was kept)";
        return result;
    }
    // Back to R G B (or grey) bytes; every pixel must be opaque, and grey.
    ReferenceImage& image = result.image;
    image.width = decoder->GetWidth();
    image.height = decoder->GetHeight();
    image.components = decoder->GetComponentCount();
    const std::size_t count = std::size_t(image.width) * image.height;
    const std::uint32_t* pixels = decoder->GetPixels();
    image.pixels.reserve(count * std::size_t(image.components));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const std::uint8_t r = std::uint8_t(p >> 16), g = std::uint8_t(p >> 8), b = std::uint8_t(p);
        const bool grey = image.components == 1;
        if ((p >> 24) != 0xFF || (grey && (r != g || g != b))) {
            result.ok = false;
            result.failure = "pixel " + std::to_string(i) + " is not opaque" + (grey ? " grey" : "");
            return result;
        }
        if (grey)
            image.pixels.push_back(b);
        else
            image.pixels.insert(image.pixels.end(), {r, g, b});
    }
    return result;
}

std::vector<ChannelDifference> pictureDifference(const ReferenceImage& a, const ReferenceImage& b)
{
    if (a.width != b.width || a.height != b.height || a.components != b.components ||
        a.pixels.size() != b.pixels.size() || a.components <= 0)
        return {};
    std::vector<ChannelDifference> result(static_cast<std::size_t>(a.components));
    std::vector<std::int64_t> sums(result.size(), 0);
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const std::size_t channel = i % result.size();
        const int d = std::abs(int(a.pixels[i]) - int(b.pixels[i]));
        result[channel].maximum = std::max(result[channel].maximum, d);
        sums[channel] += d;
    }
    const double count = double(a.pixels.size() / result.size());
    for (std::size_t c = 0; c < result.size(); ++c)
        result[c].mean = double(sums[c]) / count;
    return result;
}

bool withinBounds(const std::vector<ChannelDifference>& difference)
{
    if (difference.empty())
        return false;
    for (const ChannelDifference& d : difference)
        if (d.maximum > kzoMaxChannelDifference || d.mean > kzoMeanChannelDifference)
            return false;
    return true;
}

std::string describe(const std::vector<ChannelDifference>& difference)
{
    if (difference.empty())
        return "pictures differ in size or components";
    std::ostringstream text;
    for (std::size_t c = 0; c < difference.size(); ++c)
        text << (c ? ", " : "") << "channel " << c << ": max " << difference[c].maximum << " mean "
             << difference[c].mean;
    return text.str();
}

std::string sharedPath(const std::string& relativePath) { return std::string(KZO_SHARED_DIR) + "/" + relativePath; }

std::vector<std::uint8_t> sharedFile(const std::string& relativePath) { return readFile(sharedPath(relativePath)); }

namespace {

struct SeenBlock {
    int component, row, column;
    std::vector<std::int32_t> values;
};

void collectBlock(void* context, int component, int row, int column, std::int32_t* block)
{
    static_cast<std::vector<SeenBlock>*>(context)->push_back({component, row, column, {block, block + 64}});
}

} // namespace

std::string coefficientMismatch(const std::vector<std::uint8_t>& file)
{
    std::vector<SeenBlock> seen;
    const KzoDecode ours = kzoDecode(file, kzoJpegMaxPixels, collectBlock, &seen);
    if (!ours.ok)
        return "our decoder refused the file: " + ours.failure;
    std::vector<ReferenceCoefficients> reference;
    std::string error;
    if (!referenceCoefficients(file, reference, error))
        return "the reference refused the file: " + error;

    std::vector<std::vector<bool>> covered(reference.size());
    for (std::size_t c = 0; c < reference.size(); ++c)
        covered[c].assign(std::size_t(reference[c].rows) * reference[c].columns, false);
    std::ostringstream text;
    for (const SeenBlock& block : seen) {
        const auto c = static_cast<std::size_t>(block.component);
        const ReferenceCoefficients& ref = reference.at(c);
        if (block.row >= ref.rows || block.column >= ref.columns) {
            text << "component " << c << " block (" << block.row << ", " << block.column
                 << ") lies outside the reference's " << ref.rows << " x " << ref.columns << " blocks";
            return text.str();
        }
        const std::size_t index = std::size_t(block.row) * ref.columns + block.column;
        covered[c][index] = true;
        for (int i = 0; i < 64; ++i) {
            if (block.values[std::size_t(i)] != ref.values[index * 64 + std::size_t(i)]) {
                text << "component " << c << " block (" << block.row << ", " << block.column << ") coefficient "
                     << i << ": ours " << block.values[std::size_t(i)] << ", reference "
                     << ref.values[index * 64 + std::size_t(i)];
                return text.str();
            }
        }
    }
    for (std::size_t c = 0; c < reference.size(); ++c)
        for (int row = 0; row < reference[c].codedRows; ++row)
            for (int column = 0; column < reference[c].codedColumns; ++column)
                if (!covered[c][std::size_t(row) * reference[c].columns + column]) {
                    text << "component " << c << " block (" << row << ", " << column << ") was never decoded";
                    return text.str();
                }
    return {};
}

bool referenceWithOurColour(const std::vector<std::uint8_t>& file, ReferenceImage& image, std::string& error)
{
    if (!referenceDecode(file, image, error, ReferenceOutput::YCbCr))
        return false;
    if (image.components == 3)
        for (std::size_t i = 0; i < image.pixels.size(); i += 3)
            kzoJpegYCbCrToRgb(image.pixels[i], image.pixels[i + 1], image.pixels[i + 2], &image.pixels[i]);
    return true;
}
