#pragma once
// Replacing a file so that it is never seen half-written: the bytes go to a
// temporary file beside it, which is renamed over it only once complete.

#include <cstdint>
#include <span>
#include <string>

// Writes bytes as fileName. The temporary file "fileName.tmp<pid>-<n>" is
// created in fileName's directory (rename is atomic only within one file
// system), flushed to disk, then renamed over fileName. On any failure the
// temporary file is removed, a previous fileName is left as it was, and the
// program stops through peltoIoError naming fileName.
void peltoWriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes);
