#pragma once
// What the option panels build their controls with: named spin boxes and check boxes, and the
// guard that lets a panel show its settings without taking the controls' change signals as
// the user's edits.

#include <QCheckBox>
#include <QLabel>
#include <QPoint>
#include <QRect>
#include <optional>

#include "shell/tool_palette.h"

namespace varnel {

// A spin box that clamps what is typed into minimum…maximum; name is its object name.
ClampingSpinBox* MakeSpin(QWidget* parent, const char* name, int minimum, int maximum);
// The tool's name in bold at the top of its option panel, as the brush panel shows the brush's.
QLabel* MakeTitle(QWidget* parent, const char* name);
// A check box with its text (UTF-8) and, when given, its tool tip.
QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, const char* tooltip = nullptr);

class Profile;

// A tool window's position stored under two settings keys, kept on the screen's free area so
// that a window saved on a screen now gone can still be grabbed; none when either key is missing.
std::optional<QPoint> StoredWindowPosition(const Profile& profile, const char* xKey, const char* yKey,
                                           const QRect& available);
void StoreWindowPosition(Profile& profile, const char* xKey, const char* yKey, const QPoint& position);

// Sets flag for its lifetime and puts the old value back after.
class RefreshGuard {
 public:
  explicit RefreshGuard(bool& flag) : m_flag(flag), m_old(flag) { m_flag = true; }
  ~RefreshGuard() { m_flag = m_old; }
  RefreshGuard(const RefreshGuard&) = delete;
  RefreshGuard& operator=(const RefreshGuard&) = delete;

 private:
  bool& m_flag;
  bool m_old;
};

}  // namespace varnel
