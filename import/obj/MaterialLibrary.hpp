#pragma once
// Wavefront material libraries (.mtl), as much of them as a converter of one
// material uses: each "newmtl" material's diffuse colour ("Kd") and diffuse
// texture ("map_Kd"). Every other statement is skipped, and so is a value that
// cannot be read (the material then lacks it): reading a library never fails.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct kzoMtlMaterial {
    std::string name;       // after "newmtl", blanks at either end removed
    std::uint64_t line = 0; // of its newmtl statement
    // "Kd r g b" ("Kd r" is grey; two values are not read) as 0xFFRRGGBB: each value (ParseFloat; NaN
    // as 0) clamped to 0..1, times 255, rounded to nearest. The spectral and
    // CIE XYZ forms are not read.
    bool hasColour = false;
    std::uint32_t colour = 0xFF808080;
    // "map_Kd [options] file": the rest of the line after the options (-blendu,
    // -blendv, -bm, -boost, -cc, -clamp, -colorspace, -imfchan, -texres, -type
    // with one value; -mm with two; -o, -s, -t with one to three numbers),
    // blanks at either end removed; a file name may hold spaces. "" when the
    // statement names no file. textureLine is 0 when there is no map_Kd.
    std::string texture;
    std::uint64_t textureLine = 0;
};

// Lines end at LF, CR LF or a lone CR. Keywords are matched in any case and
// may be indented by blanks (spaces and tabs); "#" starts a comment line. A
// statement before the first newmtl, or repeated within a material, is
// skipped (the first Kd and map_Kd count).
std::vector<kzoMtlMaterial> kzoParseMaterialLibrary(std::string_view text);

// The first material of materials called name, or null.
const kzoMtlMaterial* kzoFindMtlMaterial(const std::vector<kzoMtlMaterial>& materials, std::string_view name);
