#include "settings/app_settings.h"

#include <cstdio>

#include "platform/program_folder.h"

namespace varnel {
namespace {

std::optional<int32_t> OptionalInt(const Profile& profile, const char* section, const char* key) {
  if (!profile.Has(section, key)) return std::nullopt;
  return profile.GetInt(section, key, 0);
}

void WriteOptional(Profile& profile, const char* key, const std::optional<int32_t>& value) {
  if (value) profile.WriteInt(kSettingsSection, key, *value);
}

}  // namespace

AppSettings AppSettings::Load(const Profile& profile) {
  AppSettings s;
  auto get = [&](const char* key, int32_t def) { return profile.GetInt(kSettingsSection, key, def); };
  s.shellRegist = get("SHELLREGIST", s.shellRegist);
  s.mutex = get("MUTEX", s.mutex);
  s.newImageSize = get("NEWIMAGESIZE", s.newImageSize);
  s.brushCursorOn = get("BRUSHCURSORON", s.brushCursorOn);
  s.showDragObject = get("SHOWDRAGOBJECT", s.showDragObject);
  s.rulerOn = get("RULERON", s.rulerOn);
  s.regionViewMode = get("REGIONVIEWMODE", s.regionViewMode);
  s.marginColor = get("MarginColor", s.marginColor);
  s.isMaximized = get("ISMAXIMIZED", s.isMaximized);
  s.mainWindowCX = get("MainWindowCX", s.mainWindowCX);
  s.mainWindowCY = get("MainWindowCY", s.mainWindowCY);
  s.mainWindowX = get("MainWindowX", s.mainWindowX);
  s.mainWindowY = get("MainWindowY", s.mainWindowY);
  s.susieFolder = profile.GetString(kSettingsSection, "SusieFolder", "");
  s.debugLevel = get("DebugLevel", s.debugLevel);
  s.backupSave = get("BACKUPSAVE", s.backupSave);
  s.colorPaletteVisible = get("ColorPalette.Visible", s.colorPaletteVisible);
  s.brushSize = get("BRUSHSIZE", s.brushSize);
  s.fgColor = OptionalInt(profile, kSettingsSection, "FGCOLOR");
  s.bgColor = OptionalInt(profile, kSettingsSection, "BGCOLOR");
  s.brushBrowserVisible = profile.GetInt(kGeneralSection, "BrushBrowser.Visible", 0);
  s.brushBrowserPos = get("BRUSH_BROWSER_POS", s.brushBrowserPos);
  s.brushBrowserSize = get("BRUSH_BROWSER_SIZE", s.brushBrowserSize);
  s.rulerTicInterval = get("RULERTICINTEVAL", s.rulerTicInterval);
  s.rulerCaptionInterval = get("RULERCAPTIONINTERVAL", s.rulerCaptionInterval);
  s.paletteXPos = OptionalInt(profile, kSettingsSection, "PALETTEXPOS");
  s.paletteYPos = OptionalInt(profile, kSettingsSection, "PALETTEYPOS");
  s.paletteCellCX = get("PALETTECELLCX", s.paletteCellCX);
  s.paletteCellCY = get("PALETTECELLCY", s.paletteCellCY);
  s.paletteMarginCX = get("PALETTEMARGINCX", s.paletteMarginCX);
  s.paletteMarginCY = get("PALETTEMARGINCY", s.paletteMarginCY);
  s.paletteFile = profile.GetString(kSettingsSection, "PALETTEFILE", ProgramPath("PAL.CD"));
  s.filterUIXPos = get("FILTERUIXPOS", s.filterUIXPos);
  s.filterUIYPos = get("FILTERUIYPOS", s.filterUIYPos);
  s.loupeUIXPos = get("LOUPEUIXPOS", s.loupeUIXPos);
  s.loupeUIYPos = get("LOUPEUIYPOS", s.loupeUIYPos);
  s.plUIXPos = get("PLUIXPOS", s.plUIXPos);
  s.plUIYPos = get("PLUIYPOS", s.plUIYPos);
  s.objectPalUIXPos = OptionalInt(profile, kSettingsSection, "OBJECTPALUIXPOS");
  s.objectPalUIYPos = OptionalInt(profile, kSettingsSection, "OBJECTPALUIyPOS");
  s.textUIXPos = OptionalInt(profile, kSettingsSection, "TEXTUIXPOS");
  s.textUIYPos = OptionalInt(profile, kSettingsSection, "TEXTUIYPOS");
  return s;
}

void AppSettings::Save(Profile& profile) const {
  auto put = [&](const char* key, int32_t value) { profile.WriteInt(kSettingsSection, key, value); };
  put("SHELLREGIST", shellRegist);
  put("MUTEX", mutex);
  put("NEWIMAGESIZE", newImageSize);
  put("BRUSHCURSORON", brushCursorOn);
  put("SHOWDRAGOBJECT", showDragObject);
  put("RULERON", rulerOn);
  put("REGIONVIEWMODE", regionViewMode);
  put("MarginColor", marginColor);
  profile.WriteString(kSettingsSection, "SusieFolder", susieFolder);
  put("DebugLevel", debugLevel);
  put("BACKUPSAVE", backupSave);
  put("ColorPalette.Visible", colorPaletteVisible);
  WriteOptional(profile, "FGCOLOR", fgColor);
  WriteOptional(profile, "BGCOLOR", bgColor);
  profile.WriteInt(kGeneralSection, "BrushBrowser.Visible", brushBrowserVisible);
  put("BRUSH_BROWSER_POS", brushBrowserPos);
  put("BRUSH_BROWSER_SIZE", brushBrowserSize);
  put("RULERTICINTEVAL", rulerTicInterval);
  put("RULERCAPTIONINTERVAL", rulerCaptionInterval);
  WriteOptional(profile, "PALETTEXPOS", paletteXPos);
  WriteOptional(profile, "PALETTEYPOS", paletteYPos);
  put("PALETTECELLCX", paletteCellCX);
  put("PALETTECELLCY", paletteCellCY);
  put("PALETTEMARGINCX", paletteMarginCX);
  put("PALETTEMARGINCY", paletteMarginCY);
  profile.WriteString(kSettingsSection, "PALETTEFILE", paletteFile);
  put("FILTERUIXPOS", filterUIXPos);
  put("FILTERUIYPOS", filterUIYPos);
  put("LOUPEUIXPOS", loupeUIXPos);
  put("LOUPEUIYPOS", loupeUIYPos);
  put("PLUIXPOS", plUIXPos);
  put("PLUIYPOS", plUIYPos);
  WriteOptional(profile, "OBJECTPALUIXPOS", objectPalUIXPos);
  WriteOptional(profile, "OBJECTPALUIyPOS", objectPalUIYPos);
  WriteOptional(profile, "TEXTUIXPOS", textUIXPos);
  WriteOptional(profile, "TEXTUIYPOS", textUIYPos);
  SaveShutdown(profile);
}

void AppSettings::SaveShutdown(Profile& profile) const {
  auto put = [&](const char* key, int32_t value) { profile.WriteInt(kSettingsSection, key, value); };
  put("ISMAXIMIZED", isMaximized);
  put("BRUSHSIZE", brushSize);
  put("MainWindowCX", mainWindowCX);
  put("MainWindowCY", mainWindowCY);
  put("MainWindowX", mainWindowX);
  put("MainWindowY", mainWindowY);
}

std::string ButtonSettingKey(uint32_t button) {
  char key[32];
  std::snprintf(key, sizeof key, "button%08x", button);
  return key;
}

}  // namespace varnel
