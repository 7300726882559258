#include "shell/batch_command.h"

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

}  // namespace varnel
