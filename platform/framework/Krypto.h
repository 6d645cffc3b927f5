#pragma once
// Certificate of a text: a keyed digest (HMAC-SHA256 of the UTF-8 text under the
// key) as upper-case hex. It proves that a shipped file was not edited; it hides
// nothing. The last three arguments belong to the historic signature of the
// routine and are accepted for compatibility only: they do not change the result.
#include <QChar>
#include <QString>

QString Krypto(const QString &text, const QString &key, int blockSize = 32, QChar firstChar = QLatin1Char('Z'),
               QChar lastChar = QLatin1Char('A'));
