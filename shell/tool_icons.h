#pragma once
// The tool icons: one SVG per canvas tool slot (the palette's 19 tools and the zoom tool), drawn
// on a 24 × 24 grid so they stay sharp at 24 and 48 pixels, and built into the program as
// resources under ":/icons".

#include <QIcon>
#include <QString>
#include <cstdint>

namespace varnel {

// The resource path of a tool slot's icon, e.g. ":/icons/tool-brush.svg" for slot 1; empty for a
// slot outside 0…19.
QString ToolIconPath(int32_t slot);

// The icon of a tool slot, drawn from its SVG at whatever size is asked for; a null icon for a
// slot outside 0…19.
QIcon ToolIcon(int32_t slot);

}  // namespace varnel
