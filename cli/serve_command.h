#pragma once
// serve [--port P] [--password PW]: the network relay server until SIGINT or SIGTERM. Prints
// "listening on P" (the bound port, also for --port 0) once connections are accepted, logs
// connections, joins, leaves and drops on stderr with the local time, and ends by sending
// every member the server's goodbye.

#include "cli/commands.h"

namespace varnel::cli {

int RunServe(const Invocation& call);

}  // namespace varnel::cli
