#include "rag/connection/ragReportDefs.h"

#include "platform/core/OvExceptions.h"

#include <QDomDocument>
#include <QFile>
#include <QSet>

namespace {

struct Column
{
    bool present = false;
    QString text;
    QString encoding;
};

Column column(const QDomElement &e, const QString &name)
{
    Column c;
    if (e.hasAttribute(name)) {
        c.present = true;
        c.text = e.attribute(name);
        return c;
    }
    const QDomElement child = e.firstChildElement(name);
    if (!child.isNull()) {
        c.present = true;
        c.text = child.text();
        c.encoding = child.attribute(QStringLiteral("encoding")).trimmed().toLower();
    }
    return c;
}

}

QList<TRagReportDef> ragReadReportDefs(const QString &path)
{
    auto fail = [&](int line, const QString &what) {
        throw EOvError(QStringLiteral("Definizioni dei report \"%1\", riga %2: %3").arg(path).arg(line).arg(what));
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EOvError(QStringLiteral("Impossibile leggere le definizioni dei report \"%1\": %2")
                           .arg(path, f.errorString()));
    QDomDocument doc;
    QString error;
    int line = 0, col = 0;
    if (!doc.setContent(&f, &error, &line, &col))
        fail(line, QStringLiteral("XML non valido: %1.").arg(error));
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("reports"))
        fail(root.lineNumber(), QStringLiteral("elemento principale \"%1\" invece di \"reports\".").arg(root.tagName()));

    QList<TRagReportDef> out;
    QSet<int> ids;
    for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        const int at = e.lineNumber();
        if (e.tagName() != QLatin1String("report"))
            fail(at, QStringLiteral("elemento \"%1\" inatteso (atteso \"report\").").arg(e.tagName()));
        auto integer = [&](const QString &name, bool required) {
            const Column c = column(e, name);
            if (!c.present || c.text.trimmed().isEmpty()) {
                if (required)
                    fail(at, QStringLiteral("%1 mancante.").arg(name));
                return 0;
            }
            bool ok = false;
            const int v = c.text.trimmed().toInt(&ok);
            if (!ok)
                fail(at, QStringLiteral("%1 \"%2\" non è un numero intero.").arg(name, c.text.trimmed()));
            return v;
        };
        auto blob = [&](const QString &name) {
            const Column c = column(e, name);
            if (!c.present)
                return QByteArray();
            if (c.encoding == QLatin1String("base64")) {
                const auto r = QByteArray::fromBase64Encoding(c.text.trimmed().toLatin1(),
                                                              QByteArray::AbortOnBase64DecodingErrors);
                if (!r)
                    fail(at, QStringLiteral("%1: contenuto base64 non valido.").arg(name));
                return r.decoded.isNull() ? QByteArray("") : r.decoded;
            }
            if (!c.encoding.isEmpty())
                fail(at, QStringLiteral("%1: codifica \"%2\" sconosciuta.").arg(name, c.encoding));
            const QByteArray b = c.text.toUtf8();
            return b.isNull() ? QByteArray("") : b;
        };
        TRagReportDef d;
        d.IYRPTID = integer(QStringLiteral("IYRPTID"), true);
        d.IYRFOID = integer(QStringLiteral("IYRFOID"), true);
        d.IYRPTVERSION = integer(QStringLiteral("IYRPTVERSION"), false);
        d.SYRPTDESC = column(e, QStringLiteral("SYRPTDESC")).text.trimmed();
        const Column note = column(e, QStringLiteral("SYRPTNOTE"));
        d.SYRPTNOTE = note.present ? note.text.trimmed() : QString();
        d.BYRPTREPORT = blob(QStringLiteral("BYRPTREPORT"));
        d.BYRPTVAR = blob(QStringLiteral("BYRPTVAR"));
        if (ids.contains(d.IYRPTID))
            fail(at, QStringLiteral("IYRPTID %1 ripetuto.").arg(d.IYRPTID));
        ids.insert(d.IYRPTID);
        out.append(d);
    }
    return out;
}
