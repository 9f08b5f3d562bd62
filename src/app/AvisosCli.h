#pragma once

// The debt reminder run from the command line, for a monthly scheduled task, without any window:
//   mirabel send-reminders [--database FILE] [--settings FILE]
// Prints one line per message and "N enviados, M fallidos". Exit status: 0 nothing failed; 1 wrong use;
// 2 settings incomplete; 3 the server could not be reached or refused the login; 4 database missing or
// unreadable; 5 some messages could not be sent.
namespace AvisosCli {
enum Status { Ok = 0, Usage = 1, Settings = 2, Server = 3, DatabaseError = 4, SomeFailed = 5 };
int run(int argc, char **argv);
} // namespace AvisosCli
