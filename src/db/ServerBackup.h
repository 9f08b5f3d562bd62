#pragma once

#include "db/SqlEngine.h"

#include <QSqlDatabase>
#include <QString>

// Copies of a club kept on a server, made with the server's own tools: pg_dump writes one archive in its
// custom format, pg_restore puts it back. Used by Backup alone; the tools run as child processes with
// their arguments as a list (never through a shell), and a password only ever reaches them through the
// child's environment.
namespace ServerBackup {

struct Target {
    SqlEngine::ServerAddress address;
    QString password; // the one the program was given, if any; else libpq's own sources
};
// Where an open server connection points.
Target targetOf(const QSqlDatabase &db);

// Why tool (pg_dump, pg_restore) cannot be run: it is not installed. Empty when it can.
QString missingTool(const QString &tool);

// Whether file starts like an archive of pg_dump's custom format.
bool isArchive(const QString &file);

// Writes the whole database into destination (a custom-format archive). The caller has made the file.
[[nodiscard]] Result dump(const Target &target, const QString &destination);

// What an archive holds, read without a server; fails when the archive cannot be read to its end.
struct Reading {
    bool hasMembers = false; // the archive has the members' table at all
    int version = -1;        // the schema version stored in it, -1 when absent
    int members = 0;
    int dues = 0;
    int movements = 0;
    QString identity; // the database's identity, empty when the archive has none
};
[[nodiscard]] Expected<Reading> read(const QString &archive);

// Replaces the database's contents with the archive's in one transaction: on any failure nothing changed.
// When another session holds a table the restore must take for longer than the lock wait, it stops (Busy).
[[nodiscard]] Result restore(const Target &target, const QString &archive);

// How long a copy or a restore waits for a table another session holds (60 s); tests shorten it.
void setLockWait(int milliseconds);

} // namespace ServerBackup
