#include "import/image/ImageFile.hpp"

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "import/jpeg/Jpeg.hpp"
#include "import/png/Png.hpp"
#include "pelto/base/Log.hpp"

namespace {

kzoImageFile loaded(const peltoImage& image)
{
    return {kzoImageFileStatus::Loaded, image, {}, 0};
}

kzoImageFile refused(std::string message)
{
    return {kzoImageFileStatus::Refused, {}, std::move(message), 0};
}

std::string jpegRefusal(const std::string& fileName, const kzoJpegDecoder& decoder)
{
    if (decoder.GetError() == kzoJpegOutOfMemory)
        return fileName + ": out of memory while decoding (" + decoder.GetFailure() + ")";
    if (decoder.GetError() == kzoJpegUnsupported)
        return fileName + ": a kind of JPEG file that is not read (" + decoder.GetFailure() + ")";
    return fileName + ": not a valid JPEG file (" + decoder.GetFailure() + ")";
}

// The decoder writes opaque 0xAARRGGBB words into a picture of its own, from
// std::malloc: the image takes it over (FreeImage releases it with std::free).
kzoImageFile decodeJpegFile(const std::vector<std::uint8_t>& buffer, const std::string& fileName)
{
    // Decode takes a signed 32-bit size; a larger file would be read in part.
    if (buffer.size() > INT32_MAX)
        return refused(fileName + ": a JPEG file of 2 GiB or more is not read");

    const std::unique_ptr<kzoJpegDecoder> decoder(new (std::nothrow) kzoJpegDecoder());
    if (!decoder)
        return refused(fileName + ": out of memory for the JPEG decoder");
    if (!decoder->Decode(buffer.data(), static_cast<std::int32_t>(buffer.size())))
        return refused(jpegRefusal(fileName, *decoder));
    peltoImage image;
    image.width = static_cast<std::uint32_t>(decoder->GetWidth());
    image.height = static_cast<std::uint32_t>(decoder->GetHeight());
    image.pixels = decoder->TakePixels();
    return loaded(image);
}

kzoImageFile decodePngFile(const std::vector<std::uint8_t>& buffer, const std::string& fileName)
{
    const kzoPngResult png = kzoDecodePng(buffer);
    if (!png.failure.empty())
        return refused(peltoPathTail(fileName) + ": " + png.failure);
    return loaded(png.image);
}

} // namespace

kzoImageFile kzoReadImageFile(const std::string& fileName)
{
    std::vector<std::uint8_t> buffer;
    const peltoFileRead read = peltoTryReadWholeFile(fileName, buffer);
    switch (read.outcome) {
    case peltoReadOutcome::Missing:
        return {kzoImageFileStatus::Unreadable, {}, peltoPathTail(fileName) + ": no such file", 0};
    case peltoReadOutcome::Short:
        return {kzoImageFileStatus::Unreadable, {}, peltoPathTail(fileName) + ": read short (the file changed meanwhile)", 0};
    case peltoReadOutcome::Failed:
        return {kzoImageFileStatus::InputOutput, {}, peltoPathTail(fileName) + ": " + std::strerror(read.errorNumber),
                read.errorNumber};
    case peltoReadOutcome::Read:
        break;
    }
    if (kzoIsPng(buffer))
        return decodePngFile(buffer, fileName);
    return decodeJpegFile(buffer, fileName);
}

peltoFailure kzoImageFileFailure(const kzoImageFile& file, const std::string& fileName)
{
    if (file.status == kzoImageFileStatus::InputOutput)
        return peltoIoFailure(fileName, file.errorNumber);
    peltoFailure failure;
    failure.message = file.status == kzoImageFileStatus::Unreadable ? "Error loading file!" : file.message;
    failure.file = fileName;
    return failure;
}

void LoadImage(peltoImage& image, const std::string& name)
{
    const std::string fileName = peltoShortString(name);
    const kzoImageFile file = kzoReadImageFile(fileName);
    if (file.status != kzoImageFileStatus::Loaded)
        peltoStopWith(kzoImageFileFailure(file, fileName));
    image = file.image;
}
