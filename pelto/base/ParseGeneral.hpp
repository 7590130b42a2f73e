#pragma once
// The general forms of ParseInt and ParseFloat: one pass of the repair pattern
// over any text. ParseInt and ParseFloat take a shorter road for the plain
// numbers model files are made of and fall back on these for everything else;
// tests hold the two to the same bits on random texts.

#include <cstdint>
#include <string_view>

std::int32_t peltoParseIntGeneral(std::string_view text);
float peltoParseFloatGeneral(std::string_view text);
