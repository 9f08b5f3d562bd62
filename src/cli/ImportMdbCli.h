#pragma once

#include "transfer/MdbImport.h"

// Bringing in an old BASE.mdb from the command line, without any window:
//   mirabel import-mdb ANTERIOR.mdb [--database NUEVA.db]
// Exit status: 0 imported; 1 wrong use; 2 the old file cannot be read or is not an Access file;
// 3 the target already holds members, dues or movements; 4 the target is not a Mirabel database or cannot
// be used; 5 the new database could not be written; 130 interrupted (Ctrl+C), nothing written.
namespace ImportMdbCli {
enum Status {
    Ok = 0,
    Usage = 1,
    SourceError = 2,
    TargetHasData = 3,
    TargetError = 4,
    WriteError = 5,
    Interrupted = 130
};
// observer, when given, is told of the import's progress before the command looks for Ctrl+C: a test presses
// it at a known point of the work.
int run(int argc, char **argv, const MdbImport::Progress &observer = {});
} // namespace ImportMdbCli
