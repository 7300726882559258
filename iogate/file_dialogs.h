#pragma once
// GetFileName behind the export: which dialog, its types, the result buffer, and the guard
// that turns any exception into the program's warning and a cancelled dialog.

#include <cstdint>

namespace varnel::iogate {

inline constexpr const char* kUnknownException =
    "不明な例外を捕捉しました。作業中のデータを保存してアプリケーションを終了することを推奨します。";

// As the export GetFileName (iogate/iogate.h). Messages go through the process's host.
int32_t GetFileName(int32_t mode, const char* defaultExtension, const char* fileName, uint32_t flags,
                    const char* filter, char* result, int32_t resultSize, const void* pictureInfo,
                    const void* pictureBits, void* ownerWindow);

}  // namespace varnel::iogate
