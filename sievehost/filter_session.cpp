#include "sievehost/filter_session.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "filters/filter_values.h"
#include "platform/code_page.h"
#include "platform/dynamic_library.h"

namespace varnel {
namespace {

// A library that never answers −1 must not keep the dialog listing for ever.
constexpr int32_t kMaxListed = 4096;

SievehostFilterRun* g_currentRun = nullptr;

}  // namespace

std::vector<SievehostTreeNode> SievehostFilterTree(const SievehostLibraryList& libraries) {
  std::vector<SievehostTreeNode> tree;
  for (const auto& library : libraries.Libraries()) {
    SievehostTreeNode node{library->FileName(), {}};
    for (int32_t index = 0; library->enumFilter != nullptr && index < kMaxListed; ++index) {
      char name[VARNEL_FILTER_NAME_SIZE] = {};
      int32_t result = -1;
      Guarded([&] { result = library->enumFilter(name, index); });
      if (result != 0) break;
      node.filters.push_back(FromCodePage932Buffer(name, sizeof name));
    }
    tree.push_back(std::move(node));
  }
  return tree;
}

std::vector<SievehostParameter> SievehostParameters(const SievehostLibrary& library, std::string_view filterName) {
  std::vector<SievehostParameter> parameters;
  if (library.enumParams == nullptr) return parameters;
  const std::string name = ToCodePage932(filterName);
  for (int32_t index = 0; index < kMaxListed; ++index) {
    char text[VARNEL_PARAM_NAME_SIZE] = {};
    SievehostParameter parameter;
    int32_t result = -1;
    Guarded([&] {
      result = library.enumParams(name.c_str(), text, &parameter.min, &parameter.max, &parameter.def, index);
    });
    if (result == -1) break;
    parameter.name = FromCodePage932Buffer(text, sizeof text);
    parameters.push_back(std::move(parameter));
  }
  return parameters;
}

std::string SievehostValueText(const SievehostLibrary& library, std::string_view filterName, int32_t index,
                               int32_t value) {
  if (library.paramToString == nullptr) return {};
  const std::string name = ToCodePage932(filterName);
  char text[VARNEL_VALUE_TEXT_SIZE] = {};
  Guarded([&] { library.paramToString(name.c_str(), index, text, value); });
  return FromCodePage932Buffer(text, sizeof text);
}

std::vector<int32_t> SievehostRunValues(const std::vector<SievehostParameter>& parameters,
                                        const std::vector<int32_t>& slotPositions) {
  const size_t count = std::min(parameters.size(), size_t{VARNEL_MAX_FILTER_VALUES});
  std::vector<int32_t> values(count);
  for (size_t i = 0; i < count; ++i) {
    const SievehostParameter& parameter = parameters[i];
    if (i < static_cast<size_t>(kSievehostSlots) && i < slotPositions.size()) {
      // A slider cannot leave its range; a library that lists min above max gets min.
      values[i] = std::max(parameter.min, std::min(slotPositions[i], parameter.max));
    } else {
      values[i] = parameter.def;
    }
  }
  return values;
}

std::string SievehostCopyParamText(std::string_view library, std::string_view filter,
                                   const std::vector<int32_t>& values) {
  std::string text = std::string(library) + ":" + std::string(filter) + ":";
  for (size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += ',';
    text += std::to_string(values[i]);
  }
  return text;
}

Size SievehostPreviewSize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return {0, 0};
  const int64_t w = width, h = height, side = kSievehostPreviewSide;
  const int64_t pw = w > h ? side : w * side / h;
  const int64_t ph = w > h ? h * side / w : side;
  if (pw <= 0 || ph <= 0) return {0, 0};
  return {static_cast<int32_t>(pw), static_cast<int32_t>(ph)};
}

bool SievehostPreview::Load(const ImageDescriptor& source) {
  m_loaded = false;
  const int32_t w = source.header.biWidth, h = source.header.biHeight;
  const Size size = source.rows != nullptr ? SievehostPreviewSize(w, h) : Size{0, 0};
  if (size.width <= 0 || size.height <= 0) return false;
  for (int32_t y = 0; y < size.height; ++y)
    if (source.rows[int64_t{y} * h / size.height] == nullptr) return false;
  if (m_surface.Create(size) != 0) return false;
  std::vector<int32_t> columns(static_cast<size_t>(size.width));
  for (int32_t x = 0; x < size.width; ++x)
    columns[static_cast<size_t>(x)] = static_cast<int32_t>(int64_t{x} * w / size.width);
  for (int32_t y = 0; y < size.height; ++y) {
    const auto* from = reinterpret_cast<const uint32_t*>(source.rows[int64_t{y} * h / size.height]);
    uint32_t* to = m_surface.Row(y);
    for (int32_t x = 0; x < size.width; ++x) to[x] = from[columns[static_cast<size_t>(x)]];
  }
  m_surface.DiscardBackups();
  m_loaded = true;
  return true;
}

bool SievehostPreview::Run(const SievehostLibrary& library, std::string_view filterName,
                           std::vector<int32_t> values) {
  if (library.execute == nullptr || !m_loaded) return false;
  m_surface.RevertUncommitted();
  m_surface.BackupAll(false, false);
  const std::string name = ToCodePage932(filterName);
  Guarded([&] {
    library.execute(name.c_str(), m_surface.Descriptor(), static_cast<int32_t>(values.size()),
                    FilterValues(values));
  });
  return true;
}

SievehostFilterRun::SievehostFilterRun(std::function<void(int32_t)> onPercent) : m_onPercent(std::move(onPercent)) {}

SievehostFilterRun::~SievehostFilterRun() {
  if (g_currentRun == this) g_currentRun = m_previous;
}

int32_t SievehostFilterRun::Progress(int32_t, int32_t percent) {
  SievehostFilterRun* run = g_currentRun;
  if (run == nullptr) return 0;
  if (run->m_onPercent) run->m_onPercent(std::clamp(percent, 0, 100));
  return run->m_abort ? -1 : 0;
}

bool SievehostFilterRun::Run(const SievehostLibrary& library, std::string_view filterName,
                             std::vector<int32_t> values, ImageDescriptor& head) {
  if (library.processFilter == nullptr && library.execute == nullptr) return false;
  m_running = true;
  m_previous = g_currentRun;
  g_currentRun = this;
  const std::string name = ToCodePage932(filterName);
  int32_t* data = FilterValues(values);
  const auto count = static_cast<int32_t>(values.size());
  Guarded([&] {
    if (library.processFilter != nullptr)
      library.processFilter(name.c_str(), &head, count, data, &SievehostFilterRun::Progress);
    else
      library.execute(name.c_str(), &head, count, data);
  });
  if (m_abort) {
    RevertSavedTiles(head);
    m_aborted = true;
  }
  g_currentRun = m_previous;
  m_previous = nullptr;
  m_running = false;
  return true;
}

void MarkWholeImageDirty(ImageDescriptor& head) {
  if (head.header.biWidth <= 0 || head.header.biHeight <= 0) return;
  head.dirtyLeft = 0;
  head.dirtyTop = 0;
  head.dirtyRight = head.header.biWidth - 1;
  head.dirtyBottom = head.header.biHeight - 1;
}

}  // namespace varnel
