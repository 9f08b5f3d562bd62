#pragma once

#include "cash/Tablero.h"
#include "core/Result.h"

#include <functional>

// The reports from the command line, for scheduled and unattended use, without any window:
//   mirabel report NAME [--database FILE] [--formula TEXT] --pdf OUT.pdf
//   mirabel report tablero [--database FILE] --pdf OUT.pdf   (the dashboard on one page)
// Exit status: 0 written; 1 wrong use; 2 unknown report; 3 formula that cannot be read;
// 4 database missing or unreadable; 5 the PDF could not be written.
namespace ReportCli {
enum Status { Ok = 0, Usage = 1, UnknownReport = 2, BadFormula = 3, DatabaseError = 4, OutputError = 5 };
// Draws the dashboard's figures as a one-page PDF at the path, under the club's name; the windows' layer
// has the charts, so the program hands it in.
using DibujarTablero =
    std::function<Result(const Tablero::Cifras &cifras, const QString &pdf, const QString &empresa)>;
int run(int argc, char **argv, const DibujarTablero &tablero = {});
} // namespace ReportCli
