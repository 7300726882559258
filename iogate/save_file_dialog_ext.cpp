#include "iogate/save_file_dialog_ext.h"

#include <QGridLayout>
#include <QInputDialog>
#include <algorithm>
#include <QPushButton>

namespace varnel::iogate {
namespace {

int AskInteger(void* window, const char* title, const char* label, int minimum, int maximum, int* value) {
  if (value == nullptr || minimum > maximum) return 0;
  bool ok = false;
  const int chosen = QInputDialog::getInt(static_cast<QWidget*>(window), QString::fromUtf8(title ? title : ""),
                                          QString::fromUtf8(label ? label : ""), std::clamp(*value, minimum, maximum),
                                          minimum, maximum, 1, &ok);
  if (!ok) return 0;
  *value = chosen;
  return 1;
}

}  // namespace

const VarnelHostServices& PluginHostServices() {
  static const VarnelHostServices services{sizeof(VarnelHostServices), &AskInteger};
  return services;
}

CSaveFileDialogExt::CSaveFileDialogExt(QWidget* parent, const PluginList& plugins, std::vector<FilterEntry> types,
                                       const std::string& defaultExtension, uint32_t flags, const void* pictureInfo,
                                       const void* pictureBits)
    : GatewayFileDialog(parent, std::move(types)),
      m_plugins(plugins),
      m_defaultExtension(BareExtension(defaultExtension)),
      m_pictureInfo(pictureInfo),
      m_pictureBits(pictureBits) {
  setObjectName("CSaveFileDialogExt");
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setOption(QFileDialog::DontConfirmOverwrite, (flags & 0x2) == 0);

  m_settingsButton = new QPushButton(QString::fromUtf8(kSettingsButton), this);
  m_settingsButton->setObjectName("settingsButton");
  m_settingsButton->setAutoDefault(false);
  if (QGridLayout* grid = Grid()) grid->addWidget(m_settingsButton, grid->rowCount(), grid->columnCount() - 1);

  connect(m_settingsButton, &QPushButton::clicked, this, [this] { Guarded([this] { OpenSettings(); }); });
  connect(this, &QFileDialog::filterSelected, this, [this] { UseTypeExtension(SelectedType()); });
  UseTypeExtension(Types().empty() ? -1 : 0);
}

void CSaveFileDialogExt::OpenSettings() {
  const int type = SelectedType();
  if (type < 0) return;
  PicturePlugin* plugin = m_plugins.FindSaver(PatternExtension(Types()[static_cast<size_t>(type)].patterns));
  if (plugin == nullptr || plugin->openConfig == nullptr) return;
  // Plug-ins without a toolkit of their own ask their questions through the gateway.
  if (plugin->setHostServices != nullptr) plugin->setHostServices(&PluginHostServices());
  plugin->openConfig(static_cast<QWidget*>(this));
}

void CSaveFileDialogExt::UseTypeExtension(int type) {
  std::string extension = type >= 0 ? PatternExtension(Types()[static_cast<size_t>(type)].patterns) : "";
  if (extension.empty()) extension = m_defaultExtension;
  setDefaultSuffix(QString::fromStdString(extension));
}

}  // namespace varnel::iogate
