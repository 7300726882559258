#include "shell/batch_command.h"

#include "shell/huebox_host.h"
#include "shell/main_frame.h"
#include "shell/varnel_doc.h"
#include "shell/varnel_view.h"
#include "sievehost/batch_run.h"

namespace varnel {

void RunFilterBatch(CommandContext& context, int) {
  CVarnelView* view = context.frame.ActiveView();
  CVarnelDoc* doc = view ? view->GetDocument() : nullptr;
  if (doc == nullptr) return;
  // Loaded for this run only: the library and its filter libraries are freed with the operation.
  BatchOperation operation(&context.frame);
  doc->GetCanvas().ApplyOperation(operation);
  if (operation.IsLoaded()) doc->SetModifiedFlag(true);
  doc->UpdateAllViews();
}

void ShowPictureInformation(CommandContext& context, int) {
  CVarnelView* view = context.frame.ActiveView();
  CVarnelDoc* doc = view ? view->GetDocument() : nullptr;
  if (doc == nullptr) return;
  // Null when Huebox is not there; the host has told the user.
  const auto operation = HueboxHost::Instance().ImageInformationOperation(&context.frame);
  if (!operation) return;
  doc->GetCanvas().ApplyOperation(*operation);
  doc->UpdateAllViews();
}

}  // namespace varnel
