#pragma once
// "アニメーション効果...": the effects of the libraries in Animation/Effect/ tried on the active
// layer. The tree lists every library by its effects; the frame slider shows frame k of n (the
// active layer as the source, drawn over another open picture's active layer when one is chosen
// as the start picture, else over transparent black); "再生" steps through the frames at the
// chosen rate; "設定" opens the effect's own settings; "レイヤとして出力" and "PNG連番出力" write
// the frames 0 … n as layers of a new document or as numbered PNG files.

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "animorph/effect_host.h"
#include "core/surface.h"

class QLabel;
class QPushButton;
class QComboBox;
class QSlider;
class QSpinBox;
class QTimer;
class QTreeWidget;

namespace varnel {

struct CommandContext;
class Layer;
class EffectPreview;

// A picture the frames may be drawn over: another open document's active layer.
struct EffectStartPicture {
  QString title;
  const ImageSurface* picture = nullptr;  // outlives the dialog
};

// The files "frame0000.png", "frame0001.png", … of the PNG export.
QString EffectFrameFileName(int32_t k);

class EffectDialog : public QDialog {
  Q_OBJECT

 public:
  // libraries and the start pictures outlive the dialog; the source is copied.
  EffectDialog(const EffectLibraryList& libraries, const ImageSurface& source, std::vector<EffectStartPicture> starts,
               QWidget* parent = nullptr);
  ~EffectDialog() override;

  // "レイヤとして出力": the frames bottom first, frame 0 lowest; whoever gets them opens them.
  std::function<void(std::vector<std::unique_ptr<Layer>> frames)> onOutputLayers;

  // The chosen effect; null before an effect item is chosen.
  EffectInstance* Effect() const { return m_effect.get(); }
  int32_t FrameCount() const;
  int32_t CurrentFrame() const;
  // Frame CurrentFrame() as last drawn (empty when the effect could not draw it) and the layer
  // opacity (0 … 256) it is shown with.
  const ImageSurface& Frame() const { return *m_frame; }
  int32_t FrameOpacity() const { return m_opacity; }
  bool IsPlaying() const;

  void OutputLayers();
  // Writes frames 0 … n into folder as EffectFrameFileName(k), the fades' opacity multiplied
  // into the alpha channel; the number of files written. A failure is told and stops the run.
  int32_t ExportPng(const QString& folder);

 private:
  void OnEffectChosen();
  void OnFrameCountChanged(int count);
  void TogglePlay();
  void Step();
  void OpenSettings();
  void ChooseFolderAndExport();
  void Render();
  // A new instance of the chosen effect for a whole run (the snow starts afresh), with the
  // enlargement's percent as set here.
  std::unique_ptr<EffectInstance> FreshEffect() const;
  const ImageSurface* StartPicture() const;

  const EffectLibraryList& m_libraries;
  ImageSurface m_source;
  std::vector<EffectStartPicture> m_starts;
  std::unique_ptr<EffectInstance> m_effect;
  std::unique_ptr<ImageSurface> m_frame = std::make_unique<ImageSurface>();
  int32_t m_opacity = 256;

  QTreeWidget* m_tree = nullptr;
  QComboBox* m_start = nullptr;
  QSlider* m_slider = nullptr;
  QLabel* m_frameText = nullptr;
  QSpinBox* m_count = nullptr;
  QSpinBox* m_rate = nullptr;
  QPushButton* m_play = nullptr;
  QPushButton* m_settings = nullptr;
  QPushButton* m_outputLayers = nullptr;
  QPushButton* m_exportPng = nullptr;
  QLabel* m_status = nullptr;
  EffectPreview* m_preview = nullptr;
  QTimer* m_timer = nullptr;
};

// The handler of "アニメーション効果...": the dialog over the active layer; the frames it outputs
// as layers open as a new document.
void RunEffectDialog(CommandContext& context, int id);

// Tests answer in place of the modal parts: the hook gets the dialog once it is built (not yet
// shown) and answers in place of its event loop; the chooser answers the folder of the PNG
// export (empty: cancelled).
void SetEffectDialogHookForTesting(std::function<int(QDialog&)> hook);
void SetEffectFolderChooserForTesting(std::function<QString()> chooser);

}  // namespace varnel
