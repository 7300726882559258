#pragma once
// CSaveFileDialogExt: the save dialog listing the caller's types and those of the save
// plug-ins, with a "設定" button that opens the options of the plug-in for the chosen type.

#include <string>
#include <vector>

#include "iogate/gateway_file_dialog.h"
#include "iogate/plugin_list.h"

class QPushButton;

namespace varnel::iogate {

inline constexpr const char* kSettingsButton = "設定";

// What the gateway offers plug-ins for their options: questions asked with Qt's dialogs.
const VarnelHostServices& PluginHostServices();

class CSaveFileDialogExt : public GatewayFileDialog {
  Q_OBJECT

 public:
  // defaultExtension ("*.VLB") is added to names typed without one while a type without a
  // fixed extension is chosen; a chosen type's own extension takes its place otherwise.
  // pictureInfo and pictureBits are the picture being saved (may be null; kept, not read).
  CSaveFileDialogExt(QWidget* parent, const PluginList& plugins, std::vector<FilterEntry> types,
                     const std::string& defaultExtension, uint32_t flags, const void* pictureInfo,
                     const void* pictureBits);

  QPushButton* SettingsButton() const { return m_settingsButton; }
  const void* PictureInfo() const { return m_pictureInfo; }
  const void* PictureBits() const { return m_pictureBits; }

  // The settings button's work: the save plug-in for the chosen type's extension, found as
  // WriteImage finds it, shows its options over this dialog. Nothing happens without one.
  void OpenSettings();

 private:
  void UseTypeExtension(int type);

  const PluginList& m_plugins;
  std::string m_defaultExtension;
  const void* m_pictureInfo;
  const void* m_pictureBits;
  QPushButton* m_settingsButton = nullptr;
};

}  // namespace varnel::iogate
