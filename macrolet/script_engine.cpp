#include "macrolet/script_engine.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "macrolet/script_objects_p.h"

namespace varnel {

ScriptLanguage LanguageForScriptFile(std::string_view fileName) {
  if (fileName.size() <= 3) return ScriptLanguage::kJScript;
  const std::string_view tail = fileName.substr(fileName.size() - 3);
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  const bool vbs = lower(tail[0]) == 'v' && lower(tail[1]) == 'b' && lower(tail[2]) == 's';
  return vbs ? ScriptLanguage::kVBScript : ScriptLanguage::kJScript;
}

namespace {

// QJSEngine needs an application object; programs without one (the command line) get a plain
// core application for the rest of the process.
void EnsureApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "varnel";
  static char* argv[] = {name, nullptr};
  static QCoreApplication* application = new QCoreApplication(argc, argv);
  (void)application;
}

}  // namespace

struct ScriptRun::State {
  std::mutex mutex;
  QJSEngine* engine = nullptr;  // while a run is in progress; LOCKING: mutex
  bool interruptRequested = false;
};

ScriptRun::ScriptRun() : m_state(new State) {}
ScriptRun::~ScriptRun() { delete m_state; }

void ScriptRun::Interrupt() {
  std::lock_guard lock(m_state->mutex);
  m_state->interruptRequested = true;
  if (m_state->engine) m_state->engine->setInterrupted(true);
}

ScriptOutcome ScriptRun::Run(std::string_view text, ScriptLanguage language, ImageSurface* image,
                             const ScriptServices& services) {
  ScriptOutcome outcome;
  if (language == ScriptLanguage::kVBScript) {
    outcome.description = kVbscriptUnavailable;
    return outcome;
  }
  EnsureApplication();
  QJSEngine engine;
  engine.installExtensions(QJSEngine::ConsoleExtension);
  script::Context context(engine, services);
  auto* document = new script::Document(context, image);
  QJSEngine::setObjectOwnership(document, QJSEngine::CppOwnership);
  engine.globalObject().setProperty(QStringLiteral("Document"), engine.newQObject(document));
  auto* creatable = new script::Creatable(context);
  QJSEngine::setObjectOwnership(creatable, QJSEngine::CppOwnership);
  engine.globalObject().setProperty(QStringLiteral("__creatable"), engine.newQObject(creatable));
  // A constructor that returns an object makes `new` yield that object.
  engine.evaluate(QStringLiteral("function ActiveXObject(name) { return __creatable.Create(name); }"));
  {
    std::lock_guard lock(m_state->mutex);
    m_state->engine = &engine;
    if (m_state->interruptRequested) engine.setInterrupted(true);
  }

  // The timeout's watcher: wakes at the deadline unless the run ends first.
  std::mutex timerMutex;
  std::condition_variable timerWake;
  bool finished = false;
  std::thread watcher;
  if (services.timeoutMs > 0) {
    watcher = std::thread([&] {
      std::unique_lock lock(timerMutex);
      if (!timerWake.wait_for(lock, std::chrono::milliseconds(services.timeoutMs), [&] { return finished; }))
        Interrupt();
    });
  }

  const QString source = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QStringList stack;
  const QJSValue result = engine.evaluate(source, QString(), 1, &stack);
  outcome.ran = true;

  if (watcher.joinable()) {
    {
      std::lock_guard lock(timerMutex);
      finished = true;
    }
    timerWake.notify_all();
    watcher.join();
  }
  {
    std::lock_guard lock(m_state->mutex);
    m_state->engine = nullptr;
    outcome.interrupted = engine.isInterrupted();
  }
  if (result.isError() || outcome.interrupted) {
    outcome.failed = true;
    outcome.line = result.property(QStringLiteral("lineNumber")).toInt();
    outcome.description = outcome.interrupted ? std::string("Interrupted") : result.toString().toStdString();
    if (outcome.line > 0) {
      const QStringList lines = source.split(QLatin1Char('\n'));
      if (outcome.line <= lines.size()) outcome.sourceLine = lines[outcome.line - 1].trimmed().toStdString();
    }
  }
  engine.collectGarbage();
  delete document;
  delete creatable;
  return outcome;
}

ScriptOutcome RunScript(std::string_view text, ScriptLanguage language, ImageSurface* image,
                        const ScriptServices& services) {
  ScriptRun run;
  return run.Run(text, language, image, services);
}

}  // namespace varnel
