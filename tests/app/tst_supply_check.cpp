// The supply checker on files made here by hand: a sound supply passes, and
// each fault of the layout, put into an otherwise sound file, is named with
// its file, record, position and the value found.
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/cli/VelCli.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <sys/resource.h>

namespace {

const QByteArray kSupplier = "80012345676";
const QByteArray kAgent = "80012345676";
const QByteArray kProducer = "01234567897";
const QByteArray kRossi = "RSSMRA80A01H501U";
const QByteArray kBianchi = "BNCMRA82A41H501G";

// A record of 1,897 blanks with fields put at 1-based positions.
struct Rec
{
    QByteArray b = QByteArray(1897, ' ');
    Rec &put(int pos, const QByteArray &v)
    {
        b.replace(pos - 1, v.size(), v);
        return *this;
    }
    Rec &slot(int index, const QByteArray &code, const QByteArray &value)
    {
        return put(90 + index * 24, code.leftJustified(8, ' ') + value.leftJustified(16, ' ', true));
    }
    QByteArray line() const { return b + "A\r\n"; }
};

QByteArray num(qint64 n, int width)
{
    return QByteArray::number(n).rightJustified(width, '0');
}

Rec recA(int part = 0, int parts = 0)
{
    Rec r;
    r.put(1, "A").put(16, "CUR26").put(21, "01").put(23, kSupplier).put(522, num(part, 4)).put(526, num(parts, 4));
    return r;
}

Rec recB(int certifications)
{
    Rec r;
    r.put(1, "B").put(2, kAgent).put(18, "00000001").put(74, kProducer).put(91, "00").put(137, "ISTITUTO DANTE");
    r.put(309, "00").put(402, num(certifications, 8)).put(410, "0").put(411, "1").put(428, "1").put(429, "15022026");
    return r;
}

Rec body(char type, const QByteArray &payee, int progressive)
{
    Rec r;
    r.put(1, QByteArray(1, type)).put(2, kAgent).put(18, "00000001").put(26, payee).put(42, num(progressive, 5));
    r.put(47, QByteArray(17, '0')).put(64, QByteArray(6, '0'));
    return r;
}

Rec recD(const QByteArray &payee, int progressive)
{
    Rec r = body('D', payee, progressive);
    r.slot(0, "DA001001", kAgent).slot(1, "DA002001", payee).slot(2, "DA002002", "ROSSI").slot(3, "DA002005", "01011980");
    r.slot(4, "DA002006", "SAN GIOVANNI IN ").slot(5, "DA002006", "+MARIGNANO");
    return r;
}

Rec recG(const QByteArray &payee, int progressive)
{
    Rec r = body('G', payee, progressive);
    r.slot(0, "DB001001", QByteArray("1").rightJustified(16, ' ')).slot(1, "DB001021", QByteArray("25000,50").rightJustified(16, ' '));
    return r;
}

Rec recH(const QByteArray &payee, int progressive)
{
    Rec r = body('H', payee, progressive);
    r.slot(0, "AU001001", "A").slot(1, "AU001004", QByteArray("1000,00").rightJustified(16, ' '));
    return r;
}

Rec recZ(int b, int c, int d, int g, int h)
{
    Rec r;
    r.put(1, "Z").put(16, num(b, 9)).put(25, num(c, 9)).put(34, num(d, 9)).put(43, num(g, 9)).put(52, num(h, 9));
    return r;
}

// A sound supply: ROSSI (D G), BIANCHI (D H).
QList<Rec> sound()
{
    return {recA(), recB(2), recD(kRossi, 1), recG(kRossi, 1), recD(kBianchi, 2), recH(kBianchi, 2), recZ(1, 0, 2, 1, 1)};
}

QByteArray join(const QList<Rec> &records)
{
    QByteArray out;
    for (const Rec &r : records)
        out += r.line();
    return out;
}

using Fault = std::function<QByteArray(QList<Rec> &)>;

// The address space of the process limited to what it uses now plus some
// MB, for the life of the object.
class AddressLimit
{
public:
    explicit AddressLimit(qint64 extraMb)
    {
        getrlimit(RLIMIT_AS, &m_old);
        QFile status(QStringLiteral("/proc/self/status"));
        qint64 kb = 0;
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("VmSize:"))
                    kb = line.mid(7).trimmed().split(' ').value(0).toLongLong();
        rlimit r = m_old;
        r.rlim_cur = rlim_t((kb + extraMb * 1024) * 1024);
        setrlimit(RLIMIT_AS, &r);
    }
    ~AddressLimit() { setrlimit(RLIMIT_AS, &m_old); }

private:
    rlimit m_old{};
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TstSupplyCheck : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }

    static QString all(const QList<TVelSupplyProblem> &problems)
    {
        QStringList lines;
        for (const TVelSupplyProblem &p : problems)
            lines << p.text();
        return lines.join(QLatin1Char('\n'));
    }

