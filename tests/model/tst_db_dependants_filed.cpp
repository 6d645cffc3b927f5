// Every dependant the store holds reaches the supply and the printed CU, in
// the same order, with its months: on a generated school of thousands of
// payees, and on one CU whose table needs a further module. Everything runs
// through the installed programs, as an office runs them.
#include "support/PdfWords.h"
#include "support/StagedProgram.h"
#include "support/TestDb.h"
#include "support/TestStore.h"

#include "src/prj/unit/model/VelCodFis.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using StagedProgram::Run;

Run program(const QString &name, const QStringList &args)
{
    return StagedProgram::run(name, args);
}

// One filed or stored place of the table: tax code and months.
struct Place
{
    QString taxCode;
    QString months;
    bool operator==(const Place &o) const { return taxCode == o.taxCode && months == o.months; }
};

QString twoDigits(const QString &months)
{
    bool ok = false;
    const int n = months.trimmed().toInt(&ok);
    return ok ? QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')) : months.trimmed();
}

// The stored places of every CU by payee, in the order of the rows: the
// spouse first, then the first child's places, then the further members.
QMap<QString, QList<Place>> storedPlaces(TTorDBCds &store)
{
    TClientDataSet ds;
    store.Load(ds, QStringLiteral("TCUDC_CONFAMCARICO"), TTorDBCds::AllMonths);
    ds.setIndexFieldNames(QStringLiteral("SCUDCODFIS;IFISRIGO"));
    QMap<QString, QList<Place>> spouse, first, further;
    auto text = [&ds](const char *name) { return ds.fieldByName(QLatin1String(name)).asString().trimmed(); };
    for (ds.first(); !ds.eof(); ds.next()) {
        const QString cf = text("SCUDCODFIS");
        if (!text("SCUDCODFISCON").isEmpty() && spouse.value(cf).isEmpty())
            spouse[cf].append({text("SCUDCODFISCON"), twoDigits(text("SCUDMESICARCON"))});
        if (!text("SCUDCODFISPRIFIGL").isEmpty())
            first[cf].append({text("SCUDCODFISPRIFIGL"), twoDigits(text("SCUDMESICARPRIFIGL"))});
        if (!text("SCUDCODFISFIGL").isEmpty())
            further[cf].append({text("SCUDCODFISFIGL"), twoDigits(text("SCUDMESICARFIGL"))});
    }
    QMap<QString, QList<Place>> out;
    for (const QMap<QString, QList<Place>> *m : {&spouse, &first, &further})
        for (auto it = m->begin(); it != m->end(); ++it)
            out[it.key()] += it.value();
    return out;
}

// The places of the supply's G records by payee, in the order of the file:
// the field rows 601 (spouse), 602 (first child), 603... (further members),
// module after module. The months come from box 3 of the same row.
QMap<QString, QList<Place>> filedPlaces(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no supply %s", qPrintable(file));
    const QByteArray bytes = f.readAll();
    QMap<QString, QList<Place>> out;
    for (qsizetype at = 0; at + 1900 <= bytes.size(); at += 1900) {
        const QByteArray record = bytes.mid(at, 1900);
        if (record.at(0) != 'G')
            continue;
        const QString cf = QString::fromLatin1(record.mid(25, 16)).trimmed();
        QMap<QString, QString> codes, months;
        QStringList order;
        for (int slot = 0; slot < 75; ++slot) {
            const QByteArray s = record.mid(89 + slot * 24, 24);
            const QString code = QString::fromLatin1(s.left(8));
            const QString value = QString::fromLatin1(s.mid(8)).trimmed();
            if (!code.startsWith(QLatin1String("DB6")))
                continue;
            const QString row = code.mid(2, 3);
            if (code.endsWith(QLatin1String("002"))) {
                codes.insert(row, value);
                order << row;
            } else if (code.endsWith(QLatin1String("003"))) {
                months.insert(row, value);
            }
        }
        for (const QString &row : order)
            out[cf].append({codes.value(row), twoDigits(months.value(row))});
    }
    return out;
}

