#pragma once
// Ext/Peerlook.so, the network sharing component: the member list, the chat, the transfer list
// and the relay server of a sharing group. The program registers it, then creates it by its
// identifier.
//
// The control is a QWidget whose properties (ServerPort, FileTransferPort, UserName,
// ServerPassword) and slots (SetupServer, ConnectServer, SendFile, …) the host reaches by name
// through QObject::property/setProperty and QMetaObject::invokeMethod. Its notices arrive as
// the signal Notice(int tag, QString path) and, queued, at the slot PeerlookNotice(int, QString)
// of the receiver given to SetNotifyHWND.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PEERLOOK_PROG_ID "PEERLOOK.PeerlookCtrl.1"
#define PEERLOOK_WINDOW_NAME "peerlook"
// The profile section where components record their identifier and file.
#define PEERLOOK_COMPONENTS_SECTION "Components"
// The notices' tags: a file arrived in the data store path; the sending of a file has ended.
#define PEERLOOK_NOTICE_FILE_ARRIVED 1
#define PEERLOOK_NOTICE_SENDING_ENDED 2

// Records PEERLOOK_PROG_ID with the library's own path in the profile section Components.
// 0 on success, -1 when the profile cannot be written.
typedef int32_t (*PeerlookDllRegisterServer)(void);
// Creates the control named progId as a child of parent (a QWidget*, may be null), with
// windowName as its object name. The new QWidget*, owned by parent (or by the caller when
// parent is null); null for an identifier this library does not make.
typedef void* (*PeerlookCreateControl)(const char* progId, const char* windowName, void* parent);

#ifdef __cplusplus
}
#endif
