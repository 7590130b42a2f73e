#include "import/image/ImageFile.hpp"

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
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

// The file's bytes the decoder has passed, given back to the system a whole
// page at a time (they read as zero afterwards; the decoder never reads them
// again). A big texture's file then shrinks as its picture grows: at 4096 x
// 4096 the peak is the 64 MB picture, not that plus the 3.4 MB file.
struct PassedInput {
    std::uintptr_t page;         // the system's page size, a power of two
    std::uintptr_t begin;        // the buffer's first byte
    std::uintptr_t releasedUpTo; // a page boundary: the buffer's whole pages below it are released
};

PassedInput passedInputOf(const std::vector<std::uint8_t>& buffer)
{
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
    return {page, begin, (begin + page - 1) & ~(page - 1)};
}

void releasePassedInput(void* context, std::int64_t doneBytes)
{
    auto& input = *static_cast<PassedInput*>(context);
    const std::uintptr_t done = (input.begin + static_cast<std::uintptr_t>(doneBytes)) & ~(input.page - 1);
    if (done > input.releasedUpTo) {
        madvise(reinterpret_cast<void*>(input.releasedUpTo), done - input.releasedUpTo, MADV_DONTNEED);
        input.releasedUpTo = done;
    }
}

// The decoder writes opaque 0xAARRGGBB words into a picture of its own, from
// std::malloc: the image takes it over (FreeImage releases it with std::free).
// The buffer's pages are released as the decoder passes them.
kzoImageFile decodeJpegFile(std::vector<std::uint8_t>& buffer, const std::string& fileName)
{
    // Decode takes a signed 32-bit size; a larger file would be read in part.
    if (buffer.size() > INT32_MAX)
        return refused(fileName + ": a JPEG file of 2 GiB or more is not read");

    const std::unique_ptr<kzoJpegDecoder> decoder(new (std::nothrow) kzoJpegDecoder());
    if (!decoder)
        return refused(fileName + ": out of memory for the JPEG decoder");
    PassedInput passed = passedInputOf(buffer);
    decoder->SetInputHook(releasePassedInput, &passed);
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
