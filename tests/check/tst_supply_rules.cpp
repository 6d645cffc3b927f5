// The rules on what a supply's values mean, on the demo school's own supply
// (tests/golden/demo-CUR26.txt, as the office writes it): the clean supply
// passes, and each realistic fault put into it is found at its record and
// position, by its rule, with the payee named and where to correct it.
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/check/VelSupplyRules.h"
#include "src/prj/unit/model/VelCodFis.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

using Records = QList<QByteArray>; // 1,897 characters each

Records demoSupply()
{
    QFile f(QStringLiteral(VELCU_SOURCE_DIR "/tests/golden/demo-CUR26.txt"));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no golden supply");
    Records out;
    for (QByteArray line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        line.replace("GGMMAAAA", "16022026"); // the day of writing, as the golden file hides it
        out << line.left(1897);
    }
    return out;
}

QByteArray bytes(const Records &records)
{
    QByteArray out;
    for (const QByteArray &r : records)
        out += r + "A\r\n";
    return out;
}

// The index of the first record of a type for a payee.
int recordOf(const Records &r, char type, const QByteArray &payee)
{
    for (int i = 0; i < r.size(); ++i)
        if (r[i].at(0) == type && r[i].mid(25, 16).trimmed() == payee)
            return i;
    qFatal("no record %c for %s", type, payee.constData());
}

// The 1-based position of a field's value in a record; -1 when absent.
int valueAt(const QByteArray &rec, const QByteArray &code)
{
    for (int i = 0; i < 75; ++i)
        if (rec.mid(89 + i * 24, 8) == code)
            return 90 + i * 24 + 8;
    return -1;
}

void setValue(QByteArray &rec, const QByteArray &code, const QByteArray &value, bool right)
{
    const int pos = valueAt(rec, code);
    if (pos < 0)
        qFatal("no field %s", code.constData());
    rec.replace(pos - 1, 16, right ? value.rightJustified(16, ' ') : value.leftJustified(16, ' '));
}

// A field put in the first free slot.
int addField(QByteArray &rec, const QByteArray &code, const QByteArray &value)
{
    for (int i = 0; i < 75; ++i)
        if (rec.mid(89 + i * 24, 8).trimmed().isEmpty()) {
            rec.replace(89 + i * 24, 24, code + value.rightJustified(16, ' '));
            return 90 + i * 24 + 8;
        }
    qFatal("no free slot");
}

// The fault, and where its finding must stand (0-based record, position).
struct Where
{
    int record;
    int position;
};
using Fault = std::function<Where(Records &)>;

const QByteArray kBianchi = "BNCLRA80L65D458L";   // BIANCHI LAURA, F, 25/07/1980, Faenza
const QByteArray kGiordano = "GRDSFN81A09A662V";  // GIORDANO, spouse and children
const QByteArray kSelfEmployed = "GLLSRA83E67L781Q"; // two self-employed entries

} // namespace

Q_DECLARE_METATYPE(Fault)

