#include "platform/db/OvSchemaInstaller.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QString firstWords(const QString &statement)
{
    QString s = statement.simplified();
    if (s.size() > 80)
        s = s.left(77) + QStringLiteral("...");
    return s;
}

// Scripts already applied, with their hash; empty on a new database.
QHash<QString, QString> appliedScripts(TOvSQLConnection &conn)
{
    QHash<QString, QString> done;
    QSqlQuery q = conn.newQuery();
    // Missing table (a new database) simply reads as nothing applied.
    if (q.exec(QStringLiteral("SELECT sschfile, sschhash FROM tov_schema")))
        while (q.next())
            done.insert(q.value(0).toString(), q.value(1).toString());
    return done;
}

// SQLite has no "ADD COLUMN IF NOT EXISTS": the statement is run without
// the clause when the column is missing and skipped when it is there.
// Returns the statement to run, or an empty text to skip it.
QString sqliteAddColumn(TOvSQLConnection &conn, const QString &statement)
{
    static const QRegularExpression re(
        QStringLiteral("^(?:\\s*--[^\\n]*\\n)*\\s*ALTER\\s+TABLE\\s+(\\w+)\\s+ADD\\s+COLUMN\\s+IF\\s+NOT\\s+EXISTS\\s+(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(statement);
    if (!m.hasMatch())
        return statement;
    const QString table = m.captured(1);
    const QString column = m.captured(2);
    QSqlQuery q = conn.newQuery();
    // Identifiers come from our own scripts and match \w+ above.
    if (q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
        while (q.next())
            if (q.value(1).toString().compare(column, Qt::CaseInsensitive) == 0)
                return QString();
    QString plain = statement;
    static const QRegularExpression clause(QStringLiteral("\\s+IF\\s+NOT\\s+EXISTS(?=\\s+\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch c = clause.match(plain, m.capturedEnd(1));
    if (c.hasMatch())
        plain.remove(c.capturedStart(), c.capturedLength());
    return plain;
}

}

TOvSchemaInstaller::TOvSchemaInstaller(TOvSQLConnection &connection, const QString &sqlDir)
    : m_connection(connection)
    , m_dir(sqlDir)
{
}

QStringList TOvSchemaInstaller::scripts(const QString &subdir) const
{
    const QDir dir(subdir.isEmpty() ? m_dir : m_dir + QLatin1Char('/') + subdir);
    if (!dir.exists())
        throw EOvError(QStringLiteral("Cartella degli script del database non trovata: \"%1\".")
                           .arg(QDir::toNativeSeparators(dir.path())));
    const QString other = m_connection.isPostgres() ? QStringLiteral(".sqlite.sql") : QStringLiteral(".postgres.sql");
    QStringList result;
    const QStringList names = dir.entryList({QStringLiteral("*.sql")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (name.endsWith(other, Qt::CaseInsensitive))
            continue;
        result << (subdir.isEmpty() ? name : subdir + QLatin1Char('/') + name);
    }
    return result;
}

QString TOvSchemaInstaller::substitute(const QString &sql, TOvDbEngine engine)
{
    QString s = sql;
    s.replace(QLatin1String("@BLOB@"),
              engine == TOvDbEngine::PostgreSQL ? QLatin1String("BYTEA") : QLatin1String("BLOB"));
    return s;
}

QStringList TOvSchemaInstaller::splitStatements(const QString &sql)
{
    QStringList out;
    QString current;
    bool meaningful = false;   // the current piece holds more than blanks and comments
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto flush = [&]() {
        if (meaningful)
            out << current.trimmed();
        current.clear();
        meaningful = false;
    };
    while (i < n) {
        const QChar c = sql.at(i);
        const QChar next = i + 1 < n ? sql.at(i + 1) : QChar();
        if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end;
            current += sql.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            current += sql.mid(i, stop - i);
            i = stop;
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A doubled quote inside is part of the text: scanning on from
            // the closing quote starts a new quoted run at once.
            const qsizetype end = sql.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            current += sql.mid(i, stop - i);
            meaningful = true;
            i = stop;
            continue;
        }
        if (c == QLatin1Char('$')) {
            // $tag$ ... $tag$ (PL/pgSQL bodies); a lone $ or $1 is plain text.
            qsizetype j = i + 1;
            while (j < n && (sql.at(j).isLetterOrNumber() || sql.at(j) == QLatin1Char('_')))
                ++j;
            const bool tagStartsWithDigit = j > i + 1 && sql.at(i + 1).isDigit();
            if (j < n && sql.at(j) == QLatin1Char('$') && !tagStartsWithDigit) {
                const QString tag = sql.mid(i, j - i + 1);
                const qsizetype end = sql.indexOf(tag, j + 1);
                const qsizetype stop = end < 0 ? n : end + tag.size();
                current += sql.mid(i, stop - i);
                meaningful = true;
                i = stop;
                continue;
            }
        }
        if (c == QLatin1Char(';')) {
            flush();
            ++i;
            continue;
        }
        if (!c.isSpace())
            meaningful = true;
        current += c;
        ++i;
    }
    flush();
    return out;
}

TOvSchemaInstaller::Report TOvSchemaInstaller::install(bool demo, bool force)
{
    if (!m_connection.isOpen())
        throw EDatabaseError(QStringLiteral("Errore del database: connessione chiusa, impossibile creare lo schema."));
    if (m_connection.inTransaction())
        throw EAssertionFailed(QStringLiteral("La creazione dello schema usa transazioni proprie."));

    QStringList todo = scripts(QString());
    if (demo)
        todo += scripts(QStringLiteral("demo"));
    const QHash<QString, QString> done = appliedScripts(m_connection);

    Report report;
    for (const QString &relative : todo) {
        QFile f(m_dir + QLatin1Char('/') + relative);
        if (!f.open(QIODevice::ReadOnly))
            throw EOvError(QStringLiteral("Impossibile leggere lo script \"%1\": %2").arg(f.fileName(), f.errorString()));
        const QByteArray bytes = f.readAll();
        const QString hash = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        if (!force && done.value(relative) == hash) {
            report.unchanged << relative;
            continue;
        }
        runScript(relative, QString::fromUtf8(bytes), hash, report);
        report.applied << relative;
    }
    return report;
}

void TOvSchemaInstaller::runScript(const QString &relative, const QString &text, const QString &hash, Report &report)
{
    if (onProgress)
        onProgress(QStringLiteral("Esecuzione di %1").arg(relative));
    const QStringList statements = splitStatements(substitute(text, m_connection.engine()));

    TOvTransaction tx(&m_connection);
    tx.StartTransaction();
    int number = 0;
    for (const QString &text : statements) {
        ++number;
        const QString statement = m_connection.isPostgres() ? text : sqliteAddColumn(m_connection, text);
        if (statement.isEmpty())
            continue;
        QSqlQuery q = m_connection.newQuery();
        if (!q.exec(statement)) {
            const QSqlError e = q.lastError();
            q = QSqlQuery();
            tx.Rollback();
            ovRaiseSqlError(e, QStringLiteral("script %1, istruzione %2 (%3)")
                                   .arg(relative).arg(number).arg(firstWords(statement)));
        }
    }
    m_connection.exec(QStringLiteral("DELETE FROM tov_schema WHERE sschfile = :F"), {{QStringLiteral("F"), relative}});
    m_connection.exec(QStringLiteral("INSERT INTO tov_schema (sschfile, sschhash, tschapplicato) VALUES (:F, :H, :T)"),
                      {{QStringLiteral("F"), relative},
                       {QStringLiteral("H"), hash},
                       {QStringLiteral("T"), QDateTime::currentDateTime()}});
    tx.Commit();
    report.statements += number;
}
