#pragma once
// The text tool's own window "文字描画": a floating tool window with the text, its font, size,
// style, writing direction, anti-aliasing and opacity, and 適用, which draws the placed text.
// Every control writes ProgramTextSettings at once. The window keeps its place in TEXTUIXPOS /
// TEXTUIYPOS (section Settings).

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <optional>

class QCheckBox;
class QFontComboBox;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace varnel {

class Profile;

class TextOptionPanel : public QWidget {
  Q_OBJECT

 public:
  // A tool window over parent; profile must outlive it.
  TextOptionPanel(Profile& profile, QWidget* parent);

  // Shows the settings again (after a tool state load).
  void Refresh();
  // Shown while the text tool is in use, at the stored place (kept on the screen) or, the first
  // time, beside the parent's top right corner; hidden otherwise.
  void SetToolInUse(bool inUse);

  // The stored place, moved onto the screen's free area; none when nothing is stored.
  static std::optional<QPoint> StoredPosition(const Profile& profile, const QRect& available);
  static void StorePosition(Profile& profile, const QPoint& position);

 signals:
  // A setting changed: the placed text's box may have changed with it.
  void settingsChanged();
  // 適用 drew the placed text into the active picture.
  void applied();

 protected:
  void moveEvent(QMoveEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Apply();
  void Changed();

  Profile& m_profile;
  bool m_refreshing = false;
  QTimer* m_storeTimer;
  QPlainTextEdit* m_text;
  QFontComboBox* m_font;
  QSpinBox* m_size;
  QCheckBox* m_bold;
  QCheckBox* m_italic;
  QCheckBox* m_vertical;
  QCheckBox* m_antialias;
  QSpinBox* m_opacity;
  QPushButton* m_apply;
};

}  // namespace varnel
