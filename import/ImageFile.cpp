#include <climits>
#include <memory>
#include <new>
#include <vector>

#include "import/Jpeg.hpp"
#include "pelto/Image.hpp"
#include "pelto/Log.hpp"

namespace {

[[noreturn]] void refuse(const std::string& fileName, const kzoJpegDecoder& decoder)
{
    if (decoder.GetError() == kzoJpegOutOfMemory)
        FatalError(fileName + ": out of memory while decoding (" + decoder.GetFailure() + ")");
    FatalError(fileName + ": only baseline JPEG files are read (" + decoder.GetFailure() + ")");
}

} // namespace

void LoadImage(peltoImage& image, const std::string& name)
{
    const std::string fileName = ShortString(name);
    std::vector<std::uint8_t> buffer;
    if (!ReadWholeFile(fileName, buffer))
        FatalError("Error loading file!");
    // Decode takes a signed 32-bit size; a larger file would be read in part.
    if (buffer.size() > INT32_MAX)
        FatalError(fileName + ": a JPEG file of 2 GiB or more is not read");

    // 512 KiB of Huffman lookups: on the heap, not the stack.
    const std::unique_ptr<kzoJpegDecoder> decoder(new (std::nothrow) kzoJpegDecoder());
    if (!decoder)
        FatalError(fileName + ": out of memory for the JPEG decoder");
    if (!decoder->Decode(buffer.data(), static_cast<std::int32_t>(buffer.size())))
        refuse(fileName, *decoder);
    buffer = {};

    AllocImage(image, static_cast<std::uint32_t>(decoder->GetWidth()),
               static_cast<std::uint32_t>(decoder->GetHeight()));
    const std::size_t count = std::size_t{image.width} * image.height;
    const std::uint8_t* source = decoder->GetImage();
    if (decoder->GetComponentCount() == 3) {
        for (std::size_t i = 0; i < count; ++i, source += 3)
            image.pixels[i] = peltoRGBA(source[0], source[1], source[2], 0xFF);
    } else {
        for (std::size_t i = 0; i < count; ++i)
            image.pixels[i] = peltoRGBA(source[i], source[i], source[i], 0xFF);
    }
}
