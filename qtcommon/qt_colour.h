#pragma once
// Colour references and QColor into each other.

#include <QColor>

#include "platform/colour.h"

namespace varnel {

inline ColourRef ColourRefFromQColor(const QColor& colour) {
  return MakeColourRef(static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
                       static_cast<uint8_t>(colour.blue()));
}

inline QColor QColorFromColourRef(ColourRef colour) { return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)); }

}  // namespace varnel
