#pragma once
// Image files into pictures: a file that starts with the PNG signature is read
// as PNG, any other as baseline JPEG. kzoReadImageFile reports failure as a
// value; LoadImage is the programs' stop around it.

#include <cstdint>
#include <string>

#include "pelto/base/Failure.hpp"
#include "pelto/base/Image.hpp"

enum class kzoImageFileStatus : std::uint8_t {
    Loaded,
    Unreadable,  // missing (links followed), or read short because it changed meanwhile
    InputOutput, // exists but cannot be opened or read; errorNumber says why
    Refused,     // read whole, but not a picture that decodes here
};

struct kzoImageFile {
    kzoImageFileStatus status = kzoImageFileStatus::Refused;
    // The picture when Loaded, owned by the caller (FreeImage); else no pixels.
    // Pixels 0xAARRGGBB, top row first; JPEG pictures are opaque and a grey one
    // gives R = G = B; PNG keeps its alpha.
    peltoImage image;
    // When not Loaded: what went wrong, naming the file, e.g.
    // "tex.png: the file ends early at byte 1184, in the data of chunk IDAT".
    std::string message;
    int errorNumber = 0; // errno of an InputOutput failure
};

// Reads and decodes the image file fileName (used as given).
kzoImageFile kzoReadImageFile(const std::string& fileName);

// A file that did not load as the failure value whose peltoStopWith ends a program
// exactly as LoadImage does: "Error loading file!" for a missing or short file,
// peltoIoError naming fileName for one that cannot be read, the decoder's message
// for one that does not decode.
peltoFailure kzoImageFileFailure(const kzoImageFile& file, const std::string& fileName);

// The system's image loader: kzoReadImageFile on the name cut to 255
// characters; a failure stops the program. A missing or short file stops with
// "Error loading file!", one that cannot be read with peltoIoError naming it, one
// that does not decode with FatalError and the message naming it.
void LoadImage(peltoImage& image, const std::string& fileName);
