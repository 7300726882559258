#pragma once
// The image core: everything other folders use of core/.

#include "core/draw_context.h"
#include "core/geometry.h"
#include "core/surface.h"
#include "core/undo.h"