class TstSupplyRules : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QList<TVelSupplyProblem> check(const Records &records)
    {
        const QString path = m_dir.filePath(QStringLiteral("CUR26"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write");
        f.write(bytes(records));
        f.close();
        return TVelSupplyCheck().run({path});
    }

    static QString all(const QList<TVelSupplyProblem> &problems)
    {
        QStringList lines;
        for (const TVelSupplyProblem &p : problems)
            lines << p.text();
        return lines.join(QLatin1Char('\n'));
    }

private slots:
    void theDemoSupplyIsClean()
    {
        const QList<TVelSupplyProblem> problems = check(demoSupply());
        QVERIFY2(problems.isEmpty(), qPrintable(all(problems)));
    }

    void eachFaultFoundByItsRule_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("payee"); // empty: records A and B

        auto row = [](const char *name, const char *rule, const char *message, const QByteArray &payee, Fault f) {
            QTest::newRow(name) << f << QString::fromLatin1(rule) << QString::fromUtf8(message)
                                << QString::fromLatin1(payee);
        };
        // a value of a payee's record: the record, the field, the new value
        auto field = [](char type, const QByteArray &payee, const QByteArray &code, const QByteArray &v, bool right,
                        const QByteArray &at = QByteArray()) {
            return Fault([=](Records &r) {
                const int i = recordOf(r, type, payee);
                setValue(r[i], code, v, right);
                return Where{i, valueAt(r[i], at.isEmpty() ? code : at)};
            });
        };
        // bytes put at a position of record A or B, found at `found` (the same by default)
        auto position = [](int record, int pos, const QByteArray &v, int found = 0) {
            return Fault([=](Records &r) {
                r[record].replace(pos - 1, v.size(), v);
                return Where{record, found > 0 ? found : pos};
            });
        };

        // tax codes
        row("tax code against the birth date", "codice-fiscale-nascita", "il codice fiscale indica la nascita il 25/07/..80",
            kBianchi, field('D', kBianchi, "DA002005", "25071981", true, "DA002001"));
        row("spouse's code the payee's", "familiare-codice", "è quello del percipiente", kGiordano,
            field('G', kGiordano, "DB601002", kGiordano, false));
        // places
        row("province XX", "provincia", "\"XX\" non è la sigla di una provincia italiana", kBianchi,
            field('D', kBianchi, "DA002021", "XX", false));
        row("province of birth of a province gone", "provincia-nascita", "\"FO\" non è la sigla", kBianchi,
            field('D', kBianchi, "DA002007", "FO", false));
        row("EE for a birth in Faenza", "provincia-nascita-estero", "indica un comune italiano (D458)", kBianchi,
            field('D', kBianchi, "DA002007", "EE", false));
        // the agent's CAP, in every D record: said once, at the first (BIANCHI's)
        row("CAP of four digits", "cap", "il CAP ha cinque cifre", kBianchi, Fault([](Records &r) {
                for (QByteArray &rec : r)
                    if (rec.at(0) == 'D')
                        setValue(rec, "DA001006", "4812", true);
                const int i = recordOf(r, 'D', kBianchi);
                return Where{i, valueAt(r[i], "DA001006")};
            }));
        row("municipality code not a cadastral one", "codice-comune", "non è il codice catastale", kBianchi,
            field('D', kBianchi, "DA002026", "Z404", false));
        // amounts
        row("negative withholding", "importo-negativo", "importo negativo", kBianchi,
            field('G', kBianchi, "DB001022", "-300,00", true));
        row("withholding above income", "ritenute-reddito", "oltre i redditi dei punti 1-5", kBianchi,
            field('G', kBianchi, "DB001021", "30000,00", true));
        row("withholding above gross tax", "ritenute-imposta-lorda", "oltre l'imposta lorda", kBianchi,
            Fault([](Records &r) {
                const int i = recordOf(r, 'G', kBianchi);
                addField(r[i], "DB001361", "1000,00");
                return Where{i, valueAt(r[i], "DB001021")};
            }));
        // dates and days
        row("birth date to come", "data-nascita", "data di nascita nel futuro", kBianchi,
            field('D', kBianchi, "DA002005", "25072080", true));
        row("relationship from next year", "inizio-rapporto", "dopo l'anno 2025", kBianchi,
            field('G', kBianchi, "DB001008", "01032026", true));
        row("366 days in 2025", "giorni", "366 giorni: l'anno 2025 ne ha 365", kBianchi,
            field('G', kBianchi, "DB001006", "366", true));
        // records of a certification
        row("G written twice", "record-ripetuto", "scritto due volte", kBianchi, Fault([](Records &r) {
                const int i = recordOf(r, 'G', kBianchi);
                r.insert(i + 1, r[i]);
                return Where{i + 1, 1};
            }));
        row("module 2 without module 1", "moduli", "i moduli cominciano da 1", kBianchi,
            Fault([](Records &r) {
                const int i = recordOf(r, 'G', kBianchi);
                r[i].replace(17, 8, "00000002");
                return Where{i, 18};
            }));
        row("second H entry numbered 3", "moduli", "modulo H numero 3 dopo il numero 1", kSelfEmployed,
            Fault([](Records &r) {
                const int i = recordOf(r, 'H', kSelfEmployed) + 1;
                r[i].replace(17, 8, "00000003");
                return Where{i, 18};
            }));
        row("G without fields", "record-vuoto", "senza campi", kBianchi, Fault([](Records &r) {
                const int i = recordOf(r, 'G', kBianchi);
                r[i].replace(89, 1800, QByteArray(1800, ' '));
                return Where{i, 90};
            }));
        // records A and B
        row("intermediary's type for the agent itself", "fornitore-sostituto", "il fornitore è il sostituto stesso", "",
            position(0, 21, "10"));
        row("intermediary without commitment", "intermediario", "senza l'impegno a trasmettere", "",
            position(1, 412, "RSSMRA80A01H501U", 428));
        row("commitment date without intermediary", "intermediario", "data dell'impegno senza", "",
            position(1, 429, "16022026"));
        row("communication not signed", "firme", "manca la firma della comunicazione", "", position(1, 411, "0"));
        row("charge code 16", "codice-carica", "i codici vanno da 1 a 15", "", position(1, 327, "16"));
    }

    void eachFaultFoundByItsRule()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, rule);
        QFETCH(QString, message);
        QFETCH(QString, payee);
        Records records = demoSupply();
        const Where at = fault(records);
        const QList<TVelSupplyProblem> problems = check(records);
        const VelSupplyRules::Rule &r = VelSupplyRules::rule(rule.toLatin1().constData());
        const TVelSupplyProblem *found = nullptr;
        for (const TVelSupplyProblem &p : problems)
            if (p.rule == rule && p.record == at.record + 1 && p.position == at.position && p.message.contains(message))
                found = &p;
        QVERIFY2(found, qPrintable(all(problems)));
        QCOMPARE(found->warning, r.level == VelSupplyRules::Level::Warning);
        QVERIFY2(!found->where.isEmpty(), qPrintable(found->text()));
        if (!payee.isEmpty()) {
            QCOMPARE(found->payeeCode, payee);
            // surname and name as the D record gives them, and the code
            QVERIFY2(found->payee.contains(QRegularExpression(QStringLiteral("^[A-Z' ]+ [A-Z' ]+ \\(%1\\)$").arg(payee))),
                     qPrintable(found->text()));
            QVERIFY2(found->text().contains(QStringLiteral("Percipiente ") + found->payee), qPrintable(found->text()));
        }
        // the fault is said once
        int said = 0;
        for (const TVelSupplyProblem &p : problems)
            said += p.rule == rule && p.record == found->record && p.position == found->position;
        QCOMPARE(said, 1);
    }

    // The rules as the office types a value, and the tax code read back with
    // the letters of homonyms.
    void typedValues()
    {
        struct Case
        {
            const char *column, *value, *refusal; // refusal empty: accepted
        };
        const Case cases[] = {
            {"SSOSCAP", "48121", ""},          {"SSOSCAP", "4812", "cinque cifre"},
            {"SSOSCAP", "4812A", "cinque cifre"}, {"SSOSPROV", "fc", ""},
            {"SSOSPROV", "EE", "solo per la provincia di nascita"}, {"SCUDPROVNAS", "EE", ""},
            {"SCUDPROVNAS", "RAV", "non è la sigla"}, {"SCARCODICE", "15", ""},
            {"SCARCODICE", "0", "da 1 a 15"},  {"SSOSCFRAPPR", "RSSMRA80A01H501A", "carattere di controllo errato"},
            {"SCUDIDENTSERVTELE", "ABC123", "17 cifre"}, {"SCUDIDENTSERVTELE", "26021612345678901", ""},
            {"SCUDPROGRDICH", "12", "6 cifre"}, {"SCUDPROGRDICH", "000012", ""},
            {"SCUDCAPDFAP", "H199", ""},       {"SCUDCAPDFAP", "Z404", "codice catastale"},
            {"STFOCODICE", "10", ""},          {"STFOCODICE", "02", "non ammesso"},
            {"SSOSDENOM", "4812", ""}, // no rule reads it
        };
        for (const Case &k : cases) {
            const QString why = VelSupplyRules::checkColumn(QLatin1String(k.column), QLatin1String(k.value));
            QVERIFY2(QByteArray(k.refusal).isEmpty() ? why.isEmpty() : why.contains(QString::fromUtf8(k.refusal)),
                     qPrintable(QStringLiteral("%1=%2: %3").arg(QLatin1String(k.column), QLatin1String(k.value), why)));
        }
        // RSSMRA80A01H501U and its homonym with the day written as letters
        // (0 -> L, 1 -> M): both born on 1/1/1980, male
        const QDate birth(1980, 1, 1);
        QCOMPARE(VelSupplyRules::taxCodeAgainstBirth(QStringLiteral("RSSMRA80A01H501U"), birth, QStringLiteral("M")), QString());
        const QString homonym = QStringLiteral("RSSMRA80A") + QStringLiteral("LMH501");
        const QString coded = homonym + VelCodFis::personalCheck(homonym);
        QCOMPARE(VelSupplyRules::taxCodeAgainstBirth(coded, birth, QStringLiteral("M")), QString());
        QVERIFY(VelSupplyRules::taxCodeAgainstBirth(coded, QDate(1980, 1, 2), QStringLiteral("M")).contains(QStringLiteral("01/01/..80")));
        QVERIFY(VelSupplyRules::taxCodeAgainstBirth(coded, birth, QStringLiteral("F")).contains(QStringLiteral("sesso M")));
    }
};

QTEST_MAIN(TstSupplyRules)
#include "tst_supply_rules.moc"
