#pragma once

// The reports from the command line, for scheduled and unattended use, without any window:
//   mirabel report NAME [--database FILE] [--formula TEXT] --pdf OUT.pdf
// Exit status: 0 written; 1 wrong use; 2 unknown report; 3 formula that cannot be read;
// 4 database missing or unreadable; 5 the PDF could not be written.
namespace ReportCli {
enum Status { Ok = 0, Usage = 1, UnknownReport = 2, BadFormula = 3, DatabaseError = 4, OutputError = 5 };
int run(int argc, char **argv);
} // namespace ReportCli
