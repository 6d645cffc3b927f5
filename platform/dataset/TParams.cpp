#include "platform/dataset/TParams.h"

#include "platform/core/OvExceptions.h"

#include <QHash>

void TParam::setValue(const QVariant &v)
{
    m_value = v;
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        m_type = TFieldType::Integer;
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        m_type = TFieldType::Float;
        break;
    case QMetaType::QDate:
        m_type = TFieldType::Date;
        break;
    case QMetaType::QDateTime:
        m_type = TFieldType::DateTime;
        break;
    case QMetaType::Bool:
        m_type = TFieldType::Boolean;
        break;
    case QMetaType::QByteArray:
        m_type = TFieldType::Blob;
        break;
    case QMetaType::QString:
        m_type = TFieldType::String;
        break;
    default:
        if (v.metaType() == QMetaType::fromType<Currency>())
            m_type = TFieldType::Currency;
        break; // null or other: the type stays
    }
}

TParam *TParams::findParam(const QString &name)
{
    for (auto &p : m_items)
        if (p.name().compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

const TParam *TParams::findParam(const QString &name) const
{
    return const_cast<TParams *>(this)->findParam(name);
}

TParam &TParams::paramByName(const QString &name)
{
    TParam *p = findParam(name);
    if (!p)
        throw EDatabaseError(QStringLiteral("Parametro '%1' non trovato").arg(name));
    return *p;
}

const TParam &TParams::paramByName(const QString &name) const
{
    return const_cast<TParams *>(this)->paramByName(name);
}

TParam &TParams::addParam(const QString &name, TFieldType type)
{
    if (TParam *p = findParam(name))
        return *p;
    m_items.append(TParam(name, type));
    return m_items.last();
}

void TParams::rebuildFrom(const QString &commandText)
{
    // The same texts come back for every employee of an import: their names
    // are read once (a handful of texts a run; the cache starts again past
    // a few hundred, as texts with lists written into them are each new).
    static thread_local QHash<QString, QStringList> known;
    auto it = known.constFind(commandText);
    if (it == known.cend()) {
        if (known.size() >= 512)
            known.clear();
        it = known.insert(commandText, parseNames(commandText));
    }
    QList<TParam> next;
    for (const QString &n : *it) {
        const TParam *old = findParam(n);
        next.append(old ? *old : TParam(n));
    }
    m_items = next;
}

QStringList TParams::parseNames(const QString &sql)
{
    QStringList names;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    auto isWord = [](QChar c) { return c.isLetterOrNumber() || c == u'_'; };
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'\'' || c == u'"') { // quoted text or name; doubled quote inside
            ++i;
            while (i < n) {
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            const qsizetype end = sql.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == u':') {
            if (i + 1 < n && sql[i + 1] == u':') { // PostgreSQL cast
                i += 2;
                continue;
            }
            if (i > 0 && isWord(sql[i - 1])) { // a colon inside a word (a time, a label)
                ++i;
                continue;
            }
            qsizetype j = i + 1;
            while (j < n && isWord(sql[j]))
                ++j;
            if (j > i + 1) {
                const QString name = sql.mid(i + 1, j - i - 1);
                bool seen = false;
                for (const QString &x : names)
                    seen = seen || x.compare(name, Qt::CaseInsensitive) == 0;
                if (!seen)
                    names.append(name);
            }
            i = j;
        } else {
            ++i;
        }
    }
    return names;
}
