#include "macrolet/macrolet_ctrl.h"

#include <QColorDialog>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>

#include "platform/program_folder.h"

namespace varnel {
namespace {

// Serialises the workers of ProcessScript across every control of the process.
std::mutex& WorkerMutex() {
  static std::mutex mutex;
  return mutex;
}

// How long a script run from text goes on before its running dialog shows.
constexpr int kStopDialogDelayMs = 400;

bool SameClsid(const MacroletClsid& a, const MacroletClsid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && std::memcmp(a.data4, b.data4, 8) == 0;
}

// Runs fn on owner's thread and waits (message boxes from a worker).
template <typename Fn>
void OnOwnerThread(QWidget* owner, Fn fn) {
  if (!owner) return;
  if (owner->thread() == QThread::currentThread()) {
    fn();
  } else {
    QMetaObject::invokeMethod(owner, fn, Qt::BlockingQueuedConnection);
  }
}

ScriptServices ServicesFor(QWidget* owner) {
  ScriptServices services;
  services.messageBox = [owner](const std::string& text) {
    OnOwnerThread(owner, [&] { QMessageBox::information(owner, QStringLiteral("Varnel"), QString::fromStdString(text)); });
  };
  services.inputBox = [owner](const std::string& caption, std::string& text) {
    bool ok = false;
    OnOwnerThread(owner, [&] {
      text = QInputDialog::getText(owner, QStringLiteral("Varnel"), QString::fromStdString(caption), QLineEdit::Normal,
                                   QString(), &ok)
                 .toStdString();
    });
    return ok;
  };
  services.fileDialog = [owner](bool open, std::string& path) {
    OnOwnerThread(owner, [&] {
      path = (open ? QFileDialog::getOpenFileName(owner) : QFileDialog::getSaveFileName(owner)).toStdString();
    });
    return !path.empty();
  };
  // The script's colour layout, 0xAABBGGRR, alpha included.
  services.colourDialog = [owner](uint32_t& colourAbgr) {
    QColor chosen;
    OnOwnerThread(owner, [&] {
      chosen = QColorDialog::getColor(Qt::white, owner, QString(), QColorDialog::ShowAlphaChannel);
    });
    if (!chosen.isValid()) return false;
    colourAbgr = static_cast<uint32_t>(chosen.alpha()) << 24 | static_cast<uint32_t>(chosen.blue()) << 16 |
                 static_cast<uint32_t>(chosen.green()) << 8 | static_cast<uint32_t>(chosen.red());
    return true;
  };
  return services;
}

// The source line and then the description, each in a box titled "Error".
// A stop the painter asked for is no error and shows nothing.
void ShowScriptError(QWidget* owner, const ScriptOutcome& outcome) {
  if (outcome.interrupted) return;
  OnOwnerThread(owner, [&] {
    if (outcome.description.empty()) {
      QMessageBox::critical(owner, QString::fromUtf8(kScriptErrorTitle), QString::fromUtf8(kScriptErrorUnknown));
      return;
    }
    QMessageBox::critical(owner, QString::fromUtf8(kScriptErrorTitle), QString::fromStdString(outcome.sourceLine));
    QMessageBox::critical(owner, QString::fromUtf8(kScriptErrorTitle), QString::fromStdString(outcome.description));
  });
}

// The host's 32-bit bottom-up image as a surface, and back. False for anything else.
bool CopyIn(const VarnelBitmapInfoHeader* info, const void* bits, ImageSurface& surface) {
  if (!info || !bits || info->biBitCount != 32 || info->biWidth < 1 || info->biHeight < 1 || info->biWidth > 65535 ||
      info->biHeight > 65535 || surface.CreateUnfilled({info->biWidth, info->biHeight}) != 0)
    return false;
  surface.DiscardBackups();
  const size_t rowBytes = static_cast<size_t>(info->biWidth) * 4;
  for (int32_t y = 0; y < info->biHeight; ++y)
    std::memcpy(surface.Row(y), static_cast<const uint8_t*>(bits) + rowBytes * static_cast<size_t>(info->biHeight - 1 - y),
                rowBytes);
  return true;
}

void CopyOut(const ImageSurface& surface, void* bits) {
  const size_t rowBytes = static_cast<size_t>(surface.Width()) * 4;
  for (int32_t y = 0; y < surface.Height(); ++y)
    std::memcpy(static_cast<uint8_t*>(bits) + rowBytes * static_cast<size_t>(surface.Height() - 1 - y), surface.Row(y),
                rowBytes);
}

// Runs body on a worker while the owner's thread answers the script's dialogs. A run that lasts
// longer than showAfterMs shows "スクリプト実行中" with "中断", which ends the script: a script
// that never ends must not take the program (and the unsaved pictures) with it.
void RunWithStopDialog(QWidget* owner, int showAfterMs, const std::function<void(ScriptRun&)>& body) {
  ScriptRun run;
  std::atomic<bool> done = false;
  std::thread worker([&] {
    body(run);
    done = true;
  });
  if (showAfterMs > 0) {
    // A short run ends here without a dialog flashing up; the painter's input waits meanwhile.
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
      if (done) wait.quit();
    });
    poll.start(5);
    QTimer::singleShot(showAfterMs, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (!done) {
    QDialog dialog(owner);
    dialog.setWindowTitle(QString::fromUtf8(kScriptRunningTitle));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QString::fromUtf8(kScriptRunningText), &dialog));
    auto* stop = new QPushButton(QStringLiteral("中断"), &dialog);
    stop->setObjectName("ScriptStop");
    layout->addWidget(stop);
    QObject::connect(stop, &QPushButton::clicked, &dialog, [&] { run.Interrupt(); });
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &dialog, [&] {
      if (done) dialog.accept();
    });
    timer.start(100);
    // Closing the dialog (Escape) stops the script as "中断" does; the wait goes on until it ends.
    while (!done) {
      dialog.exec();
      if (!done) run.Interrupt();
    }
  }
  worker.join();
}

