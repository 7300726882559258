#pragma once
// The text tool's glyphs, drawn with Qt's fonts (Japanese through the system's font fallback)
// into an 8-bit coverage image: the rasteriser the text tool paints from.

#include "tools/text_tool.h"

namespace varnel {

// The settings' text as coverage, (0, 0) the top-left corner of the text block (see
// TextRasteriser). Horizontal writing: lines go down the block one line spacing apart.
// Vertical writing ("縦書き"): each line is a column, the first on the right, columns one line
// spacing apart; its characters are stacked one em apart, upright, with the punctuation and
// brackets in their vertical forms and the long vowel mark, waves and dashes turned a quarter
// clockwise. Without anti-aliasing every coverage is 0 or 255. Empty when the text draws
// nothing, or when its block would exceed 32767 pixels a side or 2^28 pixels in all.
CoverageMask RenderTextCoverage(const TextSettings& settings);

}  // namespace varnel
