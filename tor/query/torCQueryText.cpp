#include "tor/query/torCQueryText.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/framework/Krypto.h"
#include "platform/framework/OvMessages.h"
#include "platform/sql/OvQueryCollection.h"

#include <QCoreApplication>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <memory>

namespace {

// The key of the catalogue's certificate. Changing it makes every shipped
// certificate invalid.
const QString kCertificateKey = QStringLiteral("TORQUERYKZ");
const QString kCrLf = QStringLiteral("\r\n");

const QString fQuery = QStringLiteral("Query");
const QString fTipo = QStringLiteral("Tipo");
const QString fIndice = QStringLiteral("Indice");
const QString fSQL = QStringLiteral("SQL");

TTorQueryText *s_process = nullptr;

bool isStatementKind(const QString &kind)
{
    static const QSet<QString> kinds{QStringLiteral("SELECT"), QStringLiteral("INSERT"), QStringLiteral("UPDATE"),
                                     QStringLiteral("DELETE"), QStringLiteral("EXECUTE")};
    return kinds.contains(kind);
}

}

TTorQueryText::TTorQueryText(QObject *parent)
    : TClientDataSet(parent)
{
    defineFields();
    // Any change of the rows makes the lookup tables stale.
    connect(this, &TClientDataSet::dataSetReset, this, [this] { invalidate(); });
    connect(this, &TClientDataSet::rowInserted, this, [this] { invalidate(); });
    connect(this, &TClientDataSet::rowRemoved, this, [this] { invalidate(); });
    connect(this, &TClientDataSet::rowChanged, this, [this] { invalidate(); });
    connect(this, &TClientDataSet::rowMoved, this, [this] { invalidate(); });
}

TTorQueryText::~TTorQueryText()
{
    if (s_process == this) {
        s_process = nullptr;
        setErrorContextProvider({});
    }
}

void TTorQueryText::defineFields()
{
    setFieldDefs({TFieldDef{fQuery, TFieldType::String, 100}, TFieldDef{fTipo, TFieldType::String, 20},
                  TFieldDef{fIndice, TFieldType::Integer, 0}, TFieldDef{fSQL, TFieldType::Memo, 0}});
    createDataSet();
    invalidate();
}

void TTorQueryText::ensureIndex() const
{
    if (m_indexValid)
        return;
    m_byKey.clear();
    m_first.clear();
    const int q = fieldIndex(fQuery), t = fieldIndex(fTipo), i = fieldIndex(fIndice), s = fieldIndex(fSQL);
    if (active() && q >= 0 && t >= 0 && i >= 0 && s >= 0) {
        const int n = recordCount();
        for (int r = 0; r < n; ++r) {
            const QString name = valueAt(r, q).toString();
            const QString kind = valueAt(r, t).toString();
            const QVariant idx = valueAt(r, i);
            const QString sql = valueAt(r, s).toString();
            const Key k{name, kind, idx.isNull() ? 0 : int(idx.toLongLong())};
            if (!m_byKey.contains(k))
                m_byKey.insert(k, sql);
            const auto pair = qMakePair(name, kind);
            if (!m_first.contains(pair))
                m_first.insert(pair, sql);
        }
    }
    m_indexValid = true;
}

QString TTorQueryText::statement(const QString &name, const QString &kind, int index) const
{
    ensureIndex();
    return m_byKey.value(Key{name, kind, index});
}

QString TTorQueryText::firstOf(const QString &name, const QString &kind) const
{
    ensureIndex();
    return m_first.value(qMakePair(name, kind));
}

void TTorQueryText::addStatement(const QString &name, const QString &kind, int index, const QString &sql)
{
    if (!active())
        createDataSet();
    appendRecord({name, kind, qlonglong(index), sql});
    invalidate();
}

void TTorQueryText::clearStatements()
{
    if (!active())
        createDataSet();
    emptyDataSet();
    invalidate();
}

void TTorQueryText::check(const QString &text, const QString &assertion, const QString &name)
{
    if (text.isEmpty())
        throw EAssertionFailed(assertion + name);
    m_lastOperation = name;
}

void TTorQueryText::SetQuery(const QString &name, TClientDataSet &query, int index, const QString &kind)
{
    query.close();
    query.setCommandText(QString());
    query.params().clear();
    const QString upper = name.toUpper();
    const QString k = kind.isEmpty() ? QStringLiteral("EXECUTE") : kind;
    query.setCommandText(statement(upper, k, index));
    check(query.commandText(), QStringLiteral("Query: "), upper);
}

