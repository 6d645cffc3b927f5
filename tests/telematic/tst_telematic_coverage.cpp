// Every field of the CU record model the office can type (a field shown on an
// editor page, or a box of the CU) reaches the supply: through a template
// field that reads its column, or through a value the engine works out from
// it. The test lists whatever is left over and fails, unless the field is on
// one of the two lists below, each entry with its reason.
#include "platform/core/OvExceptions.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/telematic/VelFileGenerator.h"
#include "src/prj/unit/telematic/VelFileTemplate.h"
#include "src/prj/unit/telematic/VelUFileUtil.h"

#include <QSet>
#include <QtTest>
#include <algorithm>
#include <tuple>

namespace {

// Fields that reach the supply by another way than a template column.
const QStringList kReachedOtherwise = {};

// Fields that have no place in the supply.
const QStringList kNoPlace = {
    // record B, 402-409: the program counts the certifications of each file
    // itself and saves the count here afterwards
    QStringLiteral("cdssost.ISOSNDIP"),
    // record B, 410: "1" when the Quadro CT has a cell phone or an e-mail,
    // from the Quadro CT's own data
    QStringLiteral("cdssost.LSOSCT"),
    // record B, 428: follows the intermediary's tax code at 412-427
    QStringLiteral("cdssost.LSOSDICHCONTRIB"),
    // the CU's month and the bookkeeping flags of the CU list: the supply is
    // always the CU of the year as it stands
    QStringLiteral("cdsdip.SCUDMESE"),
    QStringLiteral("cdsdip.LCUDCONGUAGLIO"),
    QStringLiteral("cdsdip.LCUDCOMPRENSIVO"),
    // which of the other agents' blocks the printed CU shows; the supply names
    // its agent in records B and D
    QStringLiteral("cdsdip.SCUDALTROSOSCODFIS"),
    // the clause beside the rates of boxes 896 and 897: the layout gives
    // each box one field code, and it carries the rate
    QStringLiteral("cdstfr.FRIEP7CLAALI1"),
    QStringLiteral("cdstfr.FRIEP7CLAALI2"),
    // the annotations: the published layout names no field code for them, so
    // they stay on the printed CU
    QStringLiteral("cdsdip.SCUDANNOTAZIONI"),
    // the CU's copy of the agent's signature, printed on the CU; the supply
    // ticks DA003002 from the agent's own signature (SSOSFIRMACOM)
    QStringLiteral("cdsdip.SCUDDATIANAFIRMA"),
};

QString key(const QString &cds, const QString &column)
{
    return cds.toLower() + QLatin1Char('.') + column.trimmed().toUpper();
}

struct Template
{
    TXMLFamily family;
    const char *file;
};
const Template kTemplates[] = {
    {TXMLFamily::A, "Record_A.xml"}, {TXMLFamily::B, "Record_B.xml"}, {TXMLFamily::E, "Record_C.xml"},
    {TXMLFamily::E, "Record_D.xml"}, {TXMLFamily::G, "Record_G.xml"}, {TXMLFamily::H, "Record_H.xml"},
};

// "dataset.COLUMN" of every column a template reads, with the dataset the
// engine really reads it from.
QSet<QString> columnsTemplatesRead()
{
    QSet<QString> out;
    for (const Template &t : kTemplates) {
        const TXMLRecordType record = LoadRecordTemplate(t.family, QLatin1String(t.file));
        for (const TXMLSectionType &section : record.sections)
            for (const TXMLCampoType &field : section.fields) {
                if (field.Field.isEmpty())
                    continue;
                QString cds = field.Cds;
                if (record.family == TXMLFamily::G && !section.Cds.isEmpty())
                    cds = section.Cds;
                if (record.family == TXMLFamily::E)
                    cds = record.recordLetter == QLatin1Char('C') ? QLatin1String(VelFileCds::QuadroCT)
                          : cds.compare(QLatin1String(VelFileCds::Sost), Qt::CaseInsensitive) == 0
                              ? QLatin1String(VelFileCds::Sost)
                              : QLatin1String(VelFileCds::Dip);
                for (const QString &column : field.Field.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                    out.insert(key(cds, column));
            }
    }
    return out;
}

} // namespace

class TstTelematicCoverage : public QObject
{
    Q_OBJECT

private slots:
    void everyFieldTheOfficeTypesReachesTheSupply()
    {
        QSet<QString> reached = columnsTemplatesRead();
        for (const Template &t : kTemplates)
            for (const QString &c : TVelFileUtil::computedColumns(LoadRecordTemplate(t.family, QLatin1String(t.file))))
                reached.insert(c);
        const QSet<QString> otherwise(kReachedOtherwise.cbegin(), kReachedOtherwise.cend());
        const QSet<QString> noPlace(kNoPlace.cbegin(), kNoPlace.cend());

        QStringList missing;
        QStringList listedButReached;
        const VelRecordModel &model = VelRecordModel::instance();
        for (const VelFileCds::Source &s : VelFileCds::Sources) {
            const VelStructureDesc &st = model.structure(QLatin1String(s.structure));
            for (const VelFieldDesc &f : st.fields) {
                if (f.page.isEmpty() && f.box.isEmpty())
                    continue; // not typed by the office
                const QString k = key(QLatin1String(s.cds), f.name);
                const bool listed = otherwise.contains(k) || noPlace.contains(k);
                if (reached.contains(k)) {
                    if (listed)
                        listedButReached << k;
                } else if (!listed) {
                    missing << QStringLiteral("%1 (%2, casella \"%3\", pagina \"%4\")").arg(k, f.label, f.box, f.page);
                }
            }
        }
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("campi del modello che non arrivano alla fornitura:\n  ")
                            + missing.join(QStringLiteral("\n  "))));
        // the lists hold only what really is left out
        QVERIFY2(listedButReached.isEmpty(), qPrintable(listedButReached.join(QStringLiteral(", "))));
    }

    void everyBoxHasOneFieldCodeOfRowOne()
    {
        // a row other than 001 numbers a repetition (dependants 603..., G
        // modules): a field of data that does not repeat never gets one, and
        // no code comes twice in the records of one kind, but for the
        // severance's section of G, whose rows the generator keeps out of a
        // module where the tax data write one of its codes
        QSet<QString> inG;
        QSet<QString> inSeverance;
        QSet<QString> inH;
        const TXMLRecordType g = LoadRecordTemplate(TXMLFamily::G, QStringLiteral("Record_G.xml"));
        const TXMLRecordType h = LoadRecordTemplate(TXMLFamily::H, QStringLiteral("Record_H.xml"));
        for (const auto &[record, severanceToo] : {std::pair{&g, true}, std::pair{&h, false}}) {
            for (const TXMLSectionType &section : record->sections) {
                if (section.Text.contains(QLatin1String("familiari a carico")))
                    continue;
                const bool severance = section.Cds.compare(QLatin1String(VelFileCds::Tfr), Qt::CaseInsensitive) == 0;
                QSet<QString> *seen = severanceToo ? (severance ? &inSeverance : &inG) : &inH;
                for (const TXMLCampoType &field : section.fields) {
                    if (!field.keyValue)
                        continue;
                    QCOMPARE(field.number.mid(2, 3), QStringLiteral("001"));
                    QVERIFY2(!seen->contains(field.number), qPrintable(field.number));
                    seen->insert(field.number);
                }
            }
        }
        // the severance in G with the tax data's codes; record H the
        // self-employment entry alone
        QVERIFY(inSeverance.contains(QStringLiteral("DB001801")));
        QVERIFY(inSeverance.contains(QStringLiteral("DB001920")));
        QVERIFY(inSeverance.contains(QStringLiteral("DB001826"))); // first instalment, filed by the model under 825
        for (const QString &code : std::as_const(inH))
            QVERIFY2(code.startsWith(QLatin1String("AU")), qPrintable(code));
        // what the two share: the single allowance's third child, boxes 801-805
        const QSet<QString> shared = inG & inSeverance;
        QCOMPARE(shared, (QSet<QString>{QStringLiteral("DB001801"), QStringLiteral("DB001802"), QStringLiteral("DB001803"),
                                        QStringLiteral("DB001804"), QStringLiteral("DB001805")}));
        QCOMPARE(TVelFileGenerator::sharedWithSeverance(g), shared);

        // the first module sees the tax data's codes only when they come before
        // the severance's section: a template that puts them after is refused
        TXMLRecordType moved = g;
        for (qsizetype i = 0; i < moved.sections.size(); ++i) {
            const TXMLSectionType &s = moved.sections.at(i);
            const bool sharing = std::any_of(s.fields.begin(), s.fields.end(), [&](const TXMLCampoType &f) {
                return f.number == QLatin1String("DB001801");
            });
            if (sharing && s.Cds.compare(QLatin1String(VelFileCds::Tfr), Qt::CaseInsensitive) != 0) {
                moved.sections.append(moved.sections.takeAt(i));
                break;
            }
        }
        checkRecordLayout(g);
        try {
            checkRecordLayout(moved);
            QFAIL("a record G with the third child's boxes after the severance was accepted");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QLatin1String("usa il codice DB001801 della sezione del TFR e deve precederla")),
                     qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TstTelematicCoverage)
#include "tst_telematic_coverage.moc"