private slots:
    void taxCodes()
    {
        QVERIFY(TVelSupplyCheck::validTaxCode(QStringLiteral("RSSMRA80A01H501U")));
        QVERIFY(TVelSupplyCheck::validTaxCode(QStringLiteral("80012345676")));
        QVERIFY(TVelSupplyCheck::validTaxCode(QStringLiteral("01234567897")));
        // letters in place of digits (people born the same day in the same place)
        QVERIFY(TVelSupplyCheck::validTaxCode(QStringLiteral("RSSMRA80A01H50MM")));
        for (const char *bad : {"RSSMRA80A01H501A", "RSSMRA80Z01H501U", "RSSMRA80A01H501", "80012345670", "00000000000",
                                "8001234567X", "", "rssmra80a01h501u"})
            QVERIFY2(!TVelSupplyCheck::validTaxCode(QLatin1String(bad)), bad);
        QVERIFY(TVelSupplyCheck::validDate("29022024"));
        QVERIFY(!TVelSupplyCheck::validDate("29022025"));
        QVERIFY(!TVelSupplyCheck::validDate("2025-01-"));
    }

    void soundSupplyPasses()
    {
        TVelSupplyCheck check;
        const auto problems = check.run({write(QStringLiteral("CUR26"), join(sound()))});
        QVERIFY2(problems.isEmpty(), qPrintable(all(problems)));
        QCOMPARE(check.certifications(), 2);
        QCOMPARE(check.records(), 7);
    }

    void eachFaultNamed_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("value");

        auto raw = [](std::function<void(QByteArray &)> f) {
            return Fault([f](QList<Rec> &r) {
                QByteArray bytes = join(r);
                f(bytes);
                return bytes;
            });
        };
        auto edit = [](std::function<void(QList<Rec> &)> f) {
            return Fault([f](QList<Rec> &r) {
                f(r);
                return join(r);
            });
        };

        // lines
        QTest::newRow("short line") << raw([](QByteArray &b) { b.remove(1900 * 2 + 500, 1); }) << 3 << 0
                                    << QStringLiteral("lungo 1899 caratteri invece di 1900") << QString();
        QTest::newRow("LF without CR") << raw([](QByteArray &b) { b.remove(1900 * 4 - 2, 1); }) << 4 << 1899
                                       << QStringLiteral("LF senza CR") << QString();
        QTest::newRow("no final A") << raw([](QByteArray &b) { b[1900 * 3 + 1897] = ' '; }) << 4 << 1898
                                    << QStringLiteral("carattere di controllo \"A\"") << QStringLiteral(" ");
        // order
        QTest::newRow("G before its D") << edit([](QList<Rec> &r) { r.swapItemsAt(2, 3); }) << 3 << 1
                                        << QStringLiteral("senza il record D della sua certificazione") << QStringLiteral("G");
        QTest::newRow("B not after A") << edit([](QList<Rec> &r) { r.swapItemsAt(0, 1); }) << 1 << 1
                                       << QStringLiteral("il record B deve seguire subito il record A") << QStringLiteral("B");
        QTest::newRow("record after Z") << edit([](QList<Rec> &r) { r.append(recH(kBianchi, 2)); }) << 8 << 1
                                        << QStringLiteral("record dopo il record Z") << QStringLiteral("H");
        QTest::newRow("C among certifications")
            << edit([](QList<Rec> &r) {
                   Rec c = body('C', QByteArray(16, ' '), 0);
                   c.slot(0, "CT001001", "1");
                   r.insert(4, c);
                   r.last().put(25, num(1, 9));
               })
            << 5 << 1 << QStringLiteral("i record C devono seguire il record B") << QStringLiteral("C");
        QTest::newRow("unknown type") << edit([](QList<Rec> &r) { r[3].put(1, "X"); }) << 4 << 1
                                      << QStringLiteral("tipo di record sconosciuto") << QStringLiteral("X");
        QTest::newRow("no Z") << edit([](QList<Rec> &r) { r.removeLast(); }) << 6 << 0
                              << QStringLiteral("manca il record Z") << QString();
        QTest::newRow("G of another certification") << edit([](QList<Rec> &r) { r[3].put(42, "00002"); }) << 4 << 26
                                                    << QStringLiteral("non appartiene alla certificazione")
                                                    << QStringLiteral("RSSMRA80A01H501U 00002");
        QTest::newRow("certification in two places")
            << edit([](QList<Rec> &r) {
                   r.insert(6, recD(kRossi, 1));
                   r.last().put(34, num(3, 9));
               })
            << 7 << 26 << QStringLiteral("compare già al record 3") << QStringLiteral("RSSMRA80A01H501U 00001");
        // fixed fields
        QTest::newRow("supply code") << edit([](QList<Rec> &r) { r[0].put(16, "CUR25"); }) << 1 << 16
                                     << QStringLiteral("codice fornitura diverso da \"CUR26\"") << QStringLiteral("CUR25");
        QTest::newRow("supplier type") << edit([](QList<Rec> &r) { r[0].put(21, "02"); }) << 1 << 21
                                       << QStringLiteral("tipo di fornitore") << QStringLiteral("02");
        QTest::newRow("part not a number") << edit([](QList<Rec> &r) { r[0].put(522, "00 1"); }) << 1 << 522
                                           << QStringLiteral("progressivo dell'invio non numerico") << QStringLiteral("00 1");
        QTest::newRow("module progressive") << edit([](QList<Rec> &r) { r[4].put(18, "0000000A"); }) << 5 << 18
                                            << QStringLiteral("progressivo del modulo") << QStringLiteral("0000000A");
        QTest::newRow("certification progressive") << edit([](QList<Rec> &r) { r[2].put(42, "0000 "); r[3].put(42, "0000 "); })
                                                   << 3 << 42 << QStringLiteral("progressivo della certificazione")
                                                   << QStringLiteral("0000 ");
        QTest::newRow("operation") << edit([](QList<Rec> &r) { r[2].put(84, "X"); }) << 3 << 84
                                   << QStringLiteral("tipo di operazione") << QStringLiteral("X");
        QTest::newRow("agent differs from B") << edit([](QList<Rec> &r) { r[5].put(2, "01234567897     "); }) << 6 << 2
                                              << QStringLiteral("diverso da quello del record B")
                                              << QStringLiteral("01234567897     ");
        QTest::newRow("final filler") << edit([](QList<Rec> &r) { r[3].put(1890, "X"); }) << 4 << 1890
                                      << QStringLiteral("1890-1897 devono essere vuote") << QStringLiteral("X       ");
        // counts
        QTest::newRow("Z count of D") << edit([](QList<Rec> &r) { r[6].put(34, num(3, 9)); }) << 7 << 34
                                      << QStringLiteral("dichiara 3 record D ma il file ne contiene 2")
                                      << QStringLiteral("000000003");
        QTest::newRow("Z count not a number") << edit([](QList<Rec> &r) { r[6].put(43, "00000000X"); }) << 7 << 43
                                              << QStringLiteral("numero dei record G non numerico")
                                              << QStringLiteral("00000000X");
        QTest::newRow("B certifications") << edit([](QList<Rec> &r) { r[1].put(402, num(5, 8)); }) << 2 << 402
                                          << QStringLiteral("dichiara 5 certificazioni ma la fornitura ne contiene 2")
                                          << QStringLiteral("00000005");
        // tax codes
        QTest::newRow("payee check letter") << edit([](QList<Rec> &r) { r[4].put(26, "BNCMRA82A41H501W"); r[5].put(26, "BNCMRA82A41H501W"); })
                                            << 5 << 26 << QStringLiteral("codice fiscale del percipiente non valido")
                                            << QStringLiteral("BNCMRA82A41H501W");
        QTest::newRow("agent check digit") << edit([](QList<Rec> &r) { r[1].put(2, "80012345670"); }) << 2 << 2
                                           << QStringLiteral("codice fiscale del sostituto d'imposta non valido")
                                           << QStringLiteral("80012345670     ");
        QTest::newRow("producer") << edit([](QList<Rec> &r) { r[1].put(74, "00000000000"); }) << 2 << 74
                                  << QStringLiteral("produttore del software") << QStringLiteral("00000000000     ");
        QTest::newRow("tax code in a field") << edit([](QList<Rec> &r) { r[2].slot(0, "DA001001", "80012345671"); }) << 3 << 98
                                             << QStringLiteral("codice fiscale non valido nel campo DA001001")
                                             << QStringLiteral("80012345671     ");
        // dates and amounts
        QTest::newRow("date of birth") << edit([](QList<Rec> &r) { r[2].slot(3, "DA002005", "31022025"); }) << 3 << 170
                                       << QStringLiteral("data non valida nel campo DA002005")
                                       << QStringLiteral("31022025        ");
        QTest::newRow("commitment date") << edit([](QList<Rec> &r) { r[1].put(429, "32012026"); }) << 2 << 429
                                         << QStringLiteral("data dell'impegno non valida") << QStringLiteral("32012026");
        QTest::newRow("amount with a point") << edit([](QList<Rec> &r) { r[3].slot(1, "DB001021", QByteArray("25000.50").rightJustified(16, ' ')); })
                                             << 4 << 122 << QStringLiteral("formato del tracciato")
                                             << QStringLiteral("        25000.50");
        QTest::newRow("amount left-aligned") << edit([](QList<Rec> &r) { r[3].slot(1, "DB001021", "25000,50"); }) << 4 << 122
                                             << QStringLiteral("importo non allineato a destra")
                                             << QStringLiteral("25000,50        ");
        // key-value slots
        QTest::newRow("field code shape") << edit([](QList<Rec> &r) { r[3].slot(0, "D1001001", "1"); }) << 4 << 90
                                          << QStringLiteral("codice di campo non valido") << QStringLiteral("D1001001");
        QTest::newRow("continuation alone") << edit([](QList<Rec> &r) { r[2].slot(5, "DA002007", "+MARIGNANO"); }) << 3 << 210
                                            << QStringLiteral("continuazione del campo DA002007")
                                            << QStringLiteral("DA002007+MARIGNANO      ");
        QTest::newRow("field after a gap") << edit([](QList<Rec> &r) { r[5].slot(5, "AU001010", "X"); }) << 6 << 210
                                           << QStringLiteral("campo dopo uno spazio vuoto") << QStringLiteral("AU001010");
        QTest::newRow("value without code") << edit([](QList<Rec> &r) { r[5].put(90 + 2 * 24 + 8, "ABC"); }) << 6 << 146
                                            << QStringLiteral("valore senza codice") << QStringLiteral("ABC             ");
        QTest::newRow("field twice") << edit([](QList<Rec> &r) { r[2].slot(6, "DA002002", "VERDI"); }) << 3 << 234
                                     << QStringLiteral("campo DA002002 ripetuto") << QStringLiteral("DA002002");
        QTest::newRow("payee twice for the agent")
            << edit([](QList<Rec> &r) {
                   r[4] = recD(kRossi, 2);
                   r[5] = recH(kRossi, 2);
               })
            << 5 << 26 << QStringLiteral("il codice fiscale RSSMRA80A01H501U ha già una certificazione dello stesso "
                                         "sostituto d'imposta (record 3)")
            << QString::fromLatin1(kRossi);
        QTest::newRow("control character") << edit([](QList<Rec> &r) { r[2].put(300, "\t"); }) << 3 << 300
                                           << QStringLiteral("carattere di controllo nel record") << QStringLiteral("\\x09");
    }

    void eachFaultNamed()
    {
        QFETCH(Fault, fault);
        QFETCH(int, record);
        QFETCH(int, position);
        QFETCH(QString, message);
        QFETCH(QString, value);
        QList<Rec> records = sound();
        const QString path = write(QStringLiteral("CUR26"), fault(records));
        TVelSupplyCheck check;
        const QList<TVelSupplyProblem> problems = check.run({path});
        QVERIFY2(!problems.isEmpty(), "the fault was not found");
        bool named = false;
        for (const TVelSupplyProblem &p : problems)
            named = named
                    || (p.record == record && p.position == position && p.message.contains(message)
                        && p.file == path && (value.isNull() || p.value == value));
        QVERIFY2(named, qPrintable(all(problems)));
    }

    void fieldCodesBelongToTheirRecord()
    {
        // sound: social-security and annotation codes in G, a Quadro CT record
        QList<Rec> r = sound();
        r[3].slot(2, "DC001001", "7012345678").slot(3, "AN001701", "AC");
        Rec c = body('C', QByteArray(16, ' '), 0);
        c.slot(0, "CT001005", "SEGRETERIA@SCUOL");
        r.insert(2, c);
        r.last() = recZ(1, 1, 2, 1, 1);
        TVelSupplyCheck check;
        const QString good = write(QStringLiteral("CUR26_codici"), join(r));
        QVERIFY2(check.run({good}).isEmpty(), qPrintable(all(check.run({good}))));

        // a tax-data code in D, a personal-data code in G, the severance in a
        // record H of its own, a payee's code in C: each named where it stands
        QList<Rec> bad = r;
        bad[3].slot(6, "DB001001", QByteArray("1").rightJustified(16, ' '));
        bad[4].slot(4, "DA002002", "ROSSI");
        Rec h = body('H', kRossi, 1);
        h.slot(0, "AU001001", "A").slot(1, "DB001801", QByteArray("8000,00").rightJustified(16, ' '));
        bad.insert(5, h);
        bad[2].slot(1, "DA002002", "ROSSI");
        bad.last() = recZ(1, 1, 2, 1, 2);
        const QString path = write(QStringLiteral("CUR26_codici_errati"), join(bad));
        const QList<TVelSupplyProblem> problems = check.run({path});
        QCOMPARE(problems.size(), 4);
        const QStringList expected = {
            path + QStringLiteral(", record 3, posizione 114: campo DA002002 non ammesso nel record C, "
                                  "che porta solo i codici CT (trovato \"DA002002\")."),
            path + QStringLiteral(", record 4, posizione 234: campo DB001001 non ammesso nel record D, "
                                  "che porta solo i codici DA (trovato \"DB001001\")."),
            path + QStringLiteral(", record 5, posizione 186: campo DA002002 non ammesso nel record G, "
                                  "che porta solo i codici DB, DC e AN (trovato \"DA002002\")."),
            path + QStringLiteral(", record 6, posizione 114: campo DB001801 non ammesso nel record H, "
                                  "che porta solo i codici AU (trovato \"DB001801\")."),
        };
        for (qsizetype i = 0; i < expected.size(); ++i)
            QCOMPARE(problems[i].text(), expected[i]);
    }

    void supplyInSeveralFiles()
    {
        // ROSSI in the first file, BIANCHI in the second: sound.
        auto part = [](int k, int n, const QByteArray &payee, int progressive) {
            return QList<Rec>{recA(k, n), recB(2), recD(payee, progressive), recG(payee, progressive), recZ(1, 0, 1, 1, 0)};
        };
        const QString p1 = write(QStringLiteral("CUR26"), join(part(1, 2, kRossi, 1)));
        const QString p2 = write(QStringLiteral("CUR26_2"), join(part(2, 2, kBianchi, 2)));
        TVelSupplyCheck check;
        QVERIFY2(check.run({p1, p2}).isEmpty(), qPrintable(all(check.run({p1, p2}))));
        QCOMPARE(check.certifications(), 2);

        // one part alone: the others are missing
        QVERIFY(all(check.run({p1})).contains(QStringLiteral("mancano le parti 2")));
        // two files numbered 1 of 2
        const QString p2as1 = write(QStringLiteral("CUR26_b"), join(part(1, 2, kBianchi, 2)));
        QVERIFY(all(check.run({p1, p2as1})).contains(QStringLiteral("progressivo dell'invio già usato dal file")));
        // totals that disagree
        const QString p2of3 = write(QStringLiteral("CUR26_c"), join(part(2, 3, kBianchi, 2)));
        QVERIFY(all(check.run({p1, p2of3})).contains(QStringLiteral("numero totale degli invii diverso")));
        // a certification in both files
        const QString split = write(QStringLiteral("CUR26_d"), join(part(2, 2, kRossi, 1)));
        const auto problems = check.run({p1, split});
        QVERIFY(all(problems).contains(QStringLiteral("certificazione divisa tra i file")));
        // a single file that says it is part 1 of 1 is not numbered as one file
        const QString single = write(QStringLiteral("CUR26_e"), join([] {
                                         QList<Rec> r = sound();
                                         r[0] = recA(1, 0);
                                         return r;
                                     }()));
        QVERIFY(all(check.run({single})).contains(QStringLiteral("progressivo dell'invio incoerente")));
    }

    void notASupplyRefusedAtOnce_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qint64>("size"); // the file is the head, then zeros up to this size
        QTest::addColumn<QString>("message");
        const qint64 huge = qint64(3) << 30; // sparse: no disk taken
        QTest::newRow("text") << QByteArray("Gentile ufficio,\nin allegato...\n") << qint64(0)
                              << QStringLiteral("il primo record è lungo 17 byte invece di 1900");
        QTest::newRow("shorter than a record") << recA().line().left(1000) << qint64(0)
                                               << QStringLiteral("il file è lungo 1000 byte, meno di un record");
        QTest::newRow("huge, zeros") << QByteArray() << huge
                                     << QStringLiteral("il primo record non comincia con un tipo di record");
        QTest::newRow("huge, a record without its end") << recA().b << huge
                                                        << QStringLiteral("il primo record non termina con \"A\" e CR LF");
        QTest::newRow("records of another length") << QByteArray(recA().b.left(1799) + "A\r\n").repeated(4000)
                                                   << qint64(0) << QStringLiteral("il primo record è lungo 1802 byte");
    }

    void notASupplyRefusedAtOnce()
    {
        // A few MB more than the process has now: reading a whole file of
        // gigabytes would fail (std::bad_alloc), a record at a time does not.
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        const QString path = write(QStringLiteral("non_fornitura"), head);
        if (size > 0)
            QVERIFY(QFile::resize(path, size));
        AddressLimit limit(256);
        TVelSupplyCheck check;
        const QList<TVelSupplyProblem> problems = check.run({path});
        QCOMPARE(problems.size(), 1);
        QCOMPARE(problems[0].file, path);
        QCOMPARE(problems[0].record, 0);
        QVERIFY2(problems[0].text().startsWith(path + QStringLiteral(": non è il file di una fornitura CU: ") + message),
                 qPrintable(problems[0].text()));
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("controlla"), path}, out, err), 1);
        out.flush();
        QVERIFY2(outText.contains(path + QStringLiteral(": non è il file di una fornitura CU")), qPrintable(outText));
        QVERIFY(outText.contains(QStringLiteral("Controllo non superato: 1 problemi in 1 file.")));
    }

    void hugeTailReadARecordAtATime()
    {
        // A sound beginning, then a gigabyte without a line end: one record of
        // that length, and the checker's memory stays that of a few records.
        const QString path = write(QStringLiteral("CUR26_coda"), join({recA(), recB(0)}));
        QVERIFY(QFile::resize(path, qint64(1) << 30));
        AddressLimit limit(256);
        TVelSupplyCheck check;
        const QList<TVelSupplyProblem> problems = check.run({path});
        QVERIFY2(all(problems).contains(path + QStringLiteral(", record 3: il record è lungo %1 caratteri")
                                                   .arg((qint64(1) << 30) - 2 * 1900)),
                 qPrintable(all(problems)));
        QVERIFY(all(problems).contains(QStringLiteral("manca il record Z")));
        // lines of garbage: the problems stop at the limit
        QByteArray garbage;
        for (int i = 0; i < 2000; ++i)
            garbage += "riga qualsiasi\r\n";
        const QString many = write(QStringLiteral("CUR26_righe"), join({recA()}) + garbage);
        const QList<TVelSupplyProblem> capped = check.run({many});
        QVERIFY(capped.size() <= TVelSupplyCheck::MaxProblemsPerFile + 4);
        QVERIFY(all(capped).contains(QStringLiteral("troppi problemi (200): il controllo del file si ferma qui")));
    }

    void commandLine()
    {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        const QString good = write(QStringLiteral("CUR26"), join(sound()));
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("controlla"), good}, out, err), 0);
        QVERIFY2(outText.contains(QStringLiteral("Controllo superato: 1 file, 7 record, 2 certificazioni.")), qPrintable(outText));

        QList<Rec> r = sound();
        r[6].put(34, num(3, 9));
        const QString bad = write(QStringLiteral("CUR26_x"), join(r));
        outText.clear();
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("controlla"), bad}, out, err), 1);
        QVERIFY2(outText.contains(bad + QStringLiteral(", record 7, posizione 34: il record Z dichiara 3 record D ma il "
                                                        "file ne contiene 2 (trovato \"000000003\").")),
                 qPrintable(outText));
        // a missing file, no file, a wrong option, an unknown command
        outText.clear();
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("controlla"), m_dir.filePath(QStringLiteral("nessuno"))}, out, err), 1);
        QVERIFY(outText.contains(QStringLiteral("il file non esiste")));
        // no file: the supplies of the year's folder of the installation
        {
            QTemporaryDir root;
            const QByteArray stage = qgetenv("VELCU_STAGE_DIR");
            qputenv("VELCU_STAGE_DIR", QFile::encodeName(root.path()));
            errText.clear();
            QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("controlla")}, out, err), 1);
            QVERIFY2(errText.startsWith(QStringLiteral("Nessuna fornitura nella cartella ")), qPrintable(errText));
            QVERIFY(QFile::copy(good, root.filePath(QStringLiteral("USR/KZ2025/DichCU/CUR26"))));
            outText.clear();
            QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("controlla")}, out, err), 0);
            QVERIFY2(outText.contains(root.filePath(QStringLiteral("USR/KZ2025/DichCU/CUR26")) + QStringLiteral(":\n"))
                         && outText.contains(QStringLiteral("Controllo superato: 1 file")),
                     qPrintable(outText));
            qputenv("VELCU_STAGE_DIR", stage);
        }
        errText.clear();
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("stampa"), QStringLiteral("--colore")}, out, err), 2);
        QCOMPARE(errText, QStringLiteral("Opzione non valida per \"stampa\": --colore (velcu-cli stampa --help per l'elenco).\n"));
        errText.clear();
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("fornitura"), QStringLiteral("--out")}, out, err), 2);
        QCOMPARE(errText, QStringLiteral("Manca il valore dell'opzione --out.\n"));
        errText.clear();
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("invia")}, out, err), 2);
        QVERIFY(errText.startsWith(QStringLiteral("Comando sconosciuto: \"invia\"")));
        // a database that is not there: one line, status 1, nothing created
        errText.clear();
        const QString missing = m_dir.filePath(QStringLiteral("manca.sqlite"));
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("stato"), QStringLiteral("--db-engine"),
                              QStringLiteral("sqlite"), QStringLiteral("--db-path"), missing},
                             out, err),
                 1);
        QCOMPARE(errText, QStringLiteral("Il database \"%1\" non esiste: crearlo con velcu-db create.\n").arg(missing));
        QVERIFY(!QFile::exists(missing));
    }
};

QTEST_GUILESS_MAIN(TstSupplyCheck)
#include "tst_supply_check.moc"
