#pragma once
// The document commands of varnel-cli: reading pictures, writing them by extension, and the
// whole-canvas operations.

#include <string>

#include "cli/commands.h"
#include "core/canvas.h"
#include "document/document_file.h"

namespace varnel::cli {

int RunInfo(const Invocation& call);       // info FILE
int RunNew(const Invocation& call);        // new OUT [WIDTH HEIGHT]
int RunConvert(const Invocation& call);    // convert IN OUT
int RunFlatten(const Invocation& call);    // flatten IN OUT [--enable-masks]
int RunMergeAll(const Invocation& call);   // merge-all IN OUT [--enable-masks]

// Reads the picture at path onto canvas with layer layerIndex active, as the program opens it;
// false with status set and the failure told when it cannot be read or has no such layer.
bool OpenCanvas(const Invocation& call, const std::string& path, int32_t layerIndex, OpenedPicture& picture,
                Canvas& canvas, int& status);

// Writes the canvas to path by its extension (through a temporary file); the exit status, with
// the failure told on the error stream.
int SaveCanvas(const Invocation& call, const std::string& path, const Canvas& canvas, const GridSettings& grid);

}  // namespace varnel::cli