// Each line goes out at once, so a crash leaves the log up to its last step.
class ScriptLog {
 public:
  explicit ScriptLog(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) {}
  ~ScriptLog() {
    if (m_file) std::fclose(m_file);
  }
  void Write(const std::string& text) {
    if (!m_file) return;
    std::fwrite(text.data(), 1, text.size(), m_file);
    std::fflush(m_file);
  }

 private:
  std::FILE* m_file;
};

}  // namespace

int32_t ExecScriptOver(std::string_view text, const MacroletClsid& engine, const VarnelBitmapInfoHeader* bmInfo,
                       void* bmData, QWidget* owner) {
  static const MacroletClsid kJScript = MACROLET_CLSID_JSCRIPT;
  static const MacroletClsid kVBScript = MACROLET_CLSID_VBSCRIPT;
  if (SameClsid(engine, kVBScript)) {
    OnOwnerThread(owner, [&] { QMessageBox::warning(owner, QStringLiteral("Varnel"), QString::fromUtf8(kVbscriptUnavailable)); });
    return 0;
  }
  if (!SameClsid(engine, kJScript)) return 0;
  ImageSurface surface;
  const bool haveImage = CopyIn(bmInfo, bmData, surface);
  auto body = [&](ScriptRun& run) {
    const ScriptOutcome outcome =
        run.Run(text, ScriptLanguage::kJScript, haveImage ? &surface : nullptr, ServicesFor(owner));
    if (haveImage) CopyOut(surface, bmData);
    if (outcome.failed) ShowScriptError(owner, outcome);
  };
  if (owner != nullptr && owner->thread() == QThread::currentThread()) {
    RunWithStopDialog(owner, kStopDialogDelayMs, body);
  } else {
    ScriptRun run;
    body(run);
  }
  return 0;
}

MacroletCtrl::MacroletCtrl(QWidget* parent) : QWidget(parent) { hide(); }

int MacroletCtrl::ParseScriptText(const QString& scriptText, int buflen, quintptr clsidScriptEngine, quintptr bmInfo,
                                  quintptr bmData) {
  if (!clsidScriptEngine) return 0;
  const QByteArray text = scriptText.toUtf8();
  const qsizetype length = std::clamp<qsizetype>(buflen, 0, text.size());
  const auto* clsid = reinterpret_cast<const MacroletClsid*>(clsidScriptEngine);
  ExecScriptOver(std::string_view(text.constData(), static_cast<size_t>(length)), *clsid,
                 reinterpret_cast<const VarnelBitmapInfoHeader*>(bmInfo), reinterpret_cast<void*>(bmData), this);
  return 0;
}

int MacroletCtrl::ProcessScript(const QString& scriptFileName, quintptr bmInfo, quintptr bmData) {
  if (!bmInfo || !bmData) return -1;
  const auto* info = reinterpret_cast<const VarnelBitmapInfoHeader*>(bmInfo);
  void* bits = reinterpret_cast<void*>(bmData);
  const std::string fileName = scriptFileName.toStdString();
  const std::string logPath =
      logFolder.isEmpty() ? WritablePath(kScriptLogName) : logFolder.toStdString() + "/" + kScriptLogName;

  RunWithStopDialog(this, 0, [&](ScriptRun& run) {
    std::lock_guard lock(WorkerMutex());
    {
      ScriptLog log(logPath);
      char line[512];
      log.Write("script path = " + fileName + "\n");
      std::snprintf(line, sizeof line, "wi = %d he = %d colorDepth = %d\n", static_cast<int>(info->biWidth),
                    static_cast<int>(info->biHeight), static_cast<int>(info->biBitCount));
      log.Write(line);
      std::ifstream in(fileName, std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      log.Write("loading script...done\n");
      log.Write("creating active script site...done\n");
      if (LanguageForScriptFile(fileName) == ScriptLanguage::kJScript) {
        log.Write("creating active script engine...done\n");
        ImageSurface surface;
        const bool haveImage = CopyIn(info, bits, surface);
        log.Write("set image data...done\n");
        log.Write("initting active script parse...done\n");
        log.Write("set script site...done\n");
        log.Write("script src=%\n" + text + "%\n");
        log.Write("converting code page...done\n");
        log.Write("sysalloc string ...done\n");
        log.Write("parsing script...done\n");
        log.Write("starting script...done\n");
        const ScriptOutcome outcome =
            run.Run(text, ScriptLanguage::kJScript, haveImage ? &surface : nullptr, ServicesFor(this));
        if (haveImage) CopyOut(surface, bits);
        if (outcome.failed) ShowScriptError(this, outcome);
      } else {
        OnOwnerThread(this, [&] { QMessageBox::warning(this, QStringLiteral("Varnel"), QString::fromUtf8(kVbscriptUnavailable)); });
      }
    }
  });
  return 0;
}

void MacroletCtrl::AboutBox() {
  QMessageBox::about(this, QStringLiteral("Macrolet"), QStringLiteral("Macrolet — Varnel script control (JScript)"));
}

}  // namespace varnel
