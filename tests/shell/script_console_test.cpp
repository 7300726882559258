// The script console over Ext/Macrolet.so: the control is registered and created, "実行" runs the
// text over the active layer as one undo step, and the Script(&S) command opens the console.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <cstdlib>
#include <memory>

#include "core/canvas.h"
#include "core/layer.h"
#include "core/region.h"
#include "shell/command_ids.h"
#include "shell/script_console.h"
#include "shell/varnel_doc.h"
#include "tests/shell/shell_fixture.h"

namespace varnel {
namespace {

class ScriptConsoleTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    setenv("VARNEL_CONFIG", m_dir.File("varnel.ini").c_str(), 1);
  }
  void TearDown() override {
    ShellTest::TearDown();
    unsetenv("VARNEL_CONFIG");
  }
};

TEST_F(ScriptConsoleTest, RunChangesTheActiveLayerAsOneUndoStep) {
  Start();
  CVarnelDoc* doc = ActiveView()->GetDocument();
  ScriptConsole console(*m_app->MainFrame(), MACROLET_LIBRARY);
  ASSERT_TRUE(console.HasControl());
  const uint32_t before = doc->GetCanvas().ActiveLayer()->Row(0)[0];
  console.Editor()->setPlainText(QStringLiteral("Document.Image.SetPixel(0, 0, 0xFF0000FF);"));
  console.RunOn(*doc);
  EXPECT_EQ(doc->GetCanvas().ActiveLayer()->Row(0)[0], 0xFFFF0000u);
  doc->GetCanvas().Undo();
  EXPECT_EQ(doc->GetCanvas().ActiveLayer()->Row(0)[0], before);

  // VBScript has no engine: nothing runs.
  console.Engine()->setCurrentIndex(1);
  EXPECT_EQ(console.Engine()->currentText(), QStringLiteral("VBScript"));
}

TEST_F(ScriptConsoleTest, ASelectionDoesNotMoveOrShrinkThePictureTheScriptSees) {
  Start();
  CVarnelDoc* doc = ActiveView()->GetDocument();
  Canvas& canvas = doc->GetCanvas();
  auto selection = std::make_unique<Region>();
  ASSERT_EQ(selection->Create({10, 10, 20, 20}, 255), 0);
  canvas.SetSelection(std::move(selection));
  ScriptConsole console(*m_app->MainFrame(), MACROLET_LIBRARY);
  ASSERT_TRUE(console.HasControl());
  const Layer& layer = *canvas.ActiveLayer();
  console.Editor()->setPlainText(QString("var i = Document.Image; i.SetPixel(0, 0, i.CX == %1 && i.CY == %2 ? 0xFF0000FF : 0xFF00FF00);")
                                     .arg(layer.Width())
                                     .arg(layer.Height()));
  console.RunOn(*doc);
  EXPECT_EQ(layer.Row(0)[0], 0xFFFF0000u);
}

TEST_F(ScriptConsoleTest, TheScriptCommandIsEnabled) {
  Start();
  m_app->MainFrame()->UpdateCommandStates();
  EXPECT_TRUE(m_app->MainFrame()->Command(cmd::kScript)->isEnabled());
}

}  // namespace
}  // namespace varnel
