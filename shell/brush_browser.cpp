#include "shell/brush_browser.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHideEvent>
#include <QMenu>
#include <QScreen>
#include <QSet>
#include <QTreeWidget>
#include <algorithm>

#include "platform/profile.h"
#include "shell/window_placement.h"
#include "settings/app_settings.h"

namespace varnel {
namespace {

// Items carry the command id in this role; folders carry nothing.
constexpr int kCommandRole = Qt::UserRole;
constexpr int kFolderRole = Qt::UserRole + 1;
constexpr int kMinimumSide = 100;

QString PlainText(const QAction* action) {
  // Menu texts keep their mnemonics: "&&" is a literal ampersand, a single '&' marks the key.
  QString text = action->text();
  text.replace("&&", QString(QChar(0xE000)));
  text.remove('&');
  text.replace(QChar(0xE000), "&");
  return text;
}

QString ItemPath(const QTreeWidgetItem* item) {
  QString path = item->text(0);
  for (const QTreeWidgetItem* up = item->parent(); up != nullptr; up = up->parent()) path = up->text(0) + "/" + path;
  return path;
}

void CollectExpanded(const QTreeWidgetItem* item, QSet<QString>& expanded) {
  for (int i = 0; i < item->childCount(); ++i) {
    const QTreeWidgetItem* child = item->child(i);
    if (child->isExpanded()) expanded.insert(ItemPath(child));
    CollectExpanded(child, expanded);
  }
}

void RestoreExpanded(QTreeWidgetItem* item, const QSet<QString>& expanded) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (expanded.contains(ItemPath(child))) child->setExpanded(true);
    RestoreExpanded(child, expanded);
  }
}

// A position on [start, start + length): at least 100 pixels of the window stay on the screen,
// so it can still be grabbed.
int ClampSide(int value, int fallback, int available) {
  if (value <= 0) value = fallback;
  return std::clamp(value, std::min(kMinimumSide, available), std::max(available, 1));
}

}  // namespace

BrushBrowserPlacement RestoreBrushBrowserPlacement(int32_t pos, int32_t size, const QRect& available) {
  BrushBrowserPlacement placement;
  const auto packedSize = static_cast<uint32_t>(size);
  const int width = size == 0 ? kBrushBrowserDefaultWidth : static_cast<int>(packedSize >> 16);
  const int height = size == 0 ? kBrushBrowserDefaultHeight : static_cast<int>(packedSize & 0xFFFF);
  placement.size = QSize(ClampSide(width, kBrushBrowserDefaultWidth, available.width()),
                         ClampSide(height, kBrushBrowserDefaultHeight, available.height()));
  if (pos != 0) {
    const auto packed = static_cast<uint32_t>(pos);
    // Each word is signed, so a window left of the screen's origin reads back as negative.
    const int left = static_cast<int16_t>(static_cast<uint16_t>(packed >> 16));
    const int top = static_cast<int16_t>(static_cast<uint16_t>(packed & 0xFFFF));
    placement.hasPosition = true;
    placement.position = QPoint(KeepOnScreen(left, available.left(), available.width()),
                                KeepOnScreen(top, available.top(), available.height()));
  }
  return placement;
}

int32_t PackBrushBrowserPos(const QPoint& position) { return PackSize(position.x(), position.y()); }

int32_t PackBrushBrowserSize(const QSize& size) { return PackSize(size.width(), size.height()); }

BrushBrowser::BrushBrowser(Profile& profile, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_profile(profile), m_tree(new QTreeWidget(this)) {
  setObjectName("BrushBrowser");
  setWindowTitle("ブラシブラウザ");
  m_tree->setObjectName("BrushBrowserTree");
  m_tree->setHeaderHidden(true);
  m_tree->setColumnCount(1);
  m_tree->setRootIsDecorated(true);
  // A click chooses a brush, as on a palette; Enter (and a double click, which the click before
  // it has already answered) activates as in any list.
  connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
    m_clicked = item;
    m_sinceClick.start();
    OnActivated(item);
  });
  connect(m_tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    if (item == m_clicked && m_sinceClick.isValid() && m_sinceClick.elapsed() <= QApplication::doubleClickInterval())
      return;
    OnActivated(item);
  });

  QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const BrushBrowserPlacement placement =
      RestoreBrushBrowserPlacement(m_profile.GetInt(kSettingsSection, kBrushBrowserPosKey, 0),
                                   m_profile.GetInt(kSettingsSection, kBrushBrowserSizeKey, 0), available);
  resize(placement.size);
  if (placement.hasPosition) move(placement.position);
}

BrushBrowser::~BrushBrowser() {
  if (isVisible()) SavePlacement();
}

