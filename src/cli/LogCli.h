#pragma once

// The activity log from the command line, newest first, without any window:
//   mirabel log --desde FECHA --hasta FECHA [--usuario NOMBRE] [--format csv] [--database FILE]
// Exit status: 0 written; 1 wrong use; 4 database missing or unreadable.
namespace LogCli {
enum Status { Ok = 0, Usage = 1, DatabaseError = 4 };
int run(int argc, char **argv);
} // namespace LogCli
