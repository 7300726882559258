// Animorph.so: the exports of sdk/varnel_effect.h over the effects of effects.h. No exception
// leaves the library.

#include <cstring>
#include <string>

#include "animorph/effects.h"
#include "platform/code_page.h"
#include "sdk/varnel_effect.h"

#ifdef VARNEL_ANIMORPH_DIALOG
#include <QApplication>
#include <QInputDialog>
#include <QWidget>
#endif

namespace {

using varnel::animorph::kEnlarge;

// The percent of the enlargement, edited in place; false when the user cancelled.
bool EditPercent([[maybe_unused]] void* parent, [[maybe_unused]] VarnelEnlargeObject& object) {
#ifdef VARNEL_ANIMORPH_DIALOG
  // A host without a user interface (the command-line tool) has no application object.
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
  bool accepted = false;
  const int percent = QInputDialog::getInt(static_cast<QWidget*>(parent), QString::fromUtf8("拡大"),
                                           QString::fromUtf8("最終的な拡大率 (%)"), object.percent, 100, 10000, 10,
                                           &accepted);
  if (accepted) object.percent = percent;
  return accepted;
#else
  return false;
#endif
}

}  // namespace

extern "C" {

VARNEL_EFFECT_EXPORT int32_t GetEffectName(int32_t index, char* buffer) {
  try {
    const std::string_view name = varnel::animorph::EffectName(index);
    if (name.empty()) return -1;
    if (buffer) {
      const std::string text = varnel::ToCodePage932(name);
      std::memcpy(buffer, text.c_str(), text.size() + 1);
    }
    return 0;
  } catch (...) {
    return -1;
  }
}

VARNEL_EFFECT_EXPORT void* CreateEffectObject(int32_t type) {
  try {
    return varnel::animorph::CreateEffectObject(type);
  } catch (...) {
    return nullptr;
  }
}

VARNEL_EFFECT_EXPORT int32_t DeleteEffectObject(int32_t type, void* object) {
  varnel::animorph::DeleteEffectObject(type, object);
  return 0;
}

VARNEL_EFFECT_EXPORT int32_t OpenConfig(void* parent, int32_t type, void* object) {
  if (type != kEnlarge) return 0;
  auto* enlarge = static_cast<VarnelEnlargeObject*>(object);
  if (!enlarge || enlarge->version != 1) return -1;
  try {
    EditPercent(parent, *enlarge);
  } catch (...) {
  }
  return 0;
}

VARNEL_EFFECT_EXPORT int32_t GetEffectBufferSize(int32_t) { return 0; }

VARNEL_EFFECT_EXPORT int32_t ExecEffect(int32_t type, void* object, const VarnelBitmapInfoHeader* destinationHeader,
                                        void* destinationPixels, const VarnelBitmapInfoHeader* sourceHeader,
                                        const void* sourcePixels, int32_t k, int32_t n, int32_t* opacity) {
  try {
    return varnel::animorph::ExecEffect(type, object, destinationHeader, destinationPixels, sourceHeader, sourcePixels,
                                        k, n, opacity);
  } catch (...) {
    return -1;
  }
}

}  // extern "C"
