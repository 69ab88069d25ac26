// Windows-1252 text at the database boundary.
//
// Database files hold text as single Windows-1252 bytes (an "Ö" is 0xD6).
// Inside the program text is QString. Bytes that Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the control character of the same
// value and write back unchanged, so every stored byte round-trips.
#pragma once

#include <QByteArray>
#include <QString>

namespace Win1252 {

QString decode(const char* data, qsizetype size);
inline QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}

// Throws ESQLiteError naming the first character that Windows-1252 cannot hold.
QByteArray encode(const QString& text);

// True when every character of text can be stored; otherwise badChar receives the first that cannot.
bool canEncode(const QString& text, QChar* badChar = nullptr);

} // namespace Win1252
