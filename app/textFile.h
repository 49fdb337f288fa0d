// Loading and saving the editor's text without losing a byte: a file is read as UTF-8 when
// it is valid UTF-8 and as Latin-1 otherwise, and written back in the same encoding with
// CR LF line ends.
#pragma once

#include <QByteArray>
#include <QString>

namespace tarmel {

enum class TextEncoding { Utf8, Latin1 };

struct DecodedText {
  QString Text;  // lines separated by '\n'
  TextEncoding Encoding = TextEncoding::Utf8;
};

// Whether the text can be written in the encoding without losing a character.
bool FitsEncoding(const QString& text, TextEncoding encoding);

// CR LF and lone CR become '\n'.
DecodedText DecodeText(const QByteArray& bytes);
// Every '\n' becomes CR LF. Text that Latin-1 cannot hold is written as UTF-8 instead;
// encoding tells which one was used.
QByteArray EncodeText(const QString& text, TextEncoding& encoding);

// Writes beside the file, syncs and renames over it, so a failure keeps the old file whole;
// false with the reason in error.
bool WriteFileSafely(const QString& path, const QByteArray& bytes, QString& error);

// Both return false with the system's reason in error when the file cannot be used.
bool LoadTextFile(const QString& path, DecodedText& loaded, QString& error);
bool SaveTextFile(const QString& path, const QString& text, TextEncoding& encoding,
                  QString& error);

}  // namespace tarmel
