#include "DemoPayees.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "src/prj/unit/model/VelCodFis.h"

#include <QDate>
#include <QList>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

// Keys of the copies: every key of a copied row grows by the copy's base,
// (index of the copy) x kStride; demo keys stay below kStride.
constexpr qint64 kStride = 10000;

struct Table
{
    const char *name;
    const char *key;     // primary key: demo rows are those below the stride
    const char *owner;   // expression giving the owning person (ianaid)
};

// The payroll rows a payee owns, in the order they must be inserted.
const Table kTables[] = {
    {"tana_anagrafiche", "ianaid", "t.ianaid"},
    {"tanaabt_indirizzi", "ianaabtid", "t.ianaid"},
    {"tanaper_personale", "ianaperid", "t.ianaid"},
    {"tacom_rapporti", "iacomid", "(SELECT o.ianaid FROM tanaper_personale o WHERE o.ianaperid = t.ianaperid)"},
    {"tregs_registri", "iregsid", "(SELECT o.ianaid FROM tacom_rapporti a JOIN tanaper_personale o ON o.ianaperid = a.ianaperid "
                       "WHERE a.iacomid = t.iacomid)"},
    {"tvacr_vocicalcolate", "ivacrid", "(SELECT o.ianaid FROM tregs_registri r JOIN tacom_rapporti a ON a.iacomid = r.iacomid "
                            "JOIN tanaper_personale o ON o.ianaperid = a.ianaperid WHERE r.iregsid = t.iregsid)"},
    {"tvarr_varritenute", "ivarrid", "(SELECT o.ianaid FROM tregs_registri r JOIN tacom_rapporti a ON a.iacomid = r.iacomid "
                          "JOIN tanaper_personale o ON o.ianaperid = a.ianaperid WHERE r.iregsid = t.iregsid)"},
    {"tadetr_detrazioniregs", "iadetrid", "(SELECT o.ianaid FROM tregs_registri r JOIN tacom_rapporti a ON a.iacomid = r.iacomid "
                              "JOIN tanaper_personale o ON o.ianaperid = a.ianaperid WHERE r.iregsid = t.iregsid)"},
    {"tass_assenze", "iassid", "(SELECT o.ianaid FROM tacom_rapporti a JOIN tanaper_personale o ON o.ianaperid = a.ianaperid "
                     "WHERE a.iacomid = t.iacomid)"},
    {"tcong_conguagli", "icongid", "(SELECT o.ianaid FROM tacom_rapporti a JOIN tanaper_personale o ON o.ianaperid = a.ianaperid "
                        "WHERE a.iacomid = t.iacomid)"},
    {"tcfsa_accfuorisistema", "icfsaid", "(SELECT o.ianaid FROM tacom_rapporti a JOIN tanaper_personale o "
                              "ON o.ianaperid = a.ianaperid WHERE a.iacomid = t.iacomid)"},
    {"tadet_detrazioni", "iadetid", "t.ianaid"},
    {"tadef_detrfigli", "iadefid", "(SELECT d.ianaid FROM tadet_detrazioni d WHERE d.iadetid = t.iadetid)"},
    {"tafp_fondipensione", "iafpid", "t.ianaid"},
};

// Key columns a copy shifts.
const QStringList kKeys = {
    QStringLiteral("ianaid"),  QStringLiteral("ianaabtid"), QStringLiteral("ianaperid"), QStringLiteral("iacomid"),
    QStringLiteral("iregsid"), QStringLiteral("ivacrid"),   QStringLiteral("ivarrid"),   QStringLiteral("ivarmid"),
    QStringLiteral("iadetrid"), QStringLiteral("iassid"),   QStringLiteral("icongid"),   QStringLiteral("iadetid"),
    QStringLiteral("iadefid"), QStringLiteral("iafpid"),    QStringLiteral("icfsaid")};

const char *const kSurnames[] = {
    "ROSSI", "RUSSO", "FERRARI", "ESPOSITO", "BIANCHI", "ROMANO", "COLOMBO", "RICCI", "MARINO", "GRECO",
    "BRUNO", "GALLO", "CONTI", "DE LUCA", "MANCINI", "COSTA", "GIORDANO", "RIZZO", "LOMBARDI", "MORETTI",
    "BARBIERI", "FONTANA", "SANTORO", "MARIANI", "RINALDI", "CARUSO", "FERRARA", "GALLI", "MARTINI", "LEONE",
    "LONGO", "GENTILE", "MARTINELLI", "VITALE", "LOMBARDO", "SERRA", "COPPOLA", "DE SANTIS", "D'ANGELO",
    "MARCHETTI", "PARISI", "VILLA", "CONTE", "FERRO", "FABBRI", "BIANCO", "MARINI", "GRASSO", "VALENTINI",
    "MESSINA", "SALA", "DE ANGELIS", "GATTI", "PELLEGRINI", "PALUMBO", "SANNA", "FARINA", "RIVA", "MONTI"};
