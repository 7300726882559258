#pragma once
// For tests only: the way into the gateway's dialogs while they run.

#include <functional>

class QFileDialog;

namespace varnel::iogate {

// Called with every dialog GetFileName opens, once its modal loop runs, so that a test can
// drive it with input events (and accept or cancel it). An empty function removes the hook.
void SetDialogShownHookForTesting(std::function<void(QFileDialog&)> hook);

// Lets the next GetFileName or WriteImage load the program folder's plug-ins again.
void ForgetPluginsForTesting();

}  // namespace varnel::iogate