bool BrushBrowser::WasVisible(const Profile& profile) {
  return profile.GetInt(kGeneralSection, kBrushBrowserVisibleKey, 0) != 0;
}

void BrushBrowser::Mirror(QMenu* menu) {
  m_menu = menu;
  if (isVisible()) {
    Refresh();
  } else {
    Populate();
  }
}

void BrushBrowser::Refresh() {
  if (m_rebuild) {
    m_rebuild();
  } else if (m_menu) {
    emit m_menu->aboutToShow();
  }
  Populate();
}

void BrushBrowser::Populate() {
  QSet<QString> expanded;
  CollectExpanded(m_tree->invisibleRootItem(), expanded);
  m_tree->clear();
  m_clicked = nullptr;
  m_actions.clear();
  if (m_menu) AddActions(m_menu, m_tree->invisibleRootItem());
  RestoreExpanded(m_tree->invisibleRootItem(), expanded);
  SelectCurrent();
}

void BrushBrowser::SetCurrent(const QVariant& id, const QString& text) {
  m_currentId = id;
  m_currentText = text;
  SelectCurrent();
}

void BrushBrowser::SelectCurrent() {
  QTreeWidgetItem* current = nullptr;
  for (auto it = m_actions.cbegin(); it != m_actions.cend() && current == nullptr; ++it)
    if (it.key()->data(0, kCommandRole) == m_currentId && it.key()->text(0) == m_currentText) current = it.key();
  // Only the highlight moves: folders the painter closed stay closed.
  m_tree->setCurrentItem(current);
  if (current == nullptr) m_tree->clearSelection();
}

void BrushBrowser::AddActions(QMenu* menu, QTreeWidgetItem* parent) {
  for (QAction* action : menu->actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    auto* item = new QTreeWidgetItem(parent, QStringList(PlainText(action)));
    item->setToolTip(0, action->toolTip());
    if (QMenu* sub = action->menu()) {
      item->setData(0, kFolderRole, true);
      item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
      AddActions(sub, item);
      continue;
    }
    item->setData(0, kCommandRole, action->data());
    if (!action->isEnabled()) item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    m_actions.insert(item, action);
  }
}

QTreeWidgetItem* BrushBrowser::FindItem(const QString& path) const {
  QTreeWidgetItem* at = m_tree->invisibleRootItem();
  for (const QString& part : path.split('/')) {
    QTreeWidgetItem* next = nullptr;
    for (int i = 0; i < at->childCount() && next == nullptr; ++i)
      if (at->child(i)->text(0) == part) next = at->child(i);
    if (next == nullptr) return nullptr;
    at = next;
  }
  return at == m_tree->invisibleRootItem() ? nullptr : at;
}

QAction* BrushBrowser::FindAction(QMenu* menu, const QVariant& id, const QString& text) const {
  for (QAction* action : menu->actions()) {
    if (QMenu* sub = action->menu()) {
      if (QAction* found = FindAction(sub, id, text)) return found;
    } else if (!action->isSeparator() && action->data() == id && PlainText(action) == text) {
      return action;
    }
  }
  return nullptr;
}

void BrushBrowser::OnActivated(QTreeWidgetItem* item) {
  if (item == nullptr || item->data(0, kFolderRole).toBool()) return;
  QPointer<QAction> action = m_actions.value(item);
  // The menu may have been rebuilt since the tree was (it is rebuilt each time it opens): the
  // command is then looked up again by its id and text.
  if (!action && m_menu) action = FindAction(m_menu, item->data(0, kCommandRole), item->text(0));
  if (action && action->isEnabled()) action->trigger();
}

void BrushBrowser::SavePlacement() {
  m_profile.WriteInt(kSettingsSection, kBrushBrowserPosKey, PackBrushBrowserPos(pos()));
  m_profile.WriteInt(kSettingsSection, kBrushBrowserSizeKey, PackBrushBrowserSize(size()));
}

void BrushBrowser::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  Refresh();
  m_profile.WriteInt(kGeneralSection, kBrushBrowserVisibleKey, 1);
}

void BrushBrowser::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;
  SavePlacement();
  // Hidden with the main window as the program ends, the browser stays marked open for the
  // next start.
  if (parentWidget() == nullptr || parentWidget()->isVisible())
    m_profile.WriteInt(kGeneralSection, kBrushBrowserVisibleKey, 0);
}

void BrushBrowser::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_tree->setGeometry(kBrushBrowserSpareWidth / 2, kBrushBrowserSpareWidth / 2,
                      std::max(0, width() - kBrushBrowserSpareWidth), std::max(0, height() - kBrushBrowserSpareHeight));
}

}  // namespace varnel
