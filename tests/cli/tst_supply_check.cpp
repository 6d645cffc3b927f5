// The supply checker on files made here by hand: a sound supply passes, and
// each fault of the layout, put into an otherwise sound file, is named with
// its file, record, position and the value found.
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/cli/VelCli.h"
#include "tor/util/TorFileSet.h"
#include "support/SupplyRecords.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <sys/resource.h>

namespace {

using namespace SupplyRecords;

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
        QCOMPARE(check.records(), 8);
    }

    void eachFaultNamed_data()
    {
        // Single realistic faults put into the sound supply (records: 1 A, 2 B,
        // 3 C, 4 D and 5 G of ROSSI, 6 D and 7 H of BIANCHI, 8 Z); each must be
        // found where it stands, named by what is wrong.
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
        // a field's value replaced (left-aligned unless given 16 wide)
        const QList<Rec> clean = sound();
        auto value = [&](const char *name, int rec, const QByteArray &code, const QByteArray &v, const char *message) {
            const int pos = valueAt(clean[rec], code);
            QTest::newRow(name) << edit([rec, pos, v](QList<Rec> &r) { r[rec].put(pos, v.leftJustified(16, ' ')); })
                                << rec + 1 << pos << QString::fromUtf8(message) << QString();
        };
        // a field's code replaced
        auto code = [&](const char *name, int rec, const QByteArray &from, const QByteArray &to, const char *message) {
            const int pos = valueAt(clean[rec], from) - 8;
            QTest::newRow(name) << edit([rec, pos, to](QList<Rec> &r) { r[rec].put(pos, to); }) << rec + 1 << pos
                                << QString::fromUtf8(message) << QString();
        };

        // lines
        QTest::newRow("short line") << raw([](QByteArray &b) { b.remove(1900 * 2 + 500, 1); }) << 3 << 0
                                    << QStringLiteral("lungo 1899 caratteri invece di 1900") << QString();
        QTest::newRow("LF without CR") << raw([](QByteArray &b) { b.remove(1900 * 4 - 2, 1); }) << 4 << 1899
                                       << QStringLiteral("LF senza CR") << QString();
        QTest::newRow("no final A") << raw([](QByteArray &b) { b[1900 * 3 + 1897] = ' '; }) << 4 << 1898
                                    << QStringLiteral("carattere di controllo \"A\"") << QStringLiteral(" ");
        // order
        QTest::newRow("G before its D") << edit([](QList<Rec> &r) { r.swapItemsAt(3, 4); }) << 4 << 1
                                        << QStringLiteral("senza il record D della sua certificazione") << QStringLiteral("G");
        QTest::newRow("B not after A") << edit([](QList<Rec> &r) { r.swapItemsAt(0, 1); }) << 1 << 1
                                       << QStringLiteral("il record B deve seguire subito il record A") << QStringLiteral("B");
        QTest::newRow("record after Z") << edit([](QList<Rec> &r) { r.append(recH(kBianchi, 2)); }) << 9 << 1
                                        << QStringLiteral("record dopo il record Z") << QStringLiteral("H");
        QTest::newRow("C among certifications") << edit([](QList<Rec> &r) { r.move(2, 4); }) << 5 << 1
                                                << QStringLiteral("i record C devono seguire il record B") << QStringLiteral("C");
        QTest::newRow("unknown type") << edit([](QList<Rec> &r) { r[4].put(1, "X"); }) << 5 << 1
                                      << QStringLiteral("tipo di record sconosciuto") << QStringLiteral("X");
        QTest::newRow("no Z") << edit([](QList<Rec> &r) { r.removeLast(); }) << 7 << 0
                              << QStringLiteral("manca il record Z") << QString();
        QTest::newRow("G of another certification") << edit([](QList<Rec> &r) { r[4].put(42, "00002"); }) << 5 << 26
                                                    << QStringLiteral("non appartiene alla certificazione")
                                                    << QStringLiteral("RSSMRA80A01H501U 00002");
        QTest::newRow("certification in two places")
            << edit([](QList<Rec> &r) {
                   r.insert(7, recD(kRossi, 1));
                   r.last().put(34, num(3, 9));
               })
            << 8 << 26 << QStringLiteral("compare già al record 4") << QStringLiteral("RSSMRA80A01H501U 00001");
        QTest::newRow("one progressive, two payees")
            << edit([](QList<Rec> &r) {
                   r[5].put(42, "00001");
                   r[6].put(42, "00001");
               })
            << 6 << 42 << QStringLiteral("progressivo della certificazione già usato per il percipiente RSSMRA80A01H501U")
            << QStringLiteral("00001");
        QTest::newRow("payee twice for the agent")
            << edit([](QList<Rec> &r) {
                   r[5] = recD(kRossi, 2);
                   r[6] = recH(kRossi, 2);
               })
            << 6 << 26 << QStringLiteral("il codice fiscale RSSMRA80A01H501U ha già una certificazione dello stesso "
                                         "sostituto d'imposta (record 4)")
            << QString::fromLatin1(kRossi);
        // record A
        QTest::newRow("supply code") << edit([](QList<Rec> &r) { r[0].put(16, "CUR25"); }) << 1 << 16
                                     << QStringLiteral("codice fornitura diverso da \"CUR26\"") << QStringLiteral("CUR25");
        QTest::newRow("supplier type") << edit([](QList<Rec> &r) { r[0].put(21, "02"); }) << 1 << 21
                                       << QStringLiteral("tipo di fornitore") << QStringLiteral("02");
        QTest::newRow("supplier tax code") << edit([](QList<Rec> &r) { r[0].put(23, "80012345677"); }) << 1 << 23
                                           << QStringLiteral("codice fiscale del fornitore non valido") << QString();
        QTest::newRow("part not a number") << edit([](QList<Rec> &r) { r[0].put(522, "00 1"); }) << 1 << 522
                                           << QStringLiteral("progressivo dell'invio non numerico") << QStringLiteral("00 1");
        QTest::newRow("one file numbered 1 of 1") << edit([](QList<Rec> &r) { r[0] = recA(1, 1); }) << 1 << 522
                                                  << QStringLiteral("un solo file") << QStringLiteral("00010001");
        QTest::newRow("filler of A") << edit([](QList<Rec> &r) { r[0].put(5, "X"); }) << 1 << 2
                                     << QStringLiteral("posizioni 2-15 del record A") << QString();
        // record B
        QTest::newRow("agent check digit") << edit([](QList<Rec> &r) { r[1].put(2, "80012345670"); }) << 2 << 2
                                           << QStringLiteral("codice fiscale del sostituto d'imposta non valido")
                                           << QStringLiteral("80012345670     ");
        QTest::newRow("producer") << edit([](QList<Rec> &r) { r[1].put(74, "00000000000"); }) << 2 << 74
                                  << QStringLiteral("produttore del software") << QStringLiteral("00000000000     ");
        QTest::newRow("cancellation and substitution") << edit([](QList<Rec> &r) { r[1].put(91, "11"); }) << 2 << 91
                                                       << QStringLiteral("annullamento e sostituzione insieme")
                                                       << QStringLiteral("11");
        QTest::newRow("cancellation flag") << edit([](QList<Rec> &r) { r[1].put(91, "X"); }) << 2 << 91
                                           << QStringLiteral("casella con valore diverso") << QStringLiteral("X");
        QTest::newRow("no agent name") << edit([](QList<Rec> &r) { r[1].put(137, QByteArray(60, ' ')); }) << 2 << 93
                                       << QStringLiteral("manca il cognome o la denominazione") << QString();
        QTest::newRow("surname and company name") << edit([](QList<Rec> &r) { r[1].put(93, "ROSSI"); }) << 2 << 137
                                                  << QStringLiteral("cognome e denominazione del sostituto insieme")
                                                  << QString();
        QTest::newRow("telephone") << edit([](QList<Rec> &r) { r[1].put(297, "06-1234567"); }) << 2 << 297
                                   << QStringLiteral("telefono o fax contiene caratteri diversi") << QString();
        QTest::newRow("exceptional events") << edit([](QList<Rec> &r) { r[1].put(309, "  "); }) << 2 << 309
                                            << QStringLiteral("eventi eccezionali non numerici") << QStringLiteral("  ");
        QTest::newRow("representative") << edit([](QList<Rec> &r) { r[1].put(311, "RSSMRA80A01H501A"); }) << 2 << 311
                                        << QStringLiteral("rappresentante firmatario non valido") << QString();
        QTest::newRow("B certifications") << edit([](QList<Rec> &r) { r[1].put(402, num(5, 8)); }) << 2 << 402
                                          << QStringLiteral("dichiara 5 certificazioni ma la fornitura ne contiene 2")
                                          << QStringLiteral("00000005");
        QTest::newRow("B counts employment plus self-employment") << edit([](QList<Rec> &r) { r[1].put(402, num(3, 8)); })
                                                                  << 2 << 402 << QStringLiteral("dichiara 3 certificazioni")
                                                                  << QStringLiteral("00000003");
        QTest::newRow("Quadro CT without C")
            << edit([](QList<Rec> &r) {
                   r.removeAt(2);
                   r.last() = recZ(1, 0, 2, 1, 1);
               })
            << 2 << 410 << QStringLiteral("dichiara il Quadro CT ma il file non ha record C") << QStringLiteral("1");
        QTest::newRow("C without Quadro CT") << edit([](QList<Rec> &r) { r[1].put(410, "0"); }) << 2 << 410
                                             << QStringLiteral("il record B non dichiara il Quadro CT") << QStringLiteral("0");
        QTest::newRow("intermediary's commitment without code") << edit([](QList<Rec> &r) { r[1].put(428, "2"); }) << 2
                                                                << 412 << QStringLiteral("senza il suo codice fiscale")
                                                                << QString();
        QTest::newRow("commitment date") << edit([](QList<Rec> &r) { r[1].put(429, "32012026"); }) << 2 << 429
                                         << QStringLiteral("data dell'impegno non valida") << QStringLiteral("32012026");
        // heads of C, D, G, H
        QTest::newRow("module progressive") << edit([](QList<Rec> &r) { r[5].put(18, "0000000A"); }) << 6 << 18
                                            << QStringLiteral("progressivo del modulo") << QStringLiteral("0000000A");
        QTest::newRow("certification progressive") << edit([](QList<Rec> &r) { r[3].put(42, "0000 "); r[4].put(42, "0000 "); })
                                                   << 4 << 42 << QStringLiteral("progressivo della certificazione")
                                                   << QStringLiteral("0000 ");
        QTest::newRow("operation") << edit([](QList<Rec> &r) { r[3].put(84, "X"); }) << 4 << 84
                                   << QStringLiteral("tipo di operazione") << QStringLiteral("X");
        QTest::newRow("operation differs between D and G") << edit([](QList<Rec> &r) { r[4].put(84, "S"); }) << 5 << 84
                                                           << QStringLiteral("diverso da quello del record D")
                                                           << QStringLiteral("S");
        QTest::newRow("substitution without the earlier submission") << edit([](QList<Rec> &r) { r[5].put(84, "S"); r[6].put(84, "S"); })
                                                                     << 6 << 47 << QStringLiteral("senza l'identificativo")
                                                                     << QString();
        QTest::newRow("payee check letter") << edit([](QList<Rec> &r) { r[5].put(26, "BNCMRA82A41H501W"); r[6].put(26, "BNCMRA82A41H501W"); })
                                            << 6 << 26 << QStringLiteral("codice fiscale del percipiente non valido")
                                            << QStringLiteral("BNCMRA82A41H501W");
        QTest::newRow("agent differs from B") << edit([](QList<Rec> &r) { r[6].put(2, "01234567897     "); }) << 7 << 2
                                              << QStringLiteral("diverso da quello del record B")
                                              << QStringLiteral("01234567897     ");
        QTest::newRow("confirmation flag") << edit([](QList<Rec> &r) { r[3].put(89, "2"); }) << 4 << 89
                                           << QStringLiteral("casella di conferma") << QStringLiteral("2");
        QTest::newRow("final filler") << edit([](QList<Rec> &r) { r[4].put(1890, "X"); }) << 5 << 1890
                                      << QStringLiteral("1890-1897 devono essere vuote") << QStringLiteral("X       ");
        // record Z
        QTest::newRow("Z count of D") << edit([](QList<Rec> &r) { r[7].put(34, num(3, 9)); }) << 8 << 34
                                      << QStringLiteral("dichiara 3 record D ma il file ne contiene 2")
                                      << QStringLiteral("000000003");
        QTest::newRow("Z count of C") << edit([](QList<Rec> &r) { r[7].put(25, num(0, 9)); }) << 8 << 25
                                      << QStringLiteral("dichiara 0 record C ma il file ne contiene 1") << QString();
        QTest::newRow("Z count not a number") << edit([](QList<Rec> &r) { r[7].put(43, "00000000X"); }) << 8 << 43
                                              << QStringLiteral("numero dei record G non numerico")
                                              << QStringLiteral("00000000X");
        // bytes
        QTest::newRow("control character") << edit([](QList<Rec> &r) { r[3].put(300, "\t"); }) << 4 << 300
                                           << QStringLiteral("carattere di controllo nel record") << QStringLiteral("\\x09");
        QTest::newRow("lower case in a name") << edit([](QList<Rec> &r) { r[3].put(valueAt(r[3], "DA002002") + 1, "ossi"); })
                                              << 4 << valueAt(clean[3], "DA002002") + 1 << QStringLiteral("minuscola")
                                              << QStringLiteral("o");
        QTest::newRow("lower case accented") << edit([](QList<Rec> &r) { r[3].put(valueAt(r[3], "DA002003") + 4, "\xf2"); })
                                             << 4 << valueAt(clean[3], "DA002003") + 4 << QStringLiteral("minuscola")
                                             << QStringLiteral("\\xf2");
        QTest::newRow("degree sign") << edit([](QList<Rec> &r) { r[1].put(150, "\xb0"); }) << 2 << 150
                                     << QStringLiteral("carattere non ammesso") << QStringLiteral("\\xb0");
        QTest::newRow("euro sign") << edit([](QList<Rec> &r) { r[6].put(valueAt(r[6], "AU001001") + 2, "\x80"); }) << 7
                                   << valueAt(clean[6], "AU001001") + 2 << QStringLiteral("carattere non ammesso")
                                   << QStringLiteral("\\x80");
        QTest::newRow("placeholder left in") << edit([](QList<Rec> &r) { r[3].put(valueAt(r[3], "DA002002") + 5, "`"); })
                                             << 4 << valueAt(clean[3], "DA002002") + 5
                                             << QStringLiteral("carattere non ammesso") << QStringLiteral("`");
        // key-value slots
        QTest::newRow("field code shape") << edit([](QList<Rec> &r) { r[4].slot(0, "D1001001", "1"); }) << 5 << 90
                                          << QStringLiteral("codice di campo non valido") << QStringLiteral("D1001001");
        for (const QByteArray &shape : {QByteArray("DB00100X"), QByteArray("D\xc9" "001006"), QByteArray("DB 01006")})
            QTest::newRow(("field code " + shape.toHex()).constData())
                << edit([shape](QList<Rec> &r) { r[4].slot(0, shape, "1"); }) << 5 << 90
                << QStringLiteral("codice di campo non valido") << QString();
        QTest::newRow("continuation alone") << edit([](QList<Rec> &r) { r[3].put(valueAt(r[3], "DA002007") - 8, "DA002009+MARIGNANO"); })
                                            << 4 << valueAt(clean[3], "DA002007") - 8
                                            << QStringLiteral("continuazione del campo DA002009") << QString();
        QTest::newRow("continuation of a number") << edit([](QList<Rec> &r) { r[4].slot(13, "DC001004", "+5"); }) << 5
                                                  << 90 + 13 * 24 + 8 << QStringLiteral("che non è un testo") << QString();
        QTest::newRow("field after a gap") << edit([](QList<Rec> &r) { r[6].slot(5, "AU001010", right("1,00")); }) << 7
                                           << 90 + 5 * 24 << QStringLiteral("campo dopo uno spazio vuoto")
                                           << QStringLiteral("AU001010");
        QTest::newRow("value without code") << edit([](QList<Rec> &r) { r[6].put(90 + 4 * 24 + 8, "ABC"); }) << 7
                                            << 90 + 4 * 24 + 8 << QStringLiteral("valore senza codice")
                                            << QStringLiteral("ABC             ");
        QTest::newRow("field twice") << edit([](QList<Rec> &r) { r[3].slot(12, "DA002002", "VERDI"); }) << 4
                                     << 90 + 12 * 24 << QStringLiteral("campo DA002002 ripetuto") << QStringLiteral("DA002002");
        QTest::newRow("field without value") << edit([](QList<Rec> &r) { r[6].slot(3, "AU001005", ""); }) << 7
                                             << 90 + 3 * 24 + 8 << QStringLiteral("campo AU001005 senza valore") << QString();
        // what a certification must carry
        for (const char *c : {"DA002002", "DA002003", "DA002004", "DA002005", "DA002006", "DA003002"}) {
            const QByteArray what = c;
            QTest::newRow(qPrintable(QStringLiteral("missing %1").arg(QLatin1String(c))))
                << edit([what](QList<Rec> &r) {
                       const int at = valueAt(r[5], what) - 8;
                       r[5].put(at, "DA002099"); // taken away: another code in its place is named too
                   })
                << 6 << 90 << QStringLiteral("mancano nella certificazione i campi obbligatori %1").arg(QLatin1String(c))
                << QString();
        }
        // field codes the layout does not know
        code("unknown tax-data box", 4, "DB001006", "DB001999", "codice che il tracciato non prevede");
        code("unknown personal box", 3, "DA002007", "DA002099", "codice che il tracciato non prevede");
        code("unknown INPS box", 4, "DC001004", "DC001099", "codice che il tracciato non prevede");
        code("unknown self-employment box", 6, "AU001004", "AU001999", "codice che il tracciato non prevede");
        code("unknown Quadro CT box", 2, "CT001004", "CT001099", "codice che il tracciato non prevede");
        code("unknown dependant box", 4, "DB601003", "DB601006", "codice che il tracciato non prevede");
        code("annotation code", 4, "DB001006", "AN001701", "non ammesso nel record G");
        code("tax data in D", 3, "DA002007", "DB001001", "non ammesso nel record D");
        code("personal data in G", 4, "DB001006", "DA002002", "non ammesso nel record G");
        code("tax data in H", 6, "AU001002", "DB001001", "non ammesso nel record H");
        code("personal data in C", 2, "CT001004", "DA002002", "non ammesso nel record C");
        // tax codes, wherever they stand
        value("agent's code in D", 3, "DA001001", "80012345671", "campo DA001001: codice fiscale non valido");
        value("payee's code in D", 3, "DA002001", "RSSMRA80A01H501A", "campo DA002001: codice fiscale non valido");
        value("payee's code not the head's", 3, "DA002001", kBianchi, "diverso da quello delle posizioni 26-41");
        value("spouse's check letter", 4, "DB601002", "VRDLCU85A41H501Q", "campo DB601002: codice fiscale non valido");
        value("child's code short", 4, "DB603002", "RSSLCU10A01H501", "campo DB603002: codice fiscale non valido");
        value("child's code with a month letter", 4, "DB603002", "RSSLCU10Z01H501R", "campo DB603002: codice fiscale non valido");
        value("child's code right-aligned", 4, "DB603002", right("80012345676"), "non allineato a sinistra");
        // dates
        value("date of birth 31 February", 3, "DA002005", right("31022025"), "campo DA002005: data non valida");
        value("date of birth left-aligned", 3, "DA002005", "01011980", "non allineato a destra");
        value("date of birth as text", 3, "DA002005", right("1980-01-01"), "data non valida");
        value("certification date month 13", 3, "DA003001", right("15132026"), "campo DA003001: data non valida");
        value("start date before 1900", 4, "DB001008", right("01011899"), "campo DB001008: data non valida");
        value("start date of six digits", 4, "DB001008", right("010920"), "campo DB001008: data non valida");
        // amounts
        for (const auto &[rec, c] : {std::pair{4, "DB001001"}, std::pair{4, "DB001021"}, std::pair{4, "DC001004"},
                                     std::pair{6, "AU001004"}}) {
            const QByteArray f = c;
            auto row = [&](const char *what, const QByteArray &v, const char *message) {
                const QByteArray name = f + ' ' + what;
                value(name.constData(), rec, f, v, message);
            };
            row("without decimals", right("2397384"), "importo non nel formato del tracciato");
            row("zero", right("0,00"), "importo zero");
            row("with a point", right("25000.50"), "importo non nel formato del tracciato");
            row("left-aligned", "25000,50", "non allineato a destra");
            row("one decimal", right("25000,5"), "importo non nel formato del tracciato");
            row("thousands point", right("1.234,50"), "importo non nel formato del tracciato");
            row("negative zero", right("-0,00"), "importo zero");
            row("no integer digits", right(",50"), "importo non nel formato del tracciato");
            row("sign without digits", right("-,50"), "importo non nel formato del tracciato");
            row("sign twice", right("--1,50"), "importo non nel formato del tracciato");
        }
        // counts, months, years
        value("days as an amount", 4, "DB001006", right("360,00"), "campo DB001006: non è un numero intero");
        value("days above a year", 4, "DB001006", right("400"), "valore oltre 366");
        value("days zero", 4, "DB001006", right("0"), "valore zero");
        value("spouse's months 13", 4, "DB601003", right("13"), "valore oltre 12");
        value("spouse's months zero", 4, "DB601003", right("00"), "valore zero");
        value("child's months left-aligned", 4, "DB603003", "12", "non allineato a destra");
        value("child's months as an amount", 4, "DB603003", right("12,00"), "non è un numero intero");
        value("child's year left-aligned", 4, "DB603009", "2015", "non allineato a destra");
        value("child's year of two digits", 4, "DB603009", right("15"), "anno non valido");
        value("self-employment year", 6, "AU001002", right("25"), "campo AU001002: anno non valido");
        // boxes, letters, series
        value("box ticked with X", 4, "DB601001", right("X"), "casella con valore diverso da \"1\"");
        value("box left-aligned", 4, "DB601001", "1", "non allineato a destra");
        value("signature 2", 3, "DA003002", right("2"), "casella con valore diverso da \"1\"");
        value("sex X", 3, "DA002004", "X", "campo DA002004: sesso diverso");
        value("sex right-aligned", 3, "DA002004", right("F"), "non allineato a sinistra");
        value("province of three letters", 3, "DA002007", "ROM", "sigla della provincia non valida");
        value("province with a digit", 3, "DA002007", "R1", "sigla della provincia non valida");
        value("relationship letter", 4, "DB603001", "X", "relazione di parentela non valida");
        value("excluded months of eleven", 4, "DC001008", "00000000001", "mesi non validi");
        value("excluded months none", 4, "DC001008", "000000000000", "mesi non validi");
        value("excluded months with X", 4, "DC001008", "0000000000X1", "mesi non validi");
        value("telephone with a dash", 2, "CT001004", "333-1234567", "caratteri diversi dalle cifre");
        value("name right-aligned", 3, "DA002003", right("MARIO"), "non allineato a sinistra");
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

    void supplyInSeveralFiles()
    {
        // ROSSI in the first file, BIANCHI in the second: sound.
        auto part = [](int k, int n, const QByteArray &payee, int progressive) {
            return QList<Rec>{recA(k, n), recB(2, '0'), recD(payee, progressive), recG(payee, progressive), recZ(1, 0, 1, 1, 0)};
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
        // record B not the same in every file
        QList<Rec> otherB = part(2, 2, kBianchi, 2);
        otherB[1].put(137, "ISTITUTO VERDI");
        const QString p2b = write(QStringLiteral("CUR26_f"), join(otherB));
        QVERIFY(all(check.run({p1, p2b})).contains(QStringLiteral("record 2, posizione 146: record B diverso da quello del file")));
        // the Quadro CT flag of the file with the C records only: sound
        QList<Rec> withC = part(1, 2, kRossi, 1);
        withC[1].put(410, "1");
        withC.insert(2, recC());
        withC.last() = recZ(1, 1, 1, 1, 0);
        const QString p1c = write(QStringLiteral("CUR26_g"), join(withC));
        QVERIFY2(check.run({p1c, p2}).isEmpty(), qPrintable(all(check.run({p1c, p2}))));
        // a single file that says it is part 1 of 0 is not numbered as one file
        const QString single = write(QStringLiteral("CUR26_e"), join([] {
                                         QList<Rec> r = sound();
                                         r[0] = recA(1, 0);
                                         return r;
                                     }()));
        QVERIFY(all(check.run({single})).contains(QStringLiteral("progressivo dell'invio incoerente")));
    }

    // The parts of a name ("CUR26", "CUR26_2") that belong to different
    // supplies are named as such, given as files or as their folder.
    void partsOfDifferentSuppliesRefused_data()
    {
        QTest::addColumn<QByteArray>("first");   // record A positions 522-529 of CUR26
        QTest::addColumn<QByteArray>("agent");   // record B's agent of CUR26_2
        QTest::addColumn<int>("certifications"); // record B's count of CUR26_2
        QTest::addColumn<int>("hoursApart");
        QTest::addColumn<QString>("why");        // empty: one supply
        // 0: no list of the parts; 1: written as one set, with its list; 2:
        // the same, then CUR26_2 replaced by the part 2 of another supply
        // whose records A and B say just the same
        QTest::addColumn<int>("listed");
        QTest::newRow("one supply") << QByteArray("00010002") << kAgent << 2 << 0 << QString() << 0;
        QTest::newRow("one supply, listed") << QByteArray("00010002") << kAgent << 2 << 0 << QString() << 1;
        QTest::newRow("an old part 2 of the same heads beside a listed part 1")
            << QByteArray("00010002") << kAgent << 2 << 0
            << QStringLiteral("CUR26_2 non è la parte 2 di 2 della fornitura scritta il ") << 2;
        QTest::newRow("a one-file supply beside an old part 2")
            << QByteArray("00000000") << kAgent << 2 << 0
            << QStringLiteral("CUR26 è una fornitura in un solo file") << 0;
        QTest::newRow("totals that disagree") << QByteArray("00010003") << kAgent << 2 << 0
                                              << QStringLiteral("numero totale degli invii") << 0;
        QTest::newRow("another agent") << QByteArray("00010002") << QByteArray("01234567897") << 2 << 0
                                       << QStringLiteral("sostituto d'imposta diverso") << 0;
        QTest::newRow("another count of certifications")
            << QByteArray("00010002") << kAgent << 5 << 0
            << QStringLiteral("numero delle certificazioni della fornitura (record B) diverso") << 0;
        QTest::newRow("written a day apart") << QByteArray("00010002") << kAgent << 2 << 24
                                             << QStringLiteral("file scritti in momenti diversi") << 0;
    }

    void partsOfDifferentSuppliesRefused()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, agent);
        QFETCH(int, certifications);
        QFETCH(int, hoursApart);
        QFETCH(QString, why);
        QFETCH(int, listed);
        QTemporaryDir folder;
        auto put = [&](const QString &name, QList<Rec> r) {
            const QString path = folder.filePath(name);
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly))
                qFatal("cannot write %s", qPrintable(path));
            f.write(join(r));
            return path;
        };
        QList<Rec> one{recA(), recB(2, '0'), recD(kRossi, 1), recG(kRossi, 1), recZ(1, 0, 1, 1, 0)};
        one[0].put(522, first);
        QList<Rec> two{recA(2, 2), recB(certifications, '0'), recD(kBianchi, 2), recG(kBianchi, 2), recZ(1, 0, 1, 1, 0)};
        two[1].put(2, agent);
        const QString p1 = folder.filePath(QStringLiteral("CUR26"));
        const QString p2 = folder.filePath(QStringLiteral("CUR26_2"));
        if (listed) {
            // as a supply is written: staged, then named as one set
            TorFileSet::Folder held(folder.path());
            const QString staging = QFileInfo(held.staging()).fileName();
            put(staging + QStringLiteral("/CUR26"), one);
            put(staging + QStringLiteral("/CUR26_2"), two);
            held.commit({folder.filePath(staging + QStringLiteral("/CUR26")), folder.filePath(staging + QStringLiteral("/CUR26_2"))},
                        {p1, p2});
            if (listed == 2) {
                two[3].slot(0, "DB001001", right("25000,60"));
                put(QStringLiteral("CUR26_2"), two);
            }
        } else {
            put(QStringLiteral("CUR26"), one);
            put(QStringLiteral("CUR26_2"), two);
        }
        if (hoursApart) {
            QFile f(p2);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600 * hoursApart),
                                  QFileDevice::FileModificationTime));
        }
        for (const QStringList &args : {QStringList{p1, p2}, QStringList{folder.path()}}) {
            QString outText, errText;
            QTextStream out(&outText), err(&errText);
            const int status = VelCli::run(QStringList{QStringLiteral("velcu-cli"), QStringLiteral("controlla")} + args,
                                           out, err);
            out.flush();
            if (why.isEmpty()) {
                QVERIFY2(status == 0 && outText.contains(QStringLiteral("Controllo superato: 2 file")),
                         qPrintable(outText + errText));
                continue;
            }
            QVERIFY2(status == 1, qPrintable(outText + errText));
            QVERIFY2(outText.contains(QStringLiteral("I file CUR26, CUR26_2 non sono le parti di una sola fornitura: "))
                         && outText.contains(why)
                         && outText.contains(QStringLiteral("Controllo non superato: file di forniture diverse.")),
                     qPrintable(outText));
        }
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
        QVERIFY2(outText.contains(QStringLiteral("Controllo superato: 1 file, 8 record, 2 certificazioni.")), qPrintable(outText));

        QList<Rec> r = sound();
        r[7].put(34, num(3, 9));
        const QString bad = write(QStringLiteral("CUR26_x"), join(r));
        outText.clear();
        QCOMPARE(VelCli::run({QStringLiteral("velcu-cli"), QStringLiteral("controlla"), bad}, out, err), 1);
        QVERIFY2(outText.contains(bad + QStringLiteral(", record 8, posizione 34: il record Z dichiara 3 record D ma il "
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
