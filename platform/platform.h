#pragma once
// The public face of platform/: the small layer in place of the Windows facilities.

#include "platform/code_page.h"
#include "platform/crt_rand.h"
#include "platform/dynamic_library.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/temp_file.h"
