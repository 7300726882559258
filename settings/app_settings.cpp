#include "settings/app_settings.h"

#include <cstdio>

#include "platform/program_folder.h"
#include "platform/record_field.h"

namespace varnel {
namespace {

// Every setting once, in the order the options dialog writes them; the rows written at
// shutdown come last, in their own order.
struct SettingKey {
  const char* section;
  const char* key;
  RecordField<AppSettings> field;
  bool atShutdown = false;
};

const SettingKey kKeys[] = {
    {kSettingsSection, "SHELLREGIST", &AppSettings::shellRegist},
    {kSettingsSection, "MUTEX", &AppSettings::mutex},
    {kSettingsSection, "NEWIMAGESIZE", &AppSettings::newImageSize},
    {kSettingsSection, "BRUSHCURSORON", &AppSettings::brushCursorOn},
    {kSettingsSection, "SHOWDRAGOBJECT", &AppSettings::showDragObject},
    {kSettingsSection, "RULERON", &AppSettings::rulerOn},
    {kSettingsSection, "REGIONVIEWMODE", &AppSettings::regionViewMode},
    {kSettingsSection, "MarginColor", &AppSettings::marginColor},
    {kSettingsSection, "SusieFolder", &AppSettings::susieFolder},
    {kSettingsSection, "DebugLevel", &AppSettings::debugLevel},
    {kSettingsSection, "BACKUPSAVE", &AppSettings::backupSave},
    {kSettingsSection, "ColorPalette.Visible", &AppSettings::colorPaletteVisible},
    {kSettingsSection, "FGCOLOR", &AppSettings::fgColor},
    {kSettingsSection, "BGCOLOR", &AppSettings::bgColor},
    {kGeneralSection, "BrushBrowser.Visible", &AppSettings::brushBrowserVisible},
    {kSettingsSection, "BRUSH_BROWSER_POS", &AppSettings::brushBrowserPos},
    {kSettingsSection, "BRUSH_BROWSER_SIZE", &AppSettings::brushBrowserSize},
    {kSettingsSection, "RULERTICINTEVAL", &AppSettings::rulerTicInterval},
    {kSettingsSection, "RULERCAPTIONINTERVAL", &AppSettings::rulerCaptionInterval},
    {kSettingsSection, "PALETTEXPOS", &AppSettings::paletteXPos},
    {kSettingsSection, "PALETTEYPOS", &AppSettings::paletteYPos},
    {kSettingsSection, "PALETTECELLCX", &AppSettings::paletteCellCX},
    {kSettingsSection, "PALETTECELLCY", &AppSettings::paletteCellCY},
    {kSettingsSection, "PALETTEMARGINCX", &AppSettings::paletteMarginCX},
    {kSettingsSection, "PALETTEMARGINCY", &AppSettings::paletteMarginCY},
    {kSettingsSection, "PALETTEFILE", &AppSettings::paletteFile},
    {kSettingsSection, "FILTERUIXPOS", &AppSettings::filterUIXPos},
    {kSettingsSection, "FILTERUIYPOS", &AppSettings::filterUIYPos},
    {kSettingsSection, "LOUPEUIXPOS", &AppSettings::loupeUIXPos},
    {kSettingsSection, "LOUPEUIYPOS", &AppSettings::loupeUIYPos},
    {kSettingsSection, "PLUIXPOS", &AppSettings::plUIXPos},
    {kSettingsSection, "PLUIYPOS", &AppSettings::plUIYPos},
    {kSettingsSection, "OBJECTPALUIXPOS", &AppSettings::objectPalUIXPos},
    {kSettingsSection, "OBJECTPALUIyPOS", &AppSettings::objectPalUIYPos},
    {kSettingsSection, "TEXTUIXPOS", &AppSettings::textUIXPos},
    {kSettingsSection, "TEXTUIYPOS", &AppSettings::textUIYPos},
    {kSettingsSection, "ISMAXIMIZED", &AppSettings::isMaximized, true},
    {kSettingsSection, "BRUSHSIZE", &AppSettings::brushSize, true},
    {kSettingsSection, "MainWindowCX", &AppSettings::mainWindowCX, true},
    {kSettingsSection, "MainWindowCY", &AppSettings::mainWindowCY, true},
    {kSettingsSection, "MainWindowX", &AppSettings::mainWindowX, true},
    {kSettingsSection, "MainWindowY", &AppSettings::mainWindowY, true},
};

void Write(Profile& profile, const SettingKey& row, const AppSettings& settings) {
  std::visit(FieldVisitor{
                 [&](const int32_t* value) { profile.WriteInt(row.section, row.key, *value); },
                 [&](const std::string* value) { profile.WriteString(row.section, row.key, *value); },
                 // A value the program never had is not written.
                 [&](const std::optional<int32_t>* value) {
                   if (*value) profile.WriteInt(row.section, row.key, **value);
                 },
                 [](const auto*) {},
                 [](std::monostate) {},
             },
             row.field.Bind(settings));
}

}  // namespace

AppSettings AppSettings::Load(const Profile& profile) {
  AppSettings s;
  s.paletteFile = ProgramPath("PAL.CD");
  // A missing key keeps the default; a missing optional stays absent.
  for (const SettingKey& row : kKeys) {
    std::visit(FieldVisitor{
                   [&](int32_t* value) { *value = profile.GetInt(row.section, row.key, *value); },
                   [&](std::string* value) { *value = profile.GetString(row.section, row.key, *value); },
                   [&](std::optional<int32_t>* value) {
                     *value = profile.Has(row.section, row.key)
                                  ? std::optional<int32_t>(profile.GetInt(row.section, row.key, 0))
                                  : std::nullopt;
                   },
                   [](auto*) {},
                   [](std::monostate) {},
               },
               row.field.Bind(s));
  }
  return s;
}

void AppSettings::Save(Profile& profile) const {
  for (const SettingKey& row : kKeys)
    if (!row.atShutdown) Write(profile, row, *this);
  SaveShutdown(profile);
}

void AppSettings::SaveShutdown(Profile& profile) const {
  for (const SettingKey& row : kKeys)
    if (row.atShutdown) Write(profile, row, *this);
}

std::string ButtonSettingKey(uint32_t button) {
  char key[32];
  std::snprintf(key, sizeof key, "button%08x", button);
  return key;
}

}  // namespace varnel
