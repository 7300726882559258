#pragma once
// The program started on the offscreen platform with its own profile and data folder (recovery
// files among them) in a private folder, so that neither the user's nor another test's files
// are seen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <memory>
#include <optional>

#include "platform/profile.h"
#include "shell/child_frame.h"
#include "shell/main_frame.h"
#include "shell/varnel_app.h"
#include "shell/varnel_view.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace varnel {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_profile = std::make_unique<Profile>(m_dir.File("varnel.ini"));
    m_dataFolder.emplace("XDG_DATA_HOME", m_dir.File("data"));
  }

  // Settings as a user would have left them, then start-up.
  CVarnelApp& Start(const std::vector<std::pair<const char*, int32_t>>& settings = {},
                    const QStringList& arguments = {}) {
    for (const auto& [key, value] : settings) m_profile->WriteInt("Settings", key, value);
    m_app = std::make_unique<CVarnelApp>(*m_profile);
    EXPECT_EQ(m_app->InitInstance(arguments), CVarnelApp::StartResult::kRunning);
    QApplication::processEvents();
    return *m_app;
  }

  CVarnelView* ActiveView() {
    CChildFrame* frame = m_app->MainFrame()->ActiveChildFrame();
    return frame ? frame->GetActiveView() : nullptr;
  }

  // What the view shows, as 0xAARRGGBB.
  QRgb ViewPixel(CVarnelView* view, int x, int y) {
    const QImage shot = view->viewport()->grab().toImage();
    return shot.pixel(x, y) | 0xFF000000u;
  }

  void TearDown() override {
    m_app.reset();
    QApplication::processEvents();
  }

  test::TempFolder m_dir;
  std::optional<test::ScopedEnv> m_dataFolder;
  std::unique_ptr<Profile> m_profile;
  std::unique_ptr<CVarnelApp> m_app;
};

}  // namespace varnel