void TTorQueryText::SetCommand(const QString &name, TClientDataSet &dataSet, const QString &kind)
{
    dataSet.setCommandText(firstOf(name, kind));
    check(dataSet.commandText(), QStringLiteral("Query: "), name);
}

void TTorQueryText::SetCollection(const QString &name, TOvQueryCollection &collection)
{
    SetCommand(name, collection, QStringLiteral("SELECT"));
    auto fill = [&](QStringList &list, const QString &kind) {
        list.clear();
        for (int i = 0;; ++i) {
            const QString sql = statement(name, kind, i);
            if (sql.isNull())
                break;
            list.append(sql);
        }
    };
    fill(collection.SQLInsert, QStringLiteral("INSERT"));
    fill(collection.SQLUpdate, QStringLiteral("UPDATE"));
    fill(collection.SQLDelete, QStringLiteral("DELETE"));
}

QString TTorQueryText::GetQueryText(const QString &name, const QString &kind)
{
    const QString sql = firstOf(name, kind);
    check(sql, QStringLiteral("Query : "), name);
    return sql;
}

void TTorQueryText::FormatQuery(TClientDataSet &dataSet, const QVariantList &values)
{
    const QString text = dataSet.commandText();
    const QStringView view(text);
    QString out;
    out.reserve(text.size());
    int next = 0;
    qsizetype from = 0; // the text from here on is not copied yet
    for (qsizetype i = text.indexOf(u'%'); i >= 0 && i + 1 < text.size(); i = text.indexOf(u'%', i)) {
        const QChar kind = text[i + 1];
        if (kind == u's' || kind == u'S') {
            if (next >= values.size())
                throw EAssertionFailed(QStringLiteral("FormatQuery: il testo della query chiede più valori "
                                                      "dei %1 forniti.").arg(values.size()));
            out += view.mid(from, i - from);
            out += values[next++].toString();
            from = i += 2;
        } else if (kind == u'%') {
            out += view.mid(from, i + 1 - from);
            from = i += 2;
        } else {
            ++i;
        }
    }
    out += view.mid(from);
    dataSet.setCommandText(out);
}

QString TTorQueryText::versionRowName()
{
    const QString exe = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    return QStringLiteral("VER_") + QFileInfo(exe).completeBaseName().toUpper();
}

QString TTorQueryText::requiredVersion(const QString &rowName) const
{
    const int q = fieldIndex(fQuery), t = fieldIndex(fTipo);
    if (!active() || q < 0 || t < 0)
        return QString();
    const int n = recordCount();
    for (int r = 0; r < n; ++r) {
        if (valueAt(r, q).toString() == rowName) {
            const QString v = valueAt(r, t).toString();
            return v.isNull() ? QStringLiteral("") : v;
        }
    }
    return QString();
}

void TTorQueryText::loadFromXml(const QString &path)
{
    auto fail = [&](int line, const QString &what) -> void {
        if (line > 0)
            throw EOvError(QStringLiteral("Catalogo delle query \"%1\", riga %2: %3").arg(path).arg(line).arg(what));
        throw EOvError(QStringLiteral("Catalogo delle query \"%1\": %2").arg(path, what));
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail(0, QStringLiteral("impossibile leggere il file (%1).").arg(f.errorString()));
    QDomDocument doc;
    QString error;
    int errorLine = 0, errorColumn = 0;
    if (!doc.setContent(&f, &error, &errorLine, &errorColumn))
        fail(errorLine, QStringLiteral("XML non valido: %1.").arg(error));
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("catalogue"))
        fail(root.lineNumber(), QStringLiteral("elemento principale \"%1\" invece di \"catalogue\".").arg(root.tagName()));

    struct Row
    {
        QString name, kind;
        int index;
        QString sql;
    };
    QList<Row> rows;
    QHash<Key, int> seen;
    for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        const int line = e.lineNumber();
        if (e.tagName() != QLatin1String("statement"))
            fail(line, QStringLiteral("elemento \"%1\" inatteso (atteso \"statement\").").arg(e.tagName()));
        Row r;
        r.name = e.attribute(QStringLiteral("name")).trimmed();
        r.kind = e.attribute(QStringLiteral("kind")).trimmed();
        const QString idx = e.attribute(QStringLiteral("index"), QStringLiteral("0")).trimmed();
        bool ok = false;
        r.index = idx.toInt(&ok);
        r.sql = e.text().trimmed();
        if (r.name.isEmpty())
            fail(line, QStringLiteral("istruzione senza nome."));
        if (r.name != r.name.toUpper())
            fail(line, QStringLiteral("il nome \"%1\" deve essere in maiuscolo.").arg(r.name));
        if (!ok || r.index < 0)
            fail(line, QStringLiteral("indice \"%1\" non valido per \"%2\".").arg(idx, r.name));
        if (r.kind.isEmpty())
            fail(line, QStringLiteral("tipo mancante per \"%1\".").arg(r.name));
        if (!r.name.startsWith(QLatin1String("VER_"))) {
            if (!isStatementKind(r.kind))
                fail(line, QStringLiteral("tipo \"%1\" non valido per \"%2\" (SELECT, INSERT, UPDATE, DELETE o "
                                          "EXECUTE).").arg(r.kind, r.name));
            if (r.sql.isEmpty())
                fail(line, QStringLiteral("testo SQL mancante per \"%1\".").arg(r.name));
        }
        const Key k{r.name, r.kind, r.index};
        if (seen.contains(k))
            fail(line, QStringLiteral("\"%1\" %2 indice %3 già definita alla riga %4.")
                           .arg(r.name, r.kind).arg(r.index).arg(seen.value(k)));
        seen.insert(k, line);
        rows.append(r);
    }

    clearStatements();
    disableControls();
    for (const Row &r : rows)
        appendRecord({r.name, r.kind, qlonglong(r.index), r.sql});
    mergeChangeLog();
    enableControls();
    first();
    invalidate();
}

