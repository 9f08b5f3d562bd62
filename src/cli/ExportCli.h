#pragma once

// The main window's lists to a spreadsheet file from the command line, without any window:
//   mirabel export socios|cuotas|planes|caja [--database FILE] [--format xlsx|csv] --out FILE
//                  [--mes M --anio A] (cuotas) [--desde FECHA] [--hasta FECHA] (caja)
// Exit status: 0 written; 1 wrong use; 4 database missing or unreadable; 5 the file could not be written.
namespace ExportCli {
enum Status { Ok = 0, Usage = 1, DatabaseError = 4, OutputError = 5 };
int run(int argc, char **argv);
} // namespace ExportCli
