#pragma once
#include <QString>
#include <QtGlobal>

// The one size formatter of the application: decimal units "Bytes" to "TB",
// two decimals, computed in single precision so that every platform prints
// the same digits.
QString stringFromFileSize(quint64 size);