const char *const kMale[] = {"MARCO", "LUCA", "GIUSEPPE", "ANDREA", "FRANCESCO", "ALESSANDRO", "MATTEO",
                             "LORENZO", "DAVIDE", "SIMONE", "FEDERICO", "RICCARDO", "STEFANO", "PAOLO",
                             "GIOVANNI", "ANTONIO", "ROBERTO", "NICOLA", "FABIO", "GABRIELE"};
const char *const kFemale[] = {"GIULIA", "FRANCESCA", "CHIARA", "SARA", "LAURA", "ANNA", "ELENA", "MARTINA",
                               "VALENTINA", "SILVIA", "ALESSIA", "FEDERICA", "SOFIA", "ELISA", "ILARIA",
                               "MARTA", "PAOLA", "CRISTINA", "BEATRICE", "GIORGIA"};

// Deterministic mixing of the payee number (the same on every machine).
quint32 mix(quint32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

QString letters(const QString &text, bool consonants)
{
    QString out;
    for (const QChar c : text.toUpper()) {
        if (c < u'A' || c > u'Z')
            continue;
        const bool vowel = QStringLiteral("AEIOU").contains(c);
        if (vowel != consonants)
            out += c;
    }
    return out;
}

QString threeLetters(const QString &text, bool isName)
{
    const QString cons = letters(text, true);
    if (isName && cons.size() >= 4)
        return QString(cons[0]) + cons[2] + cons[3];
    return (cons + letters(text, false) + QStringLiteral("XXX")).left(3);
}

QVariantList ids(QSqlQuery &q)
{
    QVariantList out;
    while (q.next())
        out << q.value(0);
    return out;
}

}

QString demoTaxCode(const QString &surname, const QString &name, int year, int month, int day, bool female,
                    const QString &cadastral)
{
    if (!QDate(year, month, day).isValid() || cadastral.size() != 4)
        return QString();
    static const char kMonths[] = "ABCDEHLMPRST";
    const QString code = threeLetters(surname, false) + threeLetters(name, true)
                         + QStringLiteral("%1").arg(year % 100, 2, 10, QLatin1Char('0')) + QChar(kMonths[month - 1])
                         + QStringLiteral("%1").arg(day + (female ? 40 : 0), 2, 10, QLatin1Char('0'))
                         + cadastral.toUpper();
    const QChar check = VelCodFis::personalCheck(code);
    return check.isNull() ? QString() : code + check;
}

