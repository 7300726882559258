#include <cstdint>

// Kept apart from the other objects: the filter and picture plug-in headers both name an
// OpenConfig type, so no source sees both.
#include "filters/filter_host.h"
#include "macrolet/script_objects_p.h"
#include "platform/program_folder.h"

namespace varnel::script {

QObject* Filter::CreateParam() { return new FilterParam(m_context); }

int Filter::Execute(QObject* image, const QString& filterDll, const QString& filterName, QObject* param) {
  const Image* target = qobject_cast<Image*>(image);
  const FilterParam* values = qobject_cast<FilterParam*>(param);
  if (!target || !target->Surface() || !target->Surface()->Bits()) {
    m_context.ThrowFailure();
    return 0;
  }
  // Only a library of the filter folder, by its bare file name.
  if (filterDll.isEmpty() || filterDll.contains(QLatin1Char('/')) || filterDll.contains(QLatin1Char('\\')) ||
      filterDll.startsWith(QLatin1Char('.')))
    return 1;
  const std::string folder = m_context.services.filterFolder.empty() ? ProgramPath("Filter")
                                                                      : m_context.services.filterFolder;
  const FilterLibrary library(filterDll.toStdString(), ReadablePathFor(folder + "/" + filterDll.toStdString()));
  if (!library.IsLoaded()) return 1;
  ImageSurface& surface = *target->Surface();
  ImageDescriptor* descriptor = surface.Descriptor();
  // Filters test the handle field; an image with no bitmap of its own still shows one.
  void* const handle = descriptor->bitmap;
  if (!handle) descriptor->bitmap = reinterpret_cast<void*>(static_cast<uintptr_t>(0xFFFF));
  const bool ran = library.RunNamedEntry(filterName.toStdString(), surface, values ? values->values : std::vector<int32_t>{});
  descriptor->bitmap = handle;
  surface.DiscardBackups();
  // A filter reaches the pixel memory through the descriptor and could have moved it.
  m_context.SurfacesChanged();
  return ran ? 0 : 1;
}

}  // namespace varnel::script
