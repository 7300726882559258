#include "shell/script_console.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/canvas.h"
#include "document/text_file.h"
#include "macrolet/macrolet.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "shell/loupe_panel.h"
#include "shell/main_frame.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"

namespace varnel {
namespace {

// Hands the edit target's header and pixel memory to the control by name.
class ScriptOperation : public CanvasOperation {
 public:
  ScriptOperation(QWidget* control, QByteArray text, const MacroletClsid& engine)
      : m_control(control), m_text(std::move(text)), m_engine(engine) {}
  void Execute(ImageSurface& target, int32_t pass) override {
    if (pass != 1 || !target.Bits()) return;
    int result = 0;
    QMetaObject::invokeMethod(m_control, "ParseScriptText", Q_RETURN_ARG(int, result),
                              Q_ARG(QString, QString::fromUtf8(m_text)), Q_ARG(int, static_cast<int>(m_text.size())),
                              Q_ARG(quintptr, reinterpret_cast<quintptr>(&m_engine)),
                              Q_ARG(quintptr, reinterpret_cast<quintptr>(&target.Descriptor()->header)),
                              Q_ARG(quintptr, reinterpret_cast<quintptr>(target.Bits())));
    // The control wrote the pixels behind the surface's back.
    target.SetModified();
  }

 private:
  QWidget* m_control;
  QByteArray m_text;
  MacroletClsid m_engine;
};

}  // namespace

ScriptConsole::ScriptConsole(CMainFrame& frame, std::string libraryPath)
    : QDialog(&frame), m_frame(frame), m_editor(new QPlainTextEdit(this)), m_engine(new QComboBox(this)) {
  setWindowTitle(QString::fromUtf8(kScriptConsoleTitle));
  m_editor->setObjectName(QStringLiteral("1432"));
  m_engine->setObjectName(QStringLiteral("1042"));
  m_engine->addItems({QStringLiteral("JScript"), QStringLiteral("VBScript")});
  auto* run = new QPushButton(QStringLiteral("実行"), this);
  auto* save = new QPushButton(QStringLiteral("保存"), this);
  auto* load = new QPushButton(QStringLiteral("読み込み"), this);
  run->setObjectName(QStringLiteral("1433"));
  save->setObjectName(QStringLiteral("1434"));
  load->setObjectName(QStringLiteral("1435"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_engine);
  buttons->addStretch();
  buttons->addWidget(run);
  buttons->addWidget(load);
  buttons->addWidget(save);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_editor);
  layout->addLayout(buttons);
  resize(520, 360);
  connect(run, &QPushButton::clicked, this, &ScriptConsole::Run);
  connect(load, &QPushButton::clicked, this, &ScriptConsole::LoadFile);
  connect(save, &QPushButton::clicked, this, &ScriptConsole::SaveFile);

  // Registered on every opening, as the control is created by its identifier afterwards.
  const std::string path = libraryPath.empty() ? ProgramPath("Ext/Macrolet.so") : libraryPath;
  m_control = CreateComponent(path, Profile::DefaultPath(), MACROLET_PROG_ID, "macrolet", this, m_library);
  if (m_control) {
    m_control->hide();
  } else {
    QMessageBox::warning(this, QStringLiteral("Varnel"), QString::fromUtf8(kControlNotCreated));
  }
}

ScriptConsole::~ScriptConsole() { delete m_control; }

void ScriptConsole::RunOn(CVarnelDoc& doc) {
  if (!m_control) return;
  static const MacroletClsid kJScript = MACROLET_CLSID_JSCRIPT;
  static const MacroletClsid kVBScript = MACROLET_CLSID_VBSCRIPT;
  const MacroletClsid& engine = m_engine->currentIndex() == 1 ? kVBScript : kJScript;
  ScriptOperation operation(m_control, m_editor->toPlainText().toUtf8(), engine);
  doc.GetCanvas().ApplyOperationToWhole(operation);
  doc.SetModifiedFlag(true);
  doc.UpdateAllViews();
}

void ScriptConsole::Run() {
  CVarnelView* view = m_frame.ActiveView();
  CVarnelDoc* doc = view ? view->GetDocument() : nullptr;
  if (doc) RunOn(*doc);
}

void ScriptConsole::LoadFile() {
  const QString name = QFileDialog::getOpenFileName(this, QString(), QString::fromStdString(ProgramPath("Ext/Scripts")),
                                                    QStringLiteral("Script (*.js *.vbs);;All (*)"));
  std::string text;
  if (!name.isEmpty() && text::ReadTextFile(name.toStdString(), text)) m_editor->setPlainText(QString::fromUtf8(text));
}

void ScriptConsole::SaveFile() {
  const QString name = QFileDialog::getSaveFileName(this, QString(), QString::fromStdString(ProgramPath("Ext/Scripts")),
                                                    QStringLiteral("Script (*.js *.vbs);;All (*)"));
  if (!name.isEmpty()) text::WriteTextFile(name.toStdString(), m_editor->toPlainText().toStdString());
}

void RunScriptConsole(CommandContext& context, int) {
  auto* console = context.frame.findChild<ScriptConsole*>();
  if (!console) console = new ScriptConsole(context.frame);
  console->show();
  console->raise();
}

}  // namespace varnel
