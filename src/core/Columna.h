#pragma once

#include "core/Formato.h"

#include <QString>

// One column of a list: caption, field of the record source, display format, and whether the user may type
// into it. A list's columns are defined once, in its subsystem, and read by its grid and by its exports.
struct Columna {
    QString caption;
    QString field;
    Formato::Tipo formato = Formato::Tipo::General;
    bool locked = true;
};