// The rows of the printed dependants' table of a CU's PDF: each tax code of
// `codes` found on the pages, with the months printed on its line.
QList<Place> printedPlaces(const QString &pdf, const QSet<QString> &codes)
{
    QList<Place> out;
    const QList<PdfWords::Page> pages = PdfWords::read(pdf);
    for (const PdfWords::Page &page : pages) {
        QList<PdfWords::Word> found;
        for (const PdfWords::Word &w : page)
            if (codes.contains(w.text) && w.xMin > 80 && w.xMin < 100)
                found.append(w);
        std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.yMin < b.yMin; });
        for (const PdfWords::Word &w : found) {
            QString months;
            for (const PdfWords::Word &m : page)
                if (m.xMin > 150 && m.xMin < 158 && std::abs(m.yMax - w.yMax) < 1.0)
                    months = m.text;
            out.append({w.text, twoDigits(months)});
        }
    }
    return out;
}

QString validCode(const QString &first15)
{
    return first15 + VelCodFis::personalCheck(first15);
}

} // namespace

class TstDbDependantsFiled : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_db;

    void create(const QStringList &extra)
    {
        TestDb::openEmpty();
        m_db = TestDb::cliArgs();
        Run r = program(QStringLiteral("velcu-db"), QStringList{QStringLiteral("create"), QStringLiteral("--demo")}
                                                         + extra + m_db);
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        r = program(QStringLiteral("velcu-cli"),
                    QStringList{QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12")} + m_db);
        QVERIFY2(r.status == 0 || r.status == 1 || r.status == 3, qPrintable(r.err.right(2000)));
    }

    QString supply(const QString &name)
    {
        const QString out = m_dir.filePath(name);
        const Run r = program(QStringLiteral("velcu-cli"),
                              QStringList{QStringLiteral("fornitura"), QStringLiteral("--forza"), QStringLiteral("--out"),
                                          out, QStringLiteral("--cartella-lavoro"), m_dir.path()}
                                  + m_db);
        if (r.status != 0 && r.status != 3)
            qWarning("%s", qPrintable(r.err.right(3000)));
        return out;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(m_dir.isValid());
    }

    // A school of 3,000 generated payees beside the demo's: for every CU with
    // dependants, the stored places, the filed places and the printed rows are
    // the same list.
    void wholeSchool()
    {
        create({QStringLiteral("--payees"), QStringLiteral("3000")});
        const auto db = std::make_unique<TOvSQLConnection>(TestDb::config());
        QVERIFY(db->open());
        QMap<QString, QList<Place>> stored;
        {
            auto store = TestStore::open(db.get());
            stored = storedPlaces(*store);
        }
        QVERIFY2(stored.size() > 300, qPrintable(QString::number(stored.size())));

        const QString file = supply(QStringLiteral("CUR26"));
        QVERIFY(QFile::exists(file));
        const QMap<QString, QList<Place>> filed = filedPlaces(file);
        int twoSituations = 0;
        QStringList short_;
        for (auto it = stored.begin(); it != stored.end(); ++it) {
            if (filed.value(it.key()) != it.value())
                short_ << it.key();
            QSet<QString> seen;
            for (const Place &p : it.value())
                if (!p.taxCode.isEmpty() && seen.contains(p.taxCode))
                    ++twoSituations;
                else
                    seen.insert(p.taxCode);
        }
        QVERIFY2(short_.isEmpty(), qPrintable(QStringLiteral("%1 certificazioni diverse dall'archivio: %2")
                                                  .arg(short_.size())
                                                  .arg(short_.mid(0, 10).join(QLatin1Char(' ')))));
        QVERIFY2(twoSituations > 0, "the generated school has children whose situation changes");

        // the print, one PDF per payee with dependants
        const QString folder = m_dir.filePath(QStringLiteral("percipienti"));
        QStringList args{QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--bozza"),
                         QStringLiteral("--per-percipiente"), folder};
        for (const QString &cf : stored.keys())
            args << QStringLiteral("--cf") << cf;
        const Run r = program(QStringLiteral("velcu-cli"), args + m_db);
        QVERIFY2(r.status == 0 || r.status == 3, qPrintable(r.err.right(3000)));
        QStringList misprinted;
        for (auto it = stored.begin(); it != stored.end(); ++it) {
            QSet<QString> codes;
            for (const Place &p : it.value())
                codes.insert(p.taxCode);
            QString pdf = folder + QLatin1Char('/') + it.key() + QStringLiteral("-Bozza.pdf");
            if (!QFile::exists(pdf))
                pdf = folder + QLatin1Char('/') + it.key() + QStringLiteral(".pdf");
            if (printedPlaces(pdf, codes) != it.value())
                misprinted << it.key();
        }
        QVERIFY2(misprinted.isEmpty(), qPrintable(QStringLiteral("%1 CU stampati diversi dall'archivio: %2")
                                                      .arg(misprinted.size())
                                                      .arg(misprinted.mid(0, 10).join(QLatin1Char(' ')))));
    }

    // Spouse, first child and twelve more: the file carries the eight further
    // rows the table holds in the first module and the other four in a second
    // one; each printed CU continues the table on a further copy of its page,
    // every row inside a row of the table, none over the boxes below it.
    void fourteenRows()
    {
        create({});
        const QString payee = QStringLiteral("GRDSFN81A09A662V");
        const auto db = std::make_unique<TOvSQLConnection>(TestDb::config());
        QVERIFY(db->open());
        QList<Place> expected;
        {
            auto store = TestStore::open(db.get());
            TClientDataSet ds;
            store->Load(ds, QStringLiteral("TCUDC_CONFAMCARICO"), TTorDBCds::AllMonths);
            for (ds.first(); !ds.eof();)
                if (ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString() == payee)
                    ds.deleteRecord();
                else
                    ds.next();
            TClientDataSet dip;
            store->Load(dip, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
            QVERIFY(dip.locate(QStringLiteral("SCUDCODFIS"), payee));
            const QVariant person = dip.fieldByName(QStringLiteral("IAFIID")).value();
            const QVariant month = dip.fieldByName(QStringLiteral("SCUDMESE")).value();
            auto row = [&] {
                ds.append();
                ds.fieldByName(QStringLiteral("IAFIID")).setValue(person);
                ds.fieldByName(QStringLiteral("SCUDCODFIS")).setValue(payee);
                ds.fieldByName(QStringLiteral("SCUDMESE")).setValue(month);
            };
            row();
            const QString spouse = validCode(QStringLiteral("MRNLRA83C45A662"));
            const QString first = validCode(QStringLiteral("GRDSFO12D50A662"));
            ds.fieldByName(QStringLiteral("LCUDRELPARCON")).setValue(QStringLiteral("1"));
            ds.fieldByName(QStringLiteral("SCUDCODFISCON")).setValue(spouse);
            ds.fieldByName(QStringLiteral("SCUDMESICARCON")).setValue(QStringLiteral("12"));
            ds.fieldByName(QStringLiteral("LCUDRELPARPRIFIGL")).setValue(QStringLiteral("1"));
            ds.fieldByName(QStringLiteral("SCUDCODFISPRIFIGL")).setValue(first);
            ds.fieldByName(QStringLiteral("SCUDMESICARPRIFIGL")).setValue(QStringLiteral("12"));
            expected << Place{spouse, QStringLiteral("12")} << Place{first, QStringLiteral("12")};
            for (int i = 0; i < 12; ++i) {
                if (i > 0) {
                    ds.post();
                    row();
                }
                const QString code = validCode(QStringLiteral("GRDMRC%1A%2A662").arg(10 + i).arg(10 + i, 2, 10, QLatin1Char('0')));
                const QString months = QStringLiteral("%1").arg(12 - (i % 6), 2, 10, QLatin1Char('0'));
                ds.fieldByName(QStringLiteral("LCUDRELPARFIGL")).setValue(QStringLiteral("1"));
                ds.fieldByName(QStringLiteral("SCUDCODFISFIGL")).setValue(code);
                ds.fieldByName(QStringLiteral("SCUDMESICARFIGL")).setValue(months);
                expected << Place{code, months};
            }
            ds.post();
            store->Save(ds, QStringLiteral("TCUDC_CONFAMCARICO"), TTorDBCds::AllMonths);
        }

        // the file: rows 601, 602, 603-610 in the first module, 603-606 in the second
        const QString file = supply(QStringLiteral("CUR26-14"));
        QCOMPARE(filedPlaces(file).value(payee), expected);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QStringList modules;
        for (qsizetype at = 0; at + 1900 <= bytes.size(); at += 1900)
            if (bytes.at(at) == 'G' && bytes.mid(at + 25, 16) == payee.toLatin1()) {
                const QByteArray r = bytes.mid(at, 1900);
                QStringList rows;
                for (int slot = 0; slot < 75; ++slot)
                    if (r.mid(89 + slot * 24, 8).startsWith("DB6") && r.mid(89 + slot * 24 + 5, 3) == "002")
                        rows << QString::fromLatin1(r.mid(89 + slot * 24 + 2, 3));
                if (!rows.isEmpty())
                    modules << QString::fromLatin1(r.mid(17, 8)) + QLatin1Char(':') + rows.join(QLatin1Char(','));
            }
        QCOMPARE(modules, QStringList({QStringLiteral("00000001:601,602,603,604,605,606,607,608,609,610"),
                                       QStringLiteral("00000002:603,604,605,606")}));

        QSet<QString> codes;
        for (const Place &p : expected)
            codes.insert(p.taxCode);
        for (const QString &kind : {QStringLiteral("--sintetico"), QStringLiteral("--ordinario")}) {
            const QString pdf = m_dir.filePath(kind.mid(2) + QStringLiteral("-14.pdf"));
            const Run r = program(QStringLiteral("velcu-cli"),
                                  QStringList{QStringLiteral("stampa"), kind, QStringLiteral("--bozza"),
                                              QStringLiteral("--out"), pdf, QStringLiteral("--cf"), payee}
                                      + m_db);
            QVERIFY2(r.status == 0 || r.status == 3, qPrintable(r.err));
            QCOMPARE(printedPlaces(pdf, codes), expected);
            // every row on a row of the table: the model's captions give the
            // baselines of the spouse's, the first child's and the first
            // further row; the further rows are 4 mm apart, ten rows in all
            const QList<PdfWords::Page> pages = PdfWords::read(pdf);
            int tables = 0;
            for (const PdfWords::Page &page : pages) {
                double spouseLine = -1, furtherLine = -1;
                for (qsizetype i = 0; i < page.size(); ++i) {
                    if (page[i].text == QLatin1String("CONIUGE") && page[i].xMin < 20)
                        spouseLine = page[i].yMax;
                    if (page[i].text == QLatin1String("ALTRI") && page[i].xMin < 20 && i + 1 < page.size()
                        && page[i + 1].text == QLatin1String("FAMILIARI"))
                        furtherLine = page[i].yMax;
                }
                int onPage = 0;
                for (const PdfWords::Word &w : page) {
                    if (!codes.contains(w.text))
                        continue;
                    ++onPage;
                    QVERIFY2(spouseLine > 0 && furtherLine > 0, "a dependant printed on a page without the table");
                    const double row = (w.yMax - furtherLine) / 4.0;
                    const bool onRow = std::abs(w.yMax - spouseLine) < 0.6 || std::abs(w.yMax - spouseLine - 4) < 0.6
                                       || (row > -0.15 && row < 7.15 && std::abs(row - std::round(row)) < 0.15);
                    QVERIFY2(onRow, qPrintable(QStringLiteral("%1 at %2 mm, outside the table's rows (%3)")
                                                   .arg(w.text)
                                                   .arg(w.yMax)
                                                   .arg(kind)));
                }
                QVERIFY(onPage <= 10);
                if (onPage > 0) {
                    ++tables;
                    if (tables == 2) {
                        // the continuation says whose it is and which module
                        bool module = false, taxCode = false;
                        for (const PdfWords::Word &w : page) {
                            module = module || (w.text == QLatin1String("02") && w.xMin > 185);
                            taxCode = taxCode || (w.text == payee && w.yMax < 20);
                        }
                        QVERIFY2(module && taxCode, qPrintable(kind));
                    }
                }
            }
            QCOMPARE(tables, 2);
        }
    }
};

QTEST_GUILESS_MAIN(TstDbDependantsFiled)
#include "tst_db_dependants_filed.moc"
