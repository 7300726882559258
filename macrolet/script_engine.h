#pragma once
// Runs a script over an image with the named object "Document" and the members of the script
// type library (IVNDocument, IVNImage, IVNColor, IVNUserInterface, IVNFilter, IVNFilterParam,
// IVNPoint, IVNPointArray). JScript runs on QJSEngine; VBScript has no engine here.
//
// Scripts never see addresses. The image the host hands over is known to the script by a
// handle number (Document.Image.Handle); SetImage and SetImageData accept only such a handle
// (the same number twice) or 0, 0 to detach, and fail with E_FAIL for any other number.
//
// Runs on the calling thread; the engine is made for one run and dropped afterwards, so no
// script state survives between runs.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/surface.h"

namespace varnel {

inline constexpr int32_t kScriptFailure = static_cast<int32_t>(0x80004005u);  // E_FAIL
inline constexpr const char* kVbscriptUnavailable = "VBScriptは使えません。JScriptで書いてください。";
inline constexpr const char* kScriptErrorTitle = "Error";
inline constexpr const char* kScriptErrorUnknown = "ScriptError";

enum class ScriptLanguage { kJScript, kVBScript };

// VBScript when the name is longer than three characters and ends in "VBS" in any case.
ScriptLanguage LanguageForScriptFile(std::string_view fileName);

// What the host does for the script's user-interface members. Unset members answer as a user
// who cancels: InputBox "", OpenFileDialog "", OpenColorDialog −1.
struct ScriptServices {
  std::function<void(const std::string& message)> messageBox;
  std::function<bool(const std::string& caption, std::string& text)> inputBox;
  std::function<bool(bool open, std::string& path)> fileDialog;
  std::function<bool(uint32_t& colourAbgr)> colourDialog;
  // The folder Execute of IVNFilter loads filter libraries from ("" = the program's Filter/).
  std::string filterFolder;
  // Stops the run after so many milliseconds (0: never); it then ends as interrupted.
  int32_t timeoutMs = 0;
};

struct ScriptOutcome {
  bool ran = false;          // the engine ran the text (false: no engine for the language)
  bool failed = false;       // an error the script did not catch ended it
  bool interrupted = false;  // stopped by the timeout or Interrupt()
  int32_t line = 0;          // of the error, 1-based; 0 when unknown
  std::string sourceLine;    // the text of that line
  std::string description;
};

class ScriptRun {
 public:
  ScriptRun();
  ~ScriptRun();
  ScriptRun(const ScriptRun&) = delete;
  ScriptRun& operator=(const ScriptRun&) = delete;

  // Runs text (UTF-8) with image as Document.Image (null: an empty image). The image's pixels
  // are changed in place; nothing is backed up here.
  ScriptOutcome Run(std::string_view text, ScriptLanguage language, ImageSurface* image,
                    const ScriptServices& services);
  // From any thread: ends the script running now (or the next one at its start).
  void Interrupt();

 private:
  struct State;
  State* m_state;
};

// The whole run in one call, as ExecScript and the command line use it.
ScriptOutcome RunScript(std::string_view text, ScriptLanguage language, ImageSurface* image,
                        const ScriptServices& services);

}  // namespace varnel