DemoPayeesReport generateDemoPayees(TOvSQLConnection &conn, int count,
                                    const std::function<void(int, int)> &progress)
{
    DemoPayeesReport report;
    QSqlQuery q = conn.exec(QStringLiteral("SELECT ianaid FROM tana_anagrafiche WHERE ianaid < %1 ORDER BY ianaid")
                                .arg(kStride));
    const QVariantList demo = ids(q);
    if (demo.isEmpty())
        throw EOvError(QStringLiteral("Nessun percipiente dimostrativo da cui generare: serve --demo."));
    // Every key of the demo rows must stay below the stride, or copies would
    // collide with each other.
    for (const Table &t : kTables) {
        QSqlQuery cols = conn.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(QLatin1String(t.name)));
        const QSqlRecord rec = cols.record();
        for (int i = 0; i < rec.count(); ++i) {
            const QString c = rec.fieldName(i).toLower();
            if (!kKeys.contains(c))
                continue;
            QSqlQuery m = conn.exec(QStringLiteral("SELECT MAX(t.%1) FROM %2 t WHERE t.%3 < %4 AND %5 < %4")
                                        .arg(c, QLatin1String(t.name), QLatin1String(t.key))
                                        .arg(kStride)
                                        .arg(QLatin1String(t.owner)));
            if (m.next() && m.value(0).toLongLong() >= kStride)
                throw EOvError(QStringLiteral("Chiavi dei dati dimostrativi troppo alte in %1.%2 per generare copie.")
                                   .arg(QLatin1String(t.name), c));
        }
    }
    q = conn.exec(QStringLiteral("SELECT COUNT(*) FROM tana_anagrafiche WHERE ianaid >= %1").arg(kStride));
    // Payees are added in order, so the ones there are the first ones.
    report.existing = q.next() ? q.value(0).toInt() : 0;
    q = QSqlQuery();
    const int perRound = int(demo.size());
    // Copies are numbered by round and demo person: (round x span + person).
    const qint64 span = demo.last().toLongLong() + 1;
    if ((qint64(count) / perRound + 1) * span * kStride + kStride > 2000000000LL)
        throw EOvError(QStringLiteral("Troppi percipienti da generare: %1.").arg(count));

    // Tax codes in use: a generated person never takes one of them.
    QSet<QString> used;
    q = conn.exec(QStringLiteral("SELECT sanacodfiscale FROM tana_anagrafiche WHERE sanacodfiscale IS NOT NULL"));
    while (q.next())
        used.insert(q.value(0).toString());
    q = QSqlQuery();

    TOvTransaction tx(&conn);
    tx.StartTransaction();
    for (int k = report.existing + 1; k <= count;) {
        // One round: the payees k..last that copy demo payees first..last.
        const int round = (k - 1) / perRound;
        const int firstIdx = (k - 1) % perRound;
        const int lastIdx = std::min(perRound - 1, firstIdx + (count - k));
        const qint64 lo = demo[firstIdx].toLongLong();
        const qint64 hi = demo[lastIdx].toLongLong();
        // Base of a copy: (round x span + demo person) x stride, unique per
        // payee and above every demo key (the first round starts at 1).
        const QString base = QStringLiteral("((%1 + %OWNER%) * %2)").arg(qint64(round + 1) * span).arg(kStride);
        for (const Table &t : kTables) {
            QSqlQuery cols = conn.exec(QStringLiteral("SELECT * FROM %1 WHERE 1 = 0").arg(QLatin1String(t.name)));
            const QSqlRecord rec = cols.record();
            QStringList names, values;
            for (int i = 0; i < rec.count(); ++i) {
                const QString c = rec.fieldName(i).toLower();
                names << c;
                if (kKeys.contains(c))
                    values << QStringLiteral("t.%1 + %2").arg(c, QString(base).replace(QStringLiteral("%OWNER%"),
                                                                                        QLatin1String(t.owner)));
                else
                    values << QStringLiteral("t.") + c;
            }
            cols = QSqlQuery();
            conn.exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %1 t WHERE t.%4 < %5 AND %6 BETWEEN %7 AND %8")
                          .arg(QLatin1String(t.name), names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")),
                               QLatin1String(t.key))
                          .arg(kStride)
                          .arg(QLatin1String(t.owner))
                          .arg(lo)
                          .arg(hi));
        }
        // Names, employee codes and tax codes of the new persons.
        QSqlQuery people = conn.exec(
            QStringLiteral("SELECT ana.ianaid, ana.isexid, ana.dananascita, ana.sanacodfiscale, "
                           "com.scomcodcatastale, sta.sstacodcatastale "
                           "FROM tana_anagrafiche ana "
                           "LEFT JOIN tcom_comuni com ON com.icomid = ana.icomid_nas "
                           "LEFT JOIN tsta_stati sta ON sta.istaid = ana.istaid_nas "
                           "WHERE ana.ianaid BETWEEN %1 AND %2 ORDER BY ana.ianaid")
                .arg((qint64(round + 1) * span + lo) * kStride)
                .arg((qint64(round + 1) * span + hi) * kStride + kStride - 1));
        struct Person { qint64 id; bool female; QDate born; bool hasCode; QString cadastral; };
        QList<Person> list;
        while (people.next())
            list.append({people.value(0).toLongLong(), people.value(1).toInt() == 2, people.value(2).toDate(),
                         !people.value(3).isNull() && !people.value(3).toString().isEmpty(),
                         people.value(4).isNull() ? people.value(5).toString() : people.value(4).toString()});
        people = QSqlQuery();
        for (const Person &p : list) {
            const quint32 h = mix(quint32(p.id / kStride));
            const QString surname = QString::fromLatin1(kSurnames[h % (sizeof kSurnames / sizeof *kSurnames)]);
            const QString name = p.female ? QString::fromLatin1(kFemale[(h >> 8) % (sizeof kFemale / sizeof *kFemale)])
                                          : QString::fromLatin1(kMale[(h >> 8) % (sizeof kMale / sizeof *kMale)]);
            // Born within about three years of the copied payee, a day later
            // while the tax code is taken.
            QDate born = p.born.addDays(qint64(h % 1095) - 547);
            QVariant code = QVariant(QMetaType::fromType<QString>());
            if (p.hasCode) {
                QString c = demoTaxCode(surname, name, born.year(), born.month(), born.day(), p.female, p.cadastral);
                while (used.contains(c)) {
                    born = born.addDays(1);
                    c = demoTaxCode(surname, name, born.year(), born.month(), born.day(), p.female, p.cadastral);
                }
                used.insert(c);
                code = c;
            }
            conn.exec(QStringLiteral("UPDATE tana_anagrafiche SET sanacognome = :S, sananome = :N, sanacodfiscale = :C, "
                                     "dananascita = :D WHERE ianaid = :I"),
                      {{QStringLiteral("S"), surname}, {QStringLiteral("N"), name}, {QStringLiteral("C"), code},
                       {QStringLiteral("D"), born}, {QStringLiteral("I"), p.id}});
            conn.exec(QStringLiteral("UPDATE tanaper_personale SET sanapercodice = :C WHERE ianaid = :I"),
                      {{QStringLiteral("C"), QStringLiteral("G%1").arg(p.id / kStride)}, {QStringLiteral("I"), p.id}});
        }
        const int done = lastIdx - firstIdx + 1;
        report.added += done;
        k += done;
        if (progress)
            progress(report.added, count - report.existing);
    }
    tx.Commit();
    return report;
}