void TTorQueryText::saveCatalogue(const QString &cdsPath)
{
    mergeChangeLog();
    saveToFile(cdsPath, TOvSafeFile::Access::Shared);
    writeCertificate(cdsPath);
}

void TTorQueryText::loadCatalogue(const QString &cdsPath)
{
    loadFromFile(cdsPath);
    invalidate();
    for (const QString &name : {fQuery, fTipo, fIndice, fSQL}) {
        if (fieldIndex(name) < 0) {
            close();
            defineFields();
            throw EOvError(QStringLiteral("Il file \"%1\" non è un catalogo delle query: manca la colonna %2.")
                               .arg(cdsPath, name));
        }
    }
    if (CheckCertificate) {
        ExpectedCertificate = certificateOf(cdsPath);
        CertificateFile = certificatePath(cdsPath);
    }
}

QString TTorQueryText::certificatePath(const QString &cdsPath)
{
    const QFileInfo fi(cdsPath);
    const QString suffix = fi.suffix();
    const QString stem = suffix.isEmpty() ? cdsPath : cdsPath.left(cdsPath.size() - suffix.size() - 1);
    return stem + QStringLiteral(".unxc");
}

QString TTorQueryText::certificateOf(const QString &filePath)
{
    QFile f(filePath);
    if (!f.open(QIODevice::ReadOnly))
        throw EOvError(QStringLiteral("Impossibile leggere il file \"%1\" per il certificato: %2")
                           .arg(filePath, f.errorString()));
    // The file as lines of text: the last line's end does not start a new one.
    QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    return Krypto(lines.join(kCrLf), kCertificateKey, 32, QLatin1Char('Z'), QLatin1Char('A'));
}

void TTorQueryText::writeCertificate(const QString &cdsPath)
{
    const QString target = certificatePath(cdsPath);
    const QByteArray text = (certificateOf(cdsPath) + kCrLf).toUtf8();
    // The routine's own error names the certificate's file and the cause.
    TOvSafeFile::writeFile(target, text, TOvSafeFile::Access::Shared);
}

bool TTorQueryText::certificateValid()
{
    if (!CheckCertificate)
        return true;
    const QString expected = ExpectedCertificate;
    ExpectedCertificate.clear();
    QString actual;
    if (!CertificateFile.isEmpty()) {
        QFile f(CertificateFile);
        if (f.open(QIODevice::ReadOnly))
            actual = QString::fromUtf8(f.readAll());
    }
    // No catalogue loaded means nothing was certified.
    if (expected.isEmpty())
        return false;
    return actual == expected + kCrLf;
}

TTorQueryText &QueryText()
{
    static std::unique_ptr<TTorQueryText> instance;
    if (!instance) {
        instance = std::make_unique<TTorQueryText>();
        s_process = instance.get();
        setErrorContextProvider([] {
            if (!s_process || s_process->lastOperation().isEmpty())
                return QString();
            return QStringLiteral("\r\nUltima operazione DB: ") + s_process->lastOperation();
        });
    }
    return *instance;
}
