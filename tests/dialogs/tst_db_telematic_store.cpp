// The supply from the fiscal store, on both engines: CUs, sections, agent,
// supplier and Quadro CT written through the store; the data module loads
// them, runs the pre-check, the checks and the passes (annotation rows
// rebuilt and saved back, the default INPS number from "QRY_PACO"), saves
// the file and the agent's count. Every record of the file is then read by a
// reader of the published layout written here, not by the engine.
#include "support/SupplyStages.h"
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/ui/framework/OvForms.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/check/VelMandatoryFields.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/dialogs/TfmVelFile.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestStore.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using TestStore::Values;

QVariant money(const char *text)
{
    return QVariant::fromValue(Currency::parse(QString::fromLatin1(text)).value());
}

// ---------------------------------------------------------------- the reader
// The published layout of the supply, read from the bytes of the file.
struct Slot
{
    QByteArray code;
    QByteArray value;
};

struct Record
{
    char type = 0;
    QByteArray raw;         // 1,897 characters of content
    QByteArray field(int from, int to) const { return raw.mid(from - 1, to - from + 1); }
    // C, D, G, H
    QByteArray agent, payee, certification, operation, module;
    QList<Slot> entries;
    QByteArray value(const char *code) const
    {
        for (const Slot &s : entries)
            if (s.code == code)
                return s.value;
        return QByteArray();
    }
};

struct Supply
{
    QList<Record> records;
    QString error; // the first violation of the layout
    QList<Record> of(char type) const
    {
        QList<Record> out;
        for (const Record &r : records)
            if (r.type == type)
                out << r;
        return out;
    }
};

Supply readSupply(const QString &path)
{
    Supply s;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        s.error = QStringLiteral("file non leggibile");
        return s;
    }
    const QByteArray all = f.readAll();
    if (all.size() % 1900 != 0) {
        s.error = QStringLiteral("lunghezza %1 non multipla di 1900").arg(all.size());
        return s;
    }
    static const QRegularExpression codeShape(QStringLiteral("^[A-Z]{2}[0-9]{3}[0-9A-Z]{3}$"));
    for (qsizetype at = 0; at < all.size(); at += 1900) {
        const QByteArray line = all.mid(at, 1900);
        if (line.mid(1897) != "A\r\n") {
            s.error = QStringLiteral("record %1 senza A CR LF in fondo").arg(at / 1900 + 1);
            return s;
        }
        Record r;
        r.raw = line.left(1897);
        r.type = line.at(0);
        if (QByteArray("CDGH").contains(r.type)) {
            r.agent = r.field(2, 17);
            r.module = r.field(18, 25);
            r.payee = r.field(26, 41);
            r.certification = r.field(42, 46);
            r.operation = r.field(84, 84);
            bool ended = false;
            for (int p = 90; p + 24 - 1 <= 1889; p += 24) {
                const QByteArray code = r.field(p, p + 7);
                if (code.trimmed().isEmpty()) {
                    ended = true;
                    continue;
                }
                if (ended || !codeShape.match(QString::fromLatin1(code)).hasMatch()) {
                    s.error = QStringLiteral("record %1: campo \"%2\" fuori posto").arg(at / 1900 + 1).arg(QString::fromLatin1(code));
                    return s;
                }
                r.entries << Slot{code, r.field(p + 8, p + 23)};
            }
            if (r.field(1890, 1897).trimmed().size() != 0) {
                s.error = QStringLiteral("record %1: filler finale non vuoto").arg(at / 1900 + 1);
                return s;
            }
        }
        s.records << r;
    }
    return s;
}

QByteArray lpad(const char *text, int width)
{
    return QByteArray(text).leftJustified(width, ' ');
}

QByteArray rpad(const char *text, int width)
{
    return QByteArray(text).rightJustified(width, ' ');
}

} // namespace

