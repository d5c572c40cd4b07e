#pragma once

#include <QString>

class QLineEdit;

namespace srctdy {

// How the bytes of an edit box's text are counted: as code page 932 text (the conversion
// texts; a character it cannot hold counts as two bytes until confirmation refuses it), or as
// a file-system name.
enum class ByteCount { Cp932, FileSystem };

int ByteLength(const QString& text, ByteCount count);

// Leaves out whole characters just before cursor (where typing and pasting put them) until
// text fits into maxBytes, so a character is never cut in half. Returns the new cursor.
int FitToBytes(QString& text, int cursor, int maxBytes, ByteCount count);

// Makes edit stop typing and pasting at maxBytes. Text set by the program is left whole.
void LimitBytes(QLineEdit& edit, int maxBytes, ByteCount count);

} // namespace srctdy
