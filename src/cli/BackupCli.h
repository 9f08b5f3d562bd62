#pragma once

// Copies and restores from the command line, without any window:
//   mirabel backup [--database FILE|URL] --out COPY
//   mirabel restore COPY [--database FILE|URL]
// Exit status: 0 done; 1 wrong use; 4 database missing, unreadable or not a Mirabel database;
// 5 the copy or the restored file could not be written; 6 the copy to restore is missing, not sound, or of
// the other kind (a file's copy for a server, a server's for a file).
namespace BackupCli {
enum Status { Ok = 0, Usage = 1, DatabaseError = 4, OutputError = 5, BadCopy = 6 };
int run(int argc, char **argv);
} // namespace BackupCli
