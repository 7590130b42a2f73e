#pragma once
// The encodings a scene needs. The converter's fixed settings (fixed point,
// 2-byte indices, 8-bit texture coordinates, Z factor -1) are kept whenever the
// scene survives them; each one is widened only as far as the data needs, since
// a value that does not fit would be stored with its low bits only.

#include "fileio/FileExport.hpp"
#include "fileio/SceneTables.hpp"

// For the scene as the tables hold it (every z times tables.zFactor, which the
// settings keep):
// - texture mode: 8-bit when every quantised coordinate round(u x (W - 1)),
//   round(v x (H - 1)) lies in 0..255, else 16-bit when all lie in 0..65535,
//   else float (W, H: the texture of each object's material; float when that
//   material has no texture, whose size the steps would need);
// - index size: 4-byte when an object has more than 65536 distinct positions
//   or distinct texture coordinates;
// - number format: Single when a stored position coordinate, or a texture
//   coordinate stored as a number, rounds (x 4096) outside -32768..32767.
kzoExportSettings kzoChooseExportSettings(const kzoScene& scene, const kzoSceneTables& tables);
