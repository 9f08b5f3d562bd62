#pragma once

#include <QString>
#include <vector>

// Every table of the database, once: its key, its columns and what the program does with it (copy it
// between databases, read it from the old program's file, offer its fields to report formulas). The
// schema's steps, the copy, the import and the report catalogue all read this list; a test checks it
// against the tables a new database gets on either engine.
namespace Tables {

// What a column holds, as stored.
enum class Kind {
    Key,     // the row's number, handed out by the table's counter (or written by the program)
    Integer, // a whole number, or a link to another table's key
    Money,   // ten-thousandths (see Money)
    Date,    // a day
    YesNo,   // 0 or 1
    Text,
    SortKey, // the program's own sort key of the row's names, kept with it (never read from outside)
};

// How the old program's file held a column the import reads.
enum class Old {
    Same,    // the same kind as stored now
    None,    // not in the old file: the program makes it
    Integer, // a number, stored now as text
    YesNo,   // a yes/no, stored now as text
    Secret,  // a password in clear text, stored now as its hash
};

struct Column {
    const char *name;
    Kind kind;
    bool notNull = false;     // the column cannot hold Null (an amount, a flag)
    Old old = Old::Same;      // as the import reads it
    const char *caption = {}; // its description on a report's print-out; nullptr: none
};

// Rows of table whose field points into another table's key.
struct Reference {
    const char *table;
    const char *field;
};

struct Table {
    const char *name;
    const char *key;  // nullptr: none
    bool counter;     // the key comes from an identity counter
    bool copied;      // carried by a copy between databases (and its check)
    bool imported;    // read from the old program's file
    bool inCatalogue; // its fields may be named by report formulas
    std::vector<Column> columns;
    // Rows that point into this table: their numbers stay taken even when the row they name is gone.
    std::vector<Reference> referencedBy = {};
    const char *oldName = nullptr; // its name in the old program's file, when it differs

    // The names of its columns of one kind, in order.
    std::vector<const char *> columnsOf(Kind kind) const;
    // Its name in the old program's file.
    QString nameInOldFile() const { return QString::fromUtf8(oldName ? oldName : name); }
};

// Every table, parents before the rows that point at them (the order a new database is filled in).
const std::vector<Table> &all();
// The table named name; nullptr when there is none.
const Table *find(const QString &name);

} // namespace Tables
