// The window's file input and output. Data files come from many editors and may hold
// names in Latin-1; the editor must give back exactly what it was given, so the encoding
// is decided by whether the bytes survive a UTF-8 round trip, and kept with the text.
#include "textFile.h"

#include <QFile>

#include "text_files.h"
#include <algorithm>

namespace tarmel {

namespace {

QString NormaliseLineEnds(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

bool FitsEncoding(const QString& text, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8) return true;
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

DecodedText DecodeText(const QByteArray& bytes) {
  DecodedText decoded;
  QString text = QString::fromUtf8(bytes);
  // Invalid sequences decode to replacement characters and would not come back as the
  // same bytes; such a file is Latin-1, where every byte is a character.
  if (text.toUtf8() != bytes) {
    text = QString::fromLatin1(bytes);
    decoded.Encoding = TextEncoding::Latin1;
  }
  decoded.Text = NormaliseLineEnds(std::move(text));
  return decoded;
}

QByteArray EncodeText(const QString& text, TextEncoding& encoding) {
  QString withCrLf = text;
  withCrLf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  if (!FitsEncoding(withCrLf, encoding)) {
    encoding = TextEncoding::Utf8;
  }
  return encoding == TextEncoding::Latin1 ? withCrLf.toLatin1() : withCrLf.toUtf8();
}

bool WriteFileSafely(const QString& path, const QByteArray& bytes, QString& error) {
  std::string reason;
  if (WriteFileSafely(QFile::encodeName(path).toStdString(),
                      std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                      reason)) {
    return true;
  }
  error = QString::fromStdString(reason);
  return false;
}

bool LoadTextFile(const QString& path, DecodedText& loaded, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    error = file.errorString();
    return false;
  }
  loaded = DecodeText(bytes);
  return true;
}

bool SaveTextFile(const QString& path, const QString& text, TextEncoding& encoding,
                  QString& error) {
  TextEncoding used = encoding;
  const QByteArray bytes = EncodeText(text, used);
  if (!WriteFileSafely(path, bytes, error)) return false;
  encoding = used;
  return true;
}

}  // namespace tarmel
