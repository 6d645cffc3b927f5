#include "platform/framework/Krypto.h"

#include "platform/core/OvExceptions.h"

#include <QMessageAuthenticationCode>

QString Krypto(const QString &text, const QString &key, int blockSize, QChar firstChar, QChar lastChar)
{
    Q_UNUSED(blockSize);
    Q_UNUSED(firstChar);
    Q_UNUSED(lastChar);
    if (key.isEmpty())
        throw EAssertionFailed(QStringLiteral("Krypto: la chiave è vuota."));
    const QByteArray mac =
        QMessageAuthenticationCode::hash(text.toUtf8(), key.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(mac.toHex().toUpper());
}
