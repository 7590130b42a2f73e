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
    if (decoder.GetError() == kzoJpegUnsupported)
        FatalError(fileName + ": a kind of JPEG file that is not read (" + decoder.GetFailure() + ")");
    FatalError(fileName + ": not a valid JPEG file (" + decoder.GetFailure() + ")");
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

    // The decoder's picture is already 0xAARRGGBB words from std::malloc: the
    // image takes it over (FreeImage releases it with std::free).
    image.width = static_cast<std::uint32_t>(decoder->GetWidth());
    image.height = static_cast<std::uint32_t>(decoder->GetHeight());
    image.pixels = decoder->TakePixels();
}
