#pragma once

// The debt reminder run from the command line, for a monthly scheduled task, without any window:
//   mirabel send-reminders [--database FILE] [--settings FILE]
// Prints one line per message and "N enviados, M fallidos, ..." with the other counts. Exit status: 0 every
// message with an address handed over; 1 wrong use; 2 settings incomplete; 3 the server could not be
// reached, offered no encryption for the password or refused the login; 4 database missing, unreadable or
// a message could not be recorded; 5 some messages could not be sent or their fate is unknown.
namespace AvisosCli {
enum Status { Ok = 0, Usage = 1, Settings = 2, Server = 3, DatabaseError = 4, SomeFailed = 5 };
int run(int argc, char **argv);
} // namespace AvisosCli
