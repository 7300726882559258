#include "core/selection_step.h"

#include "core/canvas.h"

namespace varnel {

SelectionStep::SelectionStep(Canvas& canvas, std::unique_ptr<Region> other)
    : m_canvas(canvas), m_other(std::move(other)) {}

void SelectionStep::Apply(ImageSurface&) { m_canvas.ExchangeSelection(m_other); }

}  // namespace varnel