class TstDbTelematicStore : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> m_db;
    std::unique_ptr<TTorDBCds> m_store;
    QTemporaryDir m_dir;

    void put(const char *structure, const QList<Values> &rows) { TestStore::put(*m_store, structure, rows); }

    // A school of three payees in the store (a CU comes back from the store
    // through its stored values: each has at least its flags):
    //  VERDI   tax data, two INPS rows (the second without company number) and one
    //          public-pension row, a spouse, annotations;
    //  BIANCHI self-employed only, two entries;
    //  ANDREI  a dependant only.
    void fillStore()
    {
        put("TCFO_FORNITORE", {{{"SFORCODFIS", QStringLiteral("80012345676")}, {"STFOCODICE", QStringLiteral("1")}}});
        put("TCUS_DATISOST", {{{"SSOSCODFIS", QStringLiteral("80012345676")}, {"SSOSDENOM", QStringLiteral("Istituto Dante Alighieri")},
                               {"SSOSCFRAPPR", QStringLiteral("RSSMRA80A01H501U")}, {"SCARCODICE", QStringLiteral("1")},
                               {"SSOSCOGNRAPPR", QStringLiteral("ROSSI")}, {"SSOSNOMERAPPR", QStringLiteral("MARIO")},
                               {"SSOSFIRMACOM", QStringLiteral("MARIO ROSSI")}, {"SSOSTELFAX", QStringLiteral("0544-123456")}}});
        put("TCUCT_DATICT", {{{"SCTCODFIS", QStringLiteral("80012345676")}, {"SCTEMAIL", QStringLiteral("segreteria@scuola.it")}}});
        put("TCUD_DATICUD",
            {{{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199J")}, {"SCUDMESE", QStringLiteral("12")}, {"SCUDCOGNOME", QStringLiteral("VERDI")},
              {"SCUDNOME", QStringLiteral("GIUSEPPE")}, {"SCUDSEX", QStringLiteral("M")}, {"fCudReddDetr", money("25000.50")},
              {"DCUDDATANAS", QDate(1970, 1, 1)}, {"SCUDCOMNAS", QStringLiteral("RAVENNA")}, {"SCUDPROVNAS", QStringLiteral("RA")},
              {"SCUDANNOTAZIONI", QStringLiteral("AC) detrazioni\nBO)\nQQ) codice sconosciuto")}},
             {{"SCUDCODFIS", QStringLiteral("BNCLRA75B41F205I")}, {"SCUDMESE", QStringLiteral("12")}, {"SCUDCOGNOME", QStringLiteral("BIANCHI")},
              {"LCUDCONGUAGLIO", QStringLiteral("X")}, {"SCUDSEX", QStringLiteral("F")},
              {"DCUDDATANAS", QDate(1975, 2, 1)}, {"SCUDCOMNAS", QStringLiteral("MILANO")}, {"SCUDPROVNAS", QStringLiteral("MI")},
              {"SCUDNOME", QStringLiteral("LAURA")}},
             {{"SCUDCODFIS", QStringLiteral("NDRPLA85C03A944Q")}, {"SCUDMESE", QStringLiteral("12")}, {"SCUDCOGNOME", QStringLiteral("ANDREI")},
              {"LCUDCONGUAGLIO", QStringLiteral("X")}, {"SCUDSEX", QStringLiteral("M")},
              {"DCUDDATANAS", QDate(1985, 3, 3)}, {"SCUDCOMNAS", QStringLiteral("BOLOGNA")}, {"SCUDPROVNAS", QStringLiteral("BO")},
              {"SCUDNOME", QStringLiteral("PAOLO")}}});
        put("TCUDI_INPS", {{{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199J")}, {"SCUDMESE", QStringLiteral("12")},
                            {"sCudMatrAzienda", QStringLiteral("7012345678")}, {"FCUDIMPONIBILE", money("20000")}},
                           {{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199J")}, {"SCUDMESE", QStringLiteral("12")},
                            {"FCUDIMPONIBILE", money("1500.75")}}});
        put("TCUDN_INPDAP", {{{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199J")}, {"SCUDMESE", QStringLiteral("12")},
                              {"SCUDCODFISAMMNE", QStringLiteral("80012345676")}}});
        put("TCUDC_CONFAMCARICO", {{{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199J")}, {"SCUDMESE", QStringLiteral("12")},
                                    {"LCUDRELPARCON", QStringLiteral("1")}, {"SCUDCODFISCON", QStringLiteral("BNCMRA82A41H501G")},
                                    {"SCUDMESICARCON", QStringLiteral("12")}},
                                   {{"SCUDCODFIS", QStringLiteral("NDRPLA85C03A944Q")}, {"SCUDMESE", QStringLiteral("12")},
                                    {"LCUDRELPARFIGL", QStringLiteral("1")}, {"SCUDCODFISFIGL", QStringLiteral("NDRLCA15A01F839X")},
                                    {"FCUDDETRSPETTFIGL", 100.0}}});
        // ANDREI left with a severance: in his record G, not a self-employed certification
        put("TCUDT_TFR", {{{"SCUDCODFIS", QStringLiteral("NDRPLA85C03A944Q")}, {"SCUDMESE", QStringLiteral("12")},
                           {"FRL7INDENANNO", money("8000")}, {"SRL7INDANNICOMMIS", QStringLiteral("9")},
                           {"SRL7INDMESICOMMIS", QStringLiteral("4")}}});
        put("TASE_AUTSOMMEEROGATE", {{{"SCUDCODFIS", QStringLiteral("BNCLRA75B41F205I")}, {"SCUDMESE", QStringLiteral("12")},
                                      {"SCAUCODICE", QStringLiteral("A")}, {"FDSE7AMMLORDO", money("1000")}},
                                     {{"SCUDCODFIS", QStringLiteral("BNCLRA75B41F205I")}, {"SCUDMESE", QStringLiteral("12")},
                                      {"SCAUCODICE", QStringLiteral("M")}, {"FDSE7AMMLORDO", money("250")}}});
    }

    std::unique_ptr<TdmVelFile> module(QStringList *log, QStringList *report = nullptr, bool answer = true)
    {
        auto dm = std::make_unique<TdmVelFile>(*m_store, QueryText());
        dm->setRunHost(TVelBoxRunHost::instance());
        const QString ini = m_dir.filePath(QStringLiteral("velcu.ini"));
        QSettings(ini, QSettings::IniFormat).setValue(QStringLiteral("FileTelematico/CodiceFiscaleProduttore"),
                                                     QStringLiteral("01234567897"));
        dm->setSettingsFile(ini);
        dm->setWorkgroup(1);
        dm->setTablePaths(m_dir.filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS")),
                          m_dir.filePath(QStringLiteral("TFILE_FILETELEM.CDS")));
        dm->log = [log](const QString &l) { *log << l; };
        // the program's own mandatory-field check: VERDI's CU has no sex, the
        // child of ANDREI no months
        dm->information = [report, answer](const QStringList &lines, bool ask) {
            if (report && ask)
                *report = lines;
            return answer;
        };
        return dm;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QueryText().loadCatalogue(QStringLiteral(VELCU_STAGE_DIR "/etc/rag/rag_QueryText.cds"));
    }

    void init()
    {
        m_store.reset();
        m_db.reset();
        m_db = TestDb::open(true);
        seedStructures(*m_db);
        m_store = TestStore::open(m_db.get());
        fillStore();
    }

    void cleanupTestCase()
    {
        m_store.reset();
        m_db.reset();
    }

    // A tax code against the birth date: a warning the office confirms at the
    // pre-check, not said again by the check of the written file.
    void aConfirmedWarningIsSaidOnce()
    {
        TClientDataSet cu;
        m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QVERIFY(cu.locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("VRDGPP70A01H199J")));
        cu.edit();
        cu.fieldByName(QStringLiteral("DCUDDATANAS")).setValue(QDate(1971, 1, 1));
        cu.fieldByName(QStringLiteral("SCUDSEX")).setAsString(QStringLiteral("M"));
        cu.post();
        m_store->Save(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        const QString warning = QStringLiteral("il codice fiscale indica la nascita il 01/01/..70");
        auto said = [&](const QStringList &lines) {
            return int(std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.contains(warning); }));
        };
        // every supply goes through the pre-check now: the warning is put to
        // the office there, once, and the file's check does not say it again
        ScriptedResponder responder;
        QStringList log;
        QStringList report;
        auto dm = module(&log, &report);
        const TVelSupplyOpened opened = dm->open();
        const std::optional<TVelSupplyChecked> checked = opened.preCheck(dm->visitedRows(TdmVelFile::All));
        QVERIFY(checked);
        QVERIFY2(report.contains(QStringLiteral("Avviso - Codice fiscale del percipiente (VRDGPP70A01H199J): ") + warning
                                 + QStringLiteral(", la data di nascita è 01/01/1971")),
                 qPrintable(report.join(QLatin1Char('\n'))));
        TVelSupplyGeneration g = checked->generate();
        QVERIFY(g.supply);
        const QString path = m_dir.filePath(QStringLiteral("confermato/CUR26"));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QCOMPARE(g.supply->save(path).files, QStringList({path})); // a warning never refuses the file
        QCOMPARE(said(log), 0);
        QCOMPARE(said(report), 1);
    }

    void fromTheStoreToTheFile()
    {
        ScriptedResponder responder;
        QStringList log;
        QStringList report;
        auto dm = module(&log, &report);
        const TVelSupplyOpened opened = dm->open();
        const QList<int> rows = dm->visitedRows(TdmVelFile::All);
        QCOMPARE(rows.size(), 3);
        const std::optional<TVelSupplyChecked> checked = opened.preCheck(rows);
        QVERIFY(checked);
        QCOMPARE(report, QStringList({QString(), QStringLiteral("Dipendente: ANDREI PAOLO"),
                                      QStringLiteral(" - Dato obbligatorio mancante: Nr. Mesi a carico altro figlio o "
                                                     "altro familiare")}));
        TVelSupplyGeneration generation = checked->generate();
        QVERIFY(generation.supply);
        QVERIFY(log.contains(QStringLiteral("ATTENDERE... Pulitura del file in corso...")));
        QVERIFY(log.contains(QStringLiteral("Generazione del Record C...")));
        QVERIFY(log.contains(QStringLiteral("Percipiente: VERDI GIUSEPPE")));
        QVERIFY(log.contains(QStringLiteral("Autonomo: BIANCHI LAURA")));
        QCOMPARE(log.last(), QStringLiteral("Operazione terminata con successo."));

        const QString path = m_dir.filePath(QStringLiteral("CUR26"));
        QCOMPARE(generation.supply->save(path).files, QStringList({path}));

        const Supply s = readSupply(path);
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
        // A, B, C, then D G H per certification, Z
        QByteArray types;
        for (const Record &r : s.records)
            types += r.type;
        // by tax code: BIANCHI (D H H), ANDREI (D G), VERDI (D G G)
        QCOMPARE(types, QByteArray("ABCDHHDGDGGZ"));

        const Record &a = s.records[0];
        QCOMPARE(a.field(16, 20), QByteArray("CUR26"));
        QCOMPARE(a.field(21, 22), QByteArray("01"));
        QCOMPARE(a.field(23, 38), lpad("80012345676", 16));
        QCOMPARE(a.field(522, 529), QByteArray("00000000"));

        const Record &b = s.records[1];
        QCOMPARE(b.field(2, 17), lpad("80012345676", 16));
        QCOMPARE(b.field(74, 89), lpad("01234567897", 16));
        QCOMPARE(b.field(137, 196), lpad("ISTITUTO DANTE ALIGHIERI", 60));
        QCOMPARE(b.field(297, 308), lpad("0544123456", 12));
        QCOMPARE(b.field(402, 409), QByteArray("00000003")); // every certification once
        QCOMPARE(b.field(410, 410), QByteArray("1"));

        const Record &c = s.of('C')[0];
        QCOMPARE(c.agent, lpad("80012345676", 16));
        QCOMPARE(c.value("CT001005"), QByteArray("SEGRETERIA@SCUOL"));

        // every certification record carries the agent and its certification's payee
        QHash<QByteArray, QByteArray> payeeOf;
        for (const Record &r : s.records) {
            if (!QByteArray("DGH").contains(r.type))
                continue;
            QCOMPARE(r.agent, lpad("80012345676", 16));
            QCOMPARE(r.operation, QByteArray(" "));
            if (r.type == 'D')
                payeeOf.insert(r.certification, r.payee);
            else
                QCOMPARE(r.payee, payeeOf.value(r.certification));
        }
        QCOMPARE(payeeOf.value("00001"), QByteArray("BNCLRA75B41F205I"));
        QCOMPARE(payeeOf.value("00002"), QByteArray("NDRPLA85C03A944Q"));
        QCOMPARE(payeeOf.value("00003"), QByteArray("VRDGPP70A01H199J"));

        // VERDI: two G modules, the second with the second INPS row and the default company number
        const QList<Record> g = s.of('G');
        QCOMPARE(g.size(), 3);
        const Record &g1 = g[1];
        const Record &g2 = g[2];
        QCOMPARE(g1.module, QByteArray("00000001"));
        QCOMPARE(g2.module, QByteArray("00000002"));
        QCOMPARE(g1.value("DB001001"), rpad("25000,50", 16));
        QCOMPARE(g1.value("DC001001"), lpad("7012345678", 16));
        QCOMPARE(g2.value("DC001001"), lpad("4512345678", 16)); // QRY_PACO of the workgroup
        QCOMPARE(g2.value("DC001004"), rpad("1500,75", 16));
        QCOMPARE(g1.value("DC001009"), lpad("80012345676", 16));
        QCOMPARE(g2.value("DC001009"), QByteArray());
        // the annotations have no field code in the layout: on the printed CU only
        QCOMPARE(g1.value("AN001701"), QByteArray());
        // ANDREI: family member and severance, one module; the severance with
        // the tax data's codes
        QCOMPARE(g[0].module, QByteArray("00000001"));
        QCOMPARE(g[0].payee, QByteArray("NDRPLA85C03A944Q"));
        QCOMPARE(g[0].value("DB001001"), QByteArray());
        QCOMPARE(g[0].value("DB001801"), rpad("8000,00", 16));
        QCOMPARE(g[0].value("DB001820"), rpad("0904", 16));
        // BIANCHI: two entries numbered 1 and 2, both of certification 1
        const QList<Record> h = s.of('H');
        QCOMPARE(h[0].module, QByteArray("00000001"));
        QCOMPARE(h[1].module, QByteArray("00000002"));
        QCOMPARE(h[0].certification, QByteArray("00001"));
        QCOMPARE(h[1].certification, QByteArray("00001"));
        QCOMPARE(h[1].value("AU001004"), rpad("250,00", 16));
        QCOMPARE(h.size(), 2);

        const Record &z = s.records.last();
        QCOMPARE(z.field(16, 24), QByteArray("000000001"));
        QCOMPARE(z.field(25, 60), QByteArray("000000001000000003000000003000000002"));

        // the store: the agent's count and the rebuilt annotation row
        TClientDataSet agent;
        m_store->Load(agent, QStringLiteral("TCUS_DATISOST"), TTorDBCds::AllMonths);
        QCOMPARE(agent.fieldByName(QStringLiteral("ISOSNDIP")).asInteger(), 3);
        TClientDataSet notes;
        m_store->Load(notes, QStringLiteral("TCUDA_ANNOTAZIONI"), TTorDBCds::AllMonths);
        QCOMPARE(notes.recordCount(), 1);
        QCOMPARE(notes.fieldByName(QStringLiteral("SCUDCODFIS")).asString(), QStringLiteral("VRDGPP70A01H199J"));
        QCOMPARE(notes.fieldByName(QStringLiteral("SANN701")).asString(), QStringLiteral("AC"));
        QVERIFY(notes.fieldByName(QStringLiteral("SANN702")).asString().isEmpty());
    }

    void theSelectionAndTheOrderDecideTheProgressives()
    {
        ScriptedResponder responder;
        QStringList log;
        auto dm = module(&log);
        const TVelSupplyOpened opened = dm->open();
        dm->setOrder(QStringLiteral("SCUDCOGNOME")); // ANDREI, BIANCHI, VERDI as by tax code: reverse the names
        dm->setOrder(QStringLiteral("SCUDNOME"));    // GIUSEPPE, LAURA, PAOLO
        TVelSupplyGeneration earlier = SupplyStages::generate(opened, dm->visitedRows(TdmVelFile::All));
        QVERIFY(earlier.supply);
        TVelSupplyGeneration g = SupplyStages::generate(opened, dm->visitedRows(TdmVelFile::All));
        QVERIFY(g.supply);
        // the working tables hold the last generation: an earlier one is not
        // saved in its place
        const QString stale = m_dir.filePath(QStringLiteral("CUR26_vecchia"));
        try {
            (void)earlier.supply->save(stale);
            QFAIL("an earlier generation was saved");
        } catch (const EVelError &e) {
            QCOMPARE(e.errorCode(), TVelErrorCode::DatiMancanti);
            QCOMPARE(e.message(), QStringLiteral("Dati obbligatori mancanti, impossibile creare il file!"));
        }
        QVERIFY(!QFile::exists(stale));
        const QString path = m_dir.filePath(QStringLiteral("CUR26_nome"));
        QCOMPARE(g.supply->save(path).files, QStringList({path}));
        Supply s = readSupply(path);
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
        QCOMPARE(s.of('D')[0].payee, QByteArray("VRDGPP70A01H199J"));
        QCOMPARE(s.of('D')[0].certification, QByteArray("00001"));

        // "su Prenotazione" with nothing selected, and "Nessuno": A, B, C, Z
        for (TdmVelFile::Selection sel : {TdmVelFile::Reserved, TdmVelFile::None}) {
            auto again = module(&log);
            const TVelSupplyOpened reopened = again->open();
            QVERIFY(again->visitedRows(sel).isEmpty());
            TVelSupplyGeneration none = SupplyStages::generate(reopened, again->visitedRows(sel));
            QVERIFY(none.supply);
            const QString empty = m_dir.filePath(QStringLiteral("CUR26_vuoto"));
            QCOMPARE(none.supply->save(empty).files, QStringList({empty}));
            s = readSupply(empty);
            QByteArray types;
            for (const Record &r : s.records)
                types += r.type;
            QCOMPARE(types, QByteArray("ABCZ"));
            QCOMPARE(s.records[1].field(402, 409), QByteArray("00000000"));
        }
    }

    void fiftyFiveNotesTakeTwoAnnotationRows()
    {
        ScriptedResponder responder;
        TClientDataSet cu;
        m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QVERIFY(cu.locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("VRDGPP70A01H199J")));
        QStringList lines;
        for (int i = 0; i < 55; ++i)
            lines << (i == 54 ? QStringLiteral("al) ultima") : QStringLiteral("AC) nota %1").arg(i));
        cu.edit();
        cu.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).setAsString(lines.join(QStringLiteral("\r\n")));
        cu.post();
        m_store->Save(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);

        QStringList log;
        for (int run = 0; run < 2; ++run) { // the second generation finds the rows as they should be
            auto dm = module(&log);
            const TVelSupplyOpened opened = dm->open();
            QVERIFY(SupplyStages::generate(opened, dm->visitedRows(TdmVelFile::All)).supply);
            TClientDataSet notes;
            m_store->Load(notes, QStringLiteral("TCUDA_ANNOTAZIONI"), TTorDBCds::AllMonths);
            QCOMPARE(notes.recordCount(), 2);
            notes.first();
            QCOMPARE(notes.fieldByName(QStringLiteral("SANN754")).asString(), QStringLiteral("AC"));
            QVERIFY(notes.fieldByName(QStringLiteral("SANN755")).asString().isEmpty());
            notes.next();
            QCOMPARE(notes.fieldByName(QStringLiteral("SANN701")).asString(), QStringLiteral("AL"));
            QVERIFY(notes.fieldByName(QStringLiteral("SANN702")).asString().isEmpty());
        }

        // the text changes: the old rows go, the new one takes their place
        m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QVERIFY(cu.locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("VRDGPP70A01H199J")));
        cu.edit();
        cu.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).setAsString(QStringLiteral("AL) sola nota"));
        cu.post();
        m_store->Save(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        auto dm = module(&log);
        const TVelSupplyOpened opened = dm->open();
        QVERIFY(SupplyStages::generate(opened, dm->visitedRows(TdmVelFile::All)).supply);
        TClientDataSet notes;
        m_store->Load(notes, QStringLiteral("TCUDA_ANNOTAZIONI"), TTorDBCds::AllMonths);
        QCOMPARE(notes.recordCount(), 1);
        QCOMPARE(notes.fieldByName(QStringLiteral("SANN701")).asString(), QStringLiteral("AL"));
        QVERIFY(notes.fieldByName(QStringLiteral("SANN702")).asString().isEmpty());
        QVERIFY(!responder.texts().join(QString()).contains(QStringLiteral("Controllare")));
    }

    void theWizardDrivenHeadless()
    {
        ScriptedResponder responder;
        QStringList log;
        auto dm = module(&log);
        TfmVelFile *form = ovCreate<TfmVelFile>(nullptr, dm.get());
        const QString shots = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
        form->show();
        QCOMPARE(form->pcMain->currentWidget(), form->tsDipendenti);
        QVERIFY(!form->buOk->isEnabled());
        QCOMPARE(form->buOk->text(), QStringLiteral("Salva"));
        QVERIFY(!form->dbgDip->isEnabled());
        QCOMPARE(form->dbgDip->model()->rowCount(), 3);

        // su Prenotazione: the grid, its title order and two rows chosen
        form->rbPrenotazione->setChecked(true);
        QVERIFY(form->dbgDip->isEnabled());
        form->sortByColumn(1); // Cognome: ANDREI, BIANCHI, VERDI
        form->dbgDip->selectRow(2);
        form->dbgDip->selectRow(0);
        QVERIFY(form->dbgDip->horizontalHeader()->isVisible());
        QCOMPARE(form->dbgDip->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Cognome"));
        QCoreApplication::processEvents();
        if (!shots.isEmpty())
            form->grab().save(shots + QStringLiteral("/telematic-wizard-dipendenti.png"));
        QVERIFY(form->ChangePage(true));
        QCOMPARE(form->pcMain->currentWidget(), form->tsCreaFile);
        QVERIFY(!form->buOk->isEnabled());
        QVERIFY(!form->buNext->isEnabled());
        form->creaFile();
        QVERIFY(form->buOk->isEnabled());
        QVERIFY(form->meLog->toPlainText().contains(QStringLiteral("Percipiente: VERDI GIUSEPPE")));
        QVERIFY(!form->meLog->toPlainText().contains(QStringLiteral("BIANCHI")));
        if (!shots.isEmpty())
            form->grab().save(shots + QStringLiteral("/telematic-wizard-crea-file.png"));

        // back and forth: "Salva" waits for a new generation
        QVERIFY(form->ChangePage(false));
        QVERIFY(form->dbgDip->selectionModel()->selectedRows().isEmpty()); // reloaded
        form->dbgDip->selectRow(0);
        form->dbgDip->selectRow(2);
        QVERIFY(form->ChangePage(true));
        QVERIFY(!form->buOk->isEnabled());
        form->creaFile();
        QVERIFY(form->buOk->isEnabled());

        const QString path = m_dir.filePath(QStringLiteral("wizard/CUR26"));
        QString offeredFolder;
        QString offeredName;
        form->askFileName = [&](const QString &folder, const QString &name) {
            offeredFolder = folder;
            offeredName = name;
            return path;
        };
        QVERIFY(!form->clickOk()); // the wizard closes itself once written
        QCOMPARE(offeredName, QStringLiteral("CUR26"));
        QVERIFY(offeredFolder.endsWith(QStringLiteral("USR/KZ2025/DichCU/")));
        QVERIFY(QDir(offeredFolder).exists());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        const Supply s = readSupply(path);
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
        QCOMPARE(s.of('D').size(), 2);
        QCOMPARE(s.of('D')[0].payee, QByteArray("NDRPLA85C03A944Q")); // ANDREI first by surname
        QCOMPARE(s.of('D')[0].certification, QByteArray("00001"));     // by tax code it would be 2
        QCOMPARE(s.of('D')[1].payee, QByteArray("VRDGPP70A01H199J"));
        QCOMPARE(s.of('D')[1].certification, QByteArray("00003"));
        delete form;

        // opened by its command without the main window's store: an error, no window
        QVERIFY_THROWS_EXCEPTION(EOvError, ovCreate<TfmVelFile>(nullptr));
    }

    void missingDataStopsTheGenerationWithTheMessages()
    {
        QStringList log;
        QStringList report;
        {
            // the office says no to the pre-check's question
            auto dm = module(&log, &report, false);
            QVERIFY(!dm->open().preCheck(dm->visitedRows(TdmVelFile::All)));
            QCOMPARE(log.last(), QStringLiteral("Generazione file telematico terminata dall'utente"));
        }
        ScriptedResponder responder;
        auto editCu = [this](const char *cf, const char *column, const QVariant &value) {
            TClientDataSet cu;
            m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
            QVERIFY(cu.locate(QStringLiteral("SCUDCODFIS"), QString::fromLatin1(cf)));
            cu.edit();
            cu.fieldByName(QLatin1String(column)).setValue(value);
            cu.post();
            m_store->Save(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        };
        {
            // a payee's tax code that is not valid, a spouse's wrong check
            // letter, a province that is not two letters: refused before anything is
            // written, whatever the office answers; "EE" (born abroad) passes
            editCu("BNCLRA75B41F205I", "SCUDCODFIS", QStringLiteral("BNCLRA75B41F205X"));
            editCu("VRDGPP70A01H199J", "SCUDPROVNAS", QStringLiteral("R1"));
            editCu("NDRPLA85C03A944Q", "SCUDPROVNAS", QStringLiteral("EE"));
            TClientDataSet fam;
            m_store->Load(fam, QStringLiteral("TCUDC_CONFAMCARICO"), TTorDBCds::AllMonths);
            QVERIFY(fam.locate(QStringLiteral("SCUDCODFISCON"), QStringLiteral("BNCMRA82A41H501G")));
            fam.edit();
            fam.fieldByName(QStringLiteral("SCUDCODFISCON")).setAsString(QStringLiteral("BNCMRA82A41H501W"));
            fam.post();
            m_store->Save(fam, QStringLiteral("TCUDC_CONFAMCARICO"), TTorDBCds::AllMonths);
            QStringList shown;
            auto dm = module(&log, &report, true);
            dm->information = [&shown](const QStringList &lines, bool) {
                shown = lines;
                return true;
            };
            const TVelSupplyOpened opened = dm->open();
            const QList<int> rows = dm->visitedRows(TdmVelFile::All);
            QVERIFY(!opened.preCheck(rows)); // so there is nothing to generate from
            const QString text = shown.join(QLatin1Char('\n'));
            QVERIFY2(text.contains(QStringLiteral("Dipendente: BIANCHI LAURA\n - Codice fiscale del percipiente non "
                                                  "valido (BNCLRA75B41F205X)")),
                     qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("Dipendente: VERDI GIUSEPPE\n - Provincia di nascita non valida "
                                                  "(\"R1\")")),
                     qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral(" - Codice fiscale del coniuge non valido (BNCMRA82A41H501W)")),
                     qPrintable(text));
            QVERIFY(!text.contains(QStringLiteral("ANDREI")));
            editCu("BNCLRA75B41F205X", "SCUDCODFIS", QStringLiteral("BNCLRA75B41F205I"));
            editCu("VRDGPP70A01H199J", "SCUDPROVNAS", QStringLiteral("RA"));
            fam.edit();
            fam.fieldByName(QStringLiteral("SCUDCODFISCON")).setAsString(QStringLiteral("BNCMRA82A41H501G"));
            fam.post();
            m_store->Save(fam, QStringLiteral("TCUDC_CONFAMCARICO"), TTorDBCds::AllMonths);
        }
        {
            // a CU without sex: the office goes on past the pre-check's
            // question, the file's check refuses it, and no file takes the name
            editCu("VRDGPP70A01H199J", "SCUDSEX", QString());
            auto dm = module(&log, &report, true);
            const TVelSupplyOpened opened = dm->open();
            TVelSupplyGeneration g = SupplyStages::generate(opened, dm->visitedRows(TdmVelFile::All));
            QVERIFY(g.supply);
            const QString path = m_dir.filePath(QStringLiteral("rifiutata/CUR26"));
            try {
                (void)g.supply->save(path);
                QFAIL("a supply that fails its check was saved");
            } catch (const EVelError &e) {
                QCOMPARE(e.errorCode(), TVelErrorCode::Fornitura);
                QVERIFY2(e.message().startsWith(QStringLiteral("Fornitura non scritta: il controllo dei file ha trovato")),
                         qPrintable(e.message()));
                QVERIFY2(e.message().contains(QStringLiteral("CUR26, record 9, posizione 90: mancano nella certificazione "
                                                             "i campi obbligatori DA002004")),
                         qPrintable(e.message()));
            }
            QCOMPARE(QDir(m_dir.filePath(QStringLiteral("rifiutata"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList());
            QCOMPARE(g.supply->outcome().count(TVelResult::Fatto), 0);
            QVERIFY(g.supply->outcome().count(TVelResult::Errore) > 0); // said with the error
            editCu("VRDGPP70A01H199J", "SCUDSEX", QStringLiteral("M"));
        }
        {
            // an agent without representative's data
            TClientDataSet agent;
            m_store->Load(agent, QStringLiteral("TCUS_DATISOST"), TTorDBCds::AllMonths);
            agent.edit();
            agent.fieldByName(QStringLiteral("SSOSCOGNRAPPR")).setAsString(QString());
            agent.fieldByName(QStringLiteral("SSOSFIRMACOM")).setAsString(QStringLiteral("  "));
            agent.post();
            m_store->Save(agent, QStringLiteral("TCUS_DATISOST"), TTorDBCds::AllMonths);
            auto dm = module(&log);
            const TVelSupplyOpened opened = dm->open();
            const TVelSupplyGeneration g = SupplyStages::generate(opened, dm->visitedRows(TdmVelFile::All));
            QVERIFY(!g.supply); // nothing to save: "Salva" has no generation to write
            QCOMPARE(log.last(), QStringLiteral("***** Dati mancanti del sostituto :    Cognome Rappresentante,    Firma della "
                                                "comunicazione,  impossibile procedere!"));
            QCOMPARE(g.outcome.fatal, QStringLiteral("Dati mancanti del sostituto :    Cognome Rappresentante,    Firma "
                                                     "della comunicazione,  impossibile procedere!"));
        }
        {
            // a supplier row with its tax code but no type
            TClientDataSet forn;
            m_store->Load(forn, QStringLiteral("TCFO_FORNITORE"), TTorDBCds::AllMonths);
            forn.edit();
            forn.fieldByName(QStringLiteral("STFOCODICE")).setAsString(QString());
            forn.post();
            m_store->Save(forn, QStringLiteral("TCFO_FORNITORE"), TTorDBCds::AllMonths);
            auto dm = module(&log);
            QVERIFY(!SupplyStages::generate(dm->open(), {}).supply);
            QCOMPARE(log.last(), QStringLiteral("***** Tipo fornitore mancante, impossibile procedere!"));
        }
        // the agent's and the supplier's data; the refused pre-check leaves nothing to generate
        QCOMPARE(responder.texts().count(QStringLiteral("Operazione terminata con errore")), 2);
    }
};

QTEST_MAIN(TstDbTelematicStore)
#include "tst_db_telematic_store.moc"
