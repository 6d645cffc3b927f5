#include "src/prj/unit/telematic/VelFileGenerator.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"
#include "src/prj/unit/telematic/VelUFileUtil.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QDir>
#include <QSet>

namespace {

// Identity and status columns of a CU: they do not make it a CU with data.
const QSet<QString> &identityColumns()
{
    static const QSet<QString> names = {
        fld::iAfiID.qsUpper(),           fld::iFisRigo.qsUpper(),          fld::SCUDMESE.qs(),
        fld::SCUDANNOFIN.qs(),      fld::SCUDCODFIS.qs(),        fld::SCUDCOGNOME.qs(),
        fld::SCUDNOME.qs(),         fld::SCUDSEX.qs(),           fld::DCUDDATANAS.qs(),
        fld::SCUDCOMNAS.qs(),       fld::SCUDPROVNAS.qs(),       fld::SCUDCATEGPART.qs(),
        fld::SCUDEVENTECC.qs(),     fld::SCUDCASIESCPREC.qs(),   fld::SCUDCOMDFAP.qs(),
        fld::SCUDPROVDFAP.qs(),     fld::SCUDCAPDFAP.qs(),       fld::SCUDCOMDFAC.qs(),
        fld::SCUDPROVDFAC.qs(),     fld::SCUDCAPDFAC.qs(),       fld::SCUDCODFISRAPPR.qs(),
        fld::SCUDCODFISPERCEST.qs(), fld::SCUDLOCRESEST.qs(),    fld::SCUDVIAECIV.qs(),
        fld::DCUDDATIANADATA.qs(),  fld::SCUDDATIANAFIRMA.qs(),  fld::LCUDANNULLAMENTO.qs(),
        fld::ICUDCODSTAEST.qs(),    fld::LCUDSOSTITUZIONE.qs(),  fld::SCUDIDENTSERVTELE.qs(),
        fld::SCUDPROGRDICH.qs(),    fld::LCUDCONFERMADICH.qs(),  fld::LCUDCOMPRENSIVO.qs(),
        fld::LCUDCONGUAGLIO.qs(),   fld::LCUDIMPORTATO.qs(),     fld::SCUDANNOTAZIONI.qs(),
        fld::iCudStato.qsUpper(),        fld::SCUDFUSCOM.qs(),        fld::SCUDFUSCOMPREC.qs(),
    };
    return names;
}

// The seven datasets whose rows make further G modules.
constexpr const char *kRepeated[] = {VelFileCds::Inps,      VelFileCds::Inpdap,      VelFileCds::Inail,
                                     VelFileCds::AltriEnti, VelFileCds::Tfr,         VelFileCds::Annotazioni,
                                     VelFileCds::CoopArt};

// Filtered per certification (cdsAnnotazioni after the preparation hook).
constexpr const char *kSections[] = {VelFileCds::Inps,    VelFileCds::Inail,     VelFileCds::AltriEnti,
                                     VelFileCds::Inpdap,  VelFileCds::CoopArt,   VelFileCds::ConFamCar,
                                     VelFileCds::AutSe,   VelFileCds::Tfr};

// Datasets whose rows make a certification worth a D record.
constexpr const char *kDRows[] = {VelFileCds::Inps,   VelFileCds::Inail,     VelFileCds::AltriEnti,
                                  VelFileCds::Inpdap, VelFileCds::CoopArt,   VelFileCds::ConFamCar,
                                  VelFileCds::AutSe,  VelFileCds::Tfr,       VelFileCds::Annotazioni};

// A section of the record reads the dataset: rows of a dataset no section
// writes (the annotations' codes, which have no field code in the layout)
// neither make a certification worth sending nor further G modules.
bool readsDataSet(const TXMLRecordType &record, const char *name)
{
    for (const TXMLSectionType &s : record.sections)
        if (s.Cds.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

struct TemplateFile
{
    QChar letter;
    TXMLFamily family;
};
const TemplateFile kTemplates[] = {{u'A', TXMLFamily::A}, {u'B', TXMLFamily::B}, {u'C', TXMLFamily::E},
                                   {u'D', TXMLFamily::E}, {u'G', TXMLFamily::G}, {u'H', TXMLFamily::H},
                                   {u'Z', TXMLFamily::Z}};

[[noreturn]] void layoutError(const TXMLRecordType &r, const QString &detail)
{
    throw EOvError(QStringLiteral("Tracciato record %1 non valido: %2").arg(r.fileName, detail));
}

// The head fields the engine counts on: the first gives the record type,
// the certification progressive (D, G, H) is where the assembly reads it.
void checkHeadField(const TXMLRecordType &record, const TXMLCampoType &f, int index)
{
    const bool certified = record.family != TXMLFamily::E || record.recordLetter == QLatin1Char('D');
    const char *rule = nullptr;
    TXMLCalc calc = TXMLCalc::None;
    if (index == 1) {
        rule = "tipo-record";
        calc = TXMLCalc::RecordType;
    } else if (index == TVelFileUtil::CertificationHeadField && certified) {
        rule = "certificazione";
        calc = TXMLCalc::Certification;
    }
    if (rule && f.calc != calc)
        layoutError(record, QStringLiteral("il campo %1 della parte fissa vuole Calc=\"%2\" (riga %3)")
                                .arg(index)
                                .arg(QLatin1String(rule))
                                .arg(f.line));
}

} // namespace

void checkRecordLayout(const TXMLRecordType &record)
{
    if (record.family == TXMLFamily::A || record.family == TXMLFamily::B || record.family == TXMLFamily::Z) {
        const int expected = record.family == TXMLFamily::Z ? TVelFileUtil::RecordContent : TVelFileUtil::RecordLength;
        int total = 0;
        for (const TXMLSectionType &s : record.sections)
            for (const TXMLCampoType &f : s.fields)
                total += f.Width;
        if (total != expected)
            layoutError(record, QStringLiteral("i campi occupano %1 caratteri invece di %2").arg(total).arg(expected));
        return;
    }
    int index = 0;
    int headWidth = 0;
    for (const TXMLSectionType &s : record.sections) {
        for (const TXMLCampoType &f : s.fields) {
            ++index;
            if (index <= TVelFileUtil::HeadFields) {
                if (f.keyValue || f.number != QString::number(index))
                    layoutError(record, QStringLiteral("il campo %1 della parte fissa ha Number \"%2\" (riga %3)")
                                            .arg(index)
                                            .arg(f.Number)
                                            .arg(f.line));
                if (record.family == TXMLFamily::G && !s.head)
                    layoutError(record, QStringLiteral("la parte fissa deve stare in una sezione di soli campi "
                                                       "posizionali (riga %1)")
                                            .arg(f.line));
                checkHeadField(record, f, index);
                headWidth += f.Width;
            } else if (!f.keyValue) {
                layoutError(record, QStringLiteral("campo posizionale \"%1\" dopo la parte fissa (riga %2)")
                                        .arg(f.Number)
                                        .arg(f.line));
            } else if (f.Width != 16) {
                layoutError(record, QStringLiteral("il campo %1 è largo %2 invece di 16 (riga %3)")
                                        .arg(f.number)
                                        .arg(f.Width)
                                        .arg(f.line));
            }
        }
    }
    if (index < TVelFileUtil::HeadFields)
        layoutError(record, QStringLiteral("mancano i campi della parte fissa"));
    if (record.family == TXMLFamily::G) {
        // The first module decides whether the severance stays in it from the
        // field rows written before its section: a section that could write
        // one of its codes must come before it.
        const QSet<QString> severance = TVelFileGenerator::severanceCodes(record);
        bool after = false;
        for (const TXMLSectionType &s : record.sections) {
            if (s.Cds.compare(QLatin1String(VelFileCds::Tfr), Qt::CaseInsensitive) == 0) {
                after = true;
                continue;
            }
            if (!after)
                continue;
            for (const TXMLCampoType &f : s.fields)
                if (f.keyValue && severance.contains(f.number))
                    layoutError(record, QStringLiteral("la sezione \"%1\" usa il codice %2 della sezione del TFR e "
                                                       "deve precederla (riga %3)")
                                            .arg(s.Text, f.number)
                                            .arg(f.line));
        }
    }
    if (headWidth != 89)
        layoutError(record, QStringLiteral("la parte fissa occupa %1 caratteri invece di 89").arg(headWidth));
}

TVelFileGenerator::TVelFileGenerator(TVelFileDataSets &dataSets, TVelFileUtil &engine)
    : m_dataSets(dataSets), m_engine(engine)
{
}

void TVelFileGenerator::loadTemplates(const QString &dir)
{
    const QString folder = dir.isEmpty() ? recordTemplateDir() : dir;
    QList<TXMLRecordType> loaded;
    for (const TemplateFile &t : kTemplates) {
        const QString name = QStringLiteral("Record_%1.xml").arg(t.letter);
        const QString dirPath = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        TXMLRecordType r = LoadRecordTemplate(t.family, TorFolders::resolveFile(dirPath, name));
        r.recordLetter = t.letter;
        checkRecordLayout(r);
        loaded.append(r);
    }
    m_places = VelSupplyPlaces::fromTemplates(loaded[0], loaded[1], loaded[6]);
    m_templates = loaded;
}

const TXMLRecordType &TVelFileGenerator::recordTemplate(QChar letter) const
{
    for (const TXMLRecordType &r : m_templates)
        if (r.recordLetter == letter)
            return r;
    throw EAssertionFailed(QStringLiteral("Tracciato record %1 non caricato").arg(letter));
}

TClientDataSet &TVelFileGenerator::need(const char *name) const
{
    TClientDataSet *ds = m_dataSets.find(QLatin1String(name));
    if (!ds)
        throw EAssertionFailed(QStringLiteral("Dataset %1 non disponibile").arg(QLatin1String(name)));
    return *ds;
}

void TVelFileGenerator::log(const QString &line) const
{
    if (m_log)
        m_log(line);
}

QString TVelFileGenerator::payee(TClientDataSet &dip) const
{
    return dip.fieldByName(fld::SCUDCOGNOME.qs()).asString() + QLatin1Char(' ')
           + dip.fieldByName(fld::SCUDNOME.qs()).asString();
}

QList<int> TVelFileGenerator::allRows(TClientDataSet &dip)
{
    QList<int> rows;
    const int n = dip.recordCount();
    rows.reserve(n);
    for (int i = 1; i <= n; ++i)
        rows.append(i);
    return rows;
}

bool TVelFileGenerator::hasFiscalData(TClientDataSet &dip)
{
    const QSet<QString> &skip = identityColumns();
    for (int i = 0; i < dip.fieldCount(); ++i) {
        const TFieldDef &d = dip.fieldDefs().at(i);
        if (dip.field(i).isNull() || skip.contains(d.name.toUpper()))
            continue;
        const QVariant v = dip.field(i).value();
        if (v.isNull() || !v.isValid())
            continue;
        switch (d.type) {
        case TFieldType::Currency:
            if (!v.value<Currency>().isZero())
                return true;
            break;
        case TFieldType::Integer:
            if (v.toLongLong() != 0)
                return true;
            break;
        case TFieldType::Float:
            if (v.toDouble() != 0.0)
                return true;
            break;
        default: {
            const QString t = fieldValueText(d.type, v).trimmed();
            if (!t.isEmpty() && t != QLatin1String("0"))
                return true;
        }
        }
    }
    return false;
}

bool TVelFileGenerator::quadroCTRequested(TClientDataSet *quadroCT)
{
    if (!quadroCT || !quadroCT->active() || quadroCT->isEmpty())
        return false;
    for (const char *column : {fld::SCTCELL.name, fld::SCTEMAIL.name}) {
        const TField f = quadroCT->findField(QLatin1String(column));
        if (f && !f.asString().trimmed().isEmpty())
            return true;
    }
    return false;
}

// Puts the views of some section datasets in the place of the datasets for
// the time of a pass, and the datasets back afterwards (also on an error).
class TVelFileGenerator::Views
{
public:
    Views(TVelFileGenerator &g, const QList<const char *> &names) : m_g(g)
    {
        for (const char *name : names) {
            View v;
            v.name = QLatin1String(name);
            v.real = &g.need(name);
            v.real->setFiltered(false);
            v.rows = std::make_unique<TClientDataSet>();
            v.rows->setObjectName(v.real->objectName());
            v.rows->setFieldDefs(v.real->fieldDefs());
            v.rows->createDataSet();
            const int id = v.real->fieldIndex(fld::iAfiID.qsUpper());
            if (id < 0)
                throw EAssertionFailed(QStringLiteral("Il dataset %1 non ha la colonna IAFIID").arg(v.name));
            const int n = v.real->recordCount();
            for (int r = 0; r < n; ++r)
                v.byPerson[v.real->valueAt(r, id).toLongLong()].append(r);
            m_views.push_back(std::move(v));
        }
        for (View &v : m_views)
            g.m_dataSets.add(v.name, v.rows.get());
        g.m_views = &m_views;
    }
    ~Views()
    {
        for (View &v : m_views)
            m_g.m_dataSets.add(v.name, v.real);
        m_g.m_views = nullptr;
    }

private:
    TVelFileGenerator &m_g;
    std::vector<View> m_views;
};

void TVelFileGenerator::showPerson(View &view, qint64 person)
{
    TClientDataSet &rows = *view.rows;
    const auto it = view.byPerson.constFind(person);
    // most certifications have no rows in most sections: an empty view stays as it is
    if (it == view.byPerson.constEnd() && rows.isEmpty() && rows.state() == TDataSetState::Browse) {
        rows.first();
        return;
    }
    rows.emptyDataSet();
    if (it != view.byPerson.constEnd())
        rows.appendRowsOf(*view.real, it.value());
    rows.first();
}

void TVelFileGenerator::prepare(TClientDataSet &dip)
{
    const qint64 person = dip.fieldByName(fld::iAfiID.qsUpper()).asInteger();
    const QString filter = QStringLiteral("IAFIID = %1").arg(person);
    auto filterOn = [&](const char *name) {
        TClientDataSet &ds = need(name);
        ds.setFilter(filter);
        ds.setFiltered(true);
    };
    bool notesShown = false;
    if (m_views) {
        m_family.clear();
        for (View &v : *m_views) {
            showPerson(v, person);
            notesShown = notesShown || v.name == QLatin1String(VelFileCds::Annotazioni);
            // every stored place of the dependants' rows reaches the file: one
            // row of the model's table per member and situation, none empty
            if (v.name == QLatin1String(VelFileCds::ConFamCar) && VelDependants::needsRewrite(*v.rows)) {
                m_family = VelDependants::members(*v.rows);
                VelDependants::fill(*v.rows, m_family, 0);
            }
        }
    } else {
        for (const char *name : kSections)
            filterOn(name);
    }
    if (m_prepare)
        m_prepare(dip);
    if (!notesShown)
        filterOn(VelFileCds::Annotazioni);
}

QList<const char *> TVelFileGenerator::viewedSections() const
{
    QList<const char *> names(std::begin(kSections), std::end(kSections));
    // the preparation rebuilds the annotation rows in the dataset itself
    if (!m_prepare)
        names.append(VelFileCds::Annotazioni);
    return names;
}

bool TVelFileGenerator::fiscalData(TClientDataSet &dip, int row)
{
    if (!m_keepFiscal)
        return hasFiscalData(dip);
    const auto it = m_fiscal.constFind(row);
    if (it != m_fiscal.constEnd())
        return it.value();
    const bool has = hasFiscalData(dip);
    m_fiscal.insert(row, has);
    return has;
}

void TVelFileGenerator::generate(const QList<int> &rows)
{
    // cdsDip does not change while the passes run: its rows are examined once
    m_fiscal.clear();
    m_keepFiscal = true;
    struct Reset
    {
        TVelFileGenerator *g;
        ~Reset()
        {
            g->m_keepFiscal = false;
            g->m_fiscal.clear();
        }
    } reset{this};
    // a million field rows are appended one by one: a view of the tables
    // reads them once, when the passes end (also on an error)
    struct Quiet
    {
        TClientDataSet &fields;
        TClientDataSet &records;
        Quiet(TClientDataSet &f, TClientDataSet &r) : fields(f), records(r)
        {
            fields.disableControls();
            records.disableControls();
        }
        ~Quiet()
        {
            records.enableControls();
            fields.enableControls();
        }
    } quiet(m_engine.fieldTable(), m_engine.recordTable());
    m_engine.fieldTable().emptyDataSet();
    m_engine.recordTable().emptyDataSet();
    const bool ct = quadroCTRequested(m_dataSets.find(QLatin1String(VelFileCds::QuadroCT)));
    m_engine.setQuadroCT(ct);
    if (ct)
        passC();
    passD(rows);
    passG(rows);
    passH(rows);
}

void TVelFileGenerator::passC()
{
    log(QStringLiteral("Generazione del Record C..."));
    const TXMLRecordType &c = recordTemplate(u'C');
    TClientDataSet &qct = need(VelFileCds::QuadroCT);
    int counter = 1;
    for (qct.first(); !qct.eof(); qct.next()) {
        m_engine.setProgressive(counter);
        m_engine.setModuleCounter(counter);
        m_engine.WriteAllSections(c);
        ++counter;
    }
}

void TVelFileGenerator::passD(const QList<int> &rows)
{
    log(QStringLiteral("Generazione del Record D..."));
    const TXMLRecordType &d = recordTemplate(u'D');
    TClientDataSet &dip = need(VelFileCds::Dip);
    Views views(*this, viewedSections());
    m_written = 0;
    m_rowsD.clear();
    const bool notesWritten = readsDataSet(recordTemplate(u'G'), VelFileCds::Annotazioni);
    for (int r : rows) {
        dip.setRecNo(r);
        prepare(dip);
        bool write = fiscalData(dip, r)
                     || dip.fieldByName(fld::LCUDANNULLAMENTO.qs()).asString() == QLatin1String("1");
        for (const char *name : kDRows)
            write = write || (!need(name).isEmpty() && (QLatin1String(name) != QLatin1String(VelFileCds::Annotazioni) || notesWritten));
        if (!write)
            continue;
        log(QStringLiteral("Percipiente: ") + payee(dip));
        m_engine.setProgressive(r);
        m_engine.setCertification(r);
        m_engine.setModuleCounter(1);
        m_engine.WriteAllSections(d);
        ++m_written;
        m_rowsD.insert(r);
    }
}

bool TVelFileGenerator::isRepeatedSection(const TXMLSectionType &section) const
{
    for (const char *name : kRepeated)
        if (section.Cds.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void TVelFileGenerator::writeSectionG(const TXMLSectionType &section)
{
    const TXMLRecordType &g = recordTemplate(u'G');
    const QString repeat = section.Repeat;
    if (repeat == QLatin1String("NO")) {
        m_engine.WriteSection(g, section, 0);
    } else if (repeat == QLatin1String("YES")) {
        TClientDataSet *ds = m_dataSets.find(section.Cds);
        if (!ds)
            throw EAssertionFailed(QStringLiteral("Sezione non trovata ") + section.Cds);
        const TBookmark keep = ds->bookmark();
        int row = section.FirstRow;
        for (ds->first(); !ds->eof(); ds->next())
            m_engine.WriteSection(g, section, row++);
        if (keep != InvalidBookmark && ds->bookmarkValid(keep))
            ds->gotoBookmark(keep);
    }
}

QSet<QString> TVelFileGenerator::severanceCodes(const TXMLRecordType &g)
{
    QSet<QString> codes;
    for (const TXMLSectionType &s : g.sections)
        if (s.Cds.compare(QLatin1String(VelFileCds::Tfr), Qt::CaseInsensitive) == 0)
            for (const TXMLCampoType &f : s.fields)
                if (f.keyValue)
                    codes.insert(f.number);
    return codes;
}

QSet<QString> TVelFileGenerator::sharedWithSeverance(const TXMLRecordType &g)
{
    const QSet<QString> severance = severanceCodes(g);
    QSet<QString> shared;
    for (const TXMLSectionType &s : g.sections) {
        if (s.Cds.compare(QLatin1String(VelFileCds::Tfr), Qt::CaseInsensitive) == 0)
            continue;
        for (const TXMLCampoType &f : s.fields)
            if (f.keyValue && severance.contains(f.number))
                shared.insert(f.number);
    }
    return shared;
}

bool TVelFileGenerator::writtenSince(int firstRow, const QSet<QString> &codes) const
{
    if (codes.isEmpty())
        return false;
    TClientDataSet &t = m_engine.fieldTable();
    const int column = t.fieldIndex(QStringLiteral("SFIFIRECORD"));
    const int rows = t.recordCount();
    for (int r = firstRow; r < rows; ++r)
        if (codes.contains(t.valueAt(r, column).toString().left(8)))
            return true;
    return false;
}

void TVelFileGenerator::passG(const QList<int> &rows)
{
    log(QStringLiteral("Generazione del Record G..."));
    const TXMLRecordType &g = recordTemplate(u'G');
    TClientDataSet &dip = need(VelFileCds::Dip);
    Views views(*this, viewedSections());
    TClientDataSet &family = need(VelFileCds::ConFamCar);
    QList<TClientDataSet *> repeated;
    for (const char *name : kRepeated)
        if (readsDataSet(g, name))
            repeated.append(&need(name));
    TClientDataSet &severance = need(VelFileCds::Tfr);
    // Codes the severance shares with the other sections (boxes 801-805 of
    // the single allowance's third child): when the first module writes one of
    // them before the severance's section, the severance rows begin in the
    // second module, so that no record carries a code twice for different data.
    const QSet<QString> shared = sharedWithSeverance(g);

    m_written = 0;
    m_skipped = 0;
    for (int r : rows) {
        dip.setRecNo(r);
        prepare(dip);
        for (TClientDataSet *ds : repeated)
            ds->first();
        family.first();

        bool allEmpty = true;
        for (TClientDataSet *ds : repeated)
            allEmpty = allEmpty && ds->isEmpty();
        if (allEmpty && family.isEmpty() && !fiscalData(dip, r)) {
            ++m_skipped;
            continue;
        }
        ++m_written;
        log(QStringLiteral("Percipiente: ") + payee(dip));
        m_engine.setProgressive(r);
        m_engine.setCertification(r);
        int module = 1;
        m_engine.setModuleCounter(module);

        if (allEmpty) {
            for (const TXMLSectionType &s : g.sections)
                if (!isRepeatedSection(s))
                    writeSectionG(s);
            familyOverflow(g, module);
            continue;
        }
        bool severanceLate = false;
        for (int index = 1;; ++index) {
            bool more = false;
            for (TClientDataSet *ds : repeated)
                more = more || !ds->eof();
            if (!more)
                break;
            if (index == 1) {
                int bodyStart = m_engine.fieldTable().recordCount();
                for (const TXMLSectionType &s : g.sections) {
                    if (s.Cds.compare(QLatin1String(VelFileCds::Tfr), Qt::CaseInsensitive) == 0
                        && !severance.isEmpty() && writtenSince(bodyStart, shared)) {
                        severanceLate = true;
                        continue;
                    }
                    writeSectionG(s);
                    if (s.head)
                        bodyStart = m_engine.fieldTable().recordCount();
                }
            } else {
                m_engine.setModuleCounter(++module);
                for (const TXMLSectionType &s : g.sections) {
                    if (s.head) {
                        writeSectionG(s);
                    } else if (isRepeatedSection(s)) {
                        // a dataset past its last row has nothing more to give: its
                        // last row is not written again into a further module
                        TClientDataSet *ds = m_dataSets.find(s.Cds);
                        if (ds && !ds->eof())
                            writeSectionG(s);
                    }
                }
            }
            for (TClientDataSet *ds : repeated)
                if (!(index == 1 && severanceLate && ds == &severance))
                    ds->next();
        }
        familyOverflow(g, module);
    }
}

void TVelFileGenerator::familyOverflow(const TXMLRecordType &g, int &module)
{
    const int modules = VelDependants::modules(m_family);
    if (modules < 2)
        return;
    TClientDataSet &family = need(VelFileCds::ConFamCar);
    for (int extra = 1; extra < modules; ++extra) {
        VelDependants::fill(family, m_family, extra);
        m_engine.setModuleCounter(++module);
        for (const TXMLSectionType &s : g.sections) {
            const bool furtherMembers = s.Repeat == QLatin1String("YES")
                                        && s.Cds.compare(QLatin1String(VelFileCds::ConFamCar), Qt::CaseInsensitive) == 0;
            if (s.head || furtherMembers)
                writeSectionG(s);
        }
    }
    // the first module's rows again, for whatever reads the view after
    VelDependants::fill(family, m_family, 0);
}

void TVelFileGenerator::passH(const QList<int> &rows)
{
    log(QStringLiteral("Generazione del Record H..."));
    const TXMLRecordType &h = recordTemplate(u'H');
    TClientDataSet &dip = need(VelFileCds::Dip);
    Views views(*this, {VelFileCds::AutSe});
    View &autView = m_views->front();
    TClientDataSet &aut = need(VelFileCds::AutSe);
    m_selfEmployed = 0;
    for (int r : rows) {
        dip.setRecNo(r);
        showPerson(autView, dip.fieldByName(fld::iAfiID.qsUpper()).asInteger());
        if (aut.isEmpty())
            continue;
        log(QStringLiteral("Autonomo: ") + payee(dip));
        ++m_selfEmployed;
        int entry = 1;
        for (aut.first(); !aut.eof(); aut.next()) {
            m_engine.setProgressive(entry);
            m_engine.setModuleCounter(entry);
            m_engine.setCertification(r);
            m_engine.WriteAllSections(h);
            ++entry;
        }
    }
}

void TVelFileGenerator::checkFilers()
{
    // who files the supply and who made the program: never blank, never invalid
    if (!VelCodFis::isValidNumeric(m_engine.softwareProducer()))
        throw EOvError(m_engine.softwareProducer().trimmed().isEmpty()
                           ? QStringLiteral("Codice fiscale del produttore del software mancante, impossibile procedere!")
                           : QStringLiteral("Codice fiscale del produttore del software non valido (\"%1\"), "
                                            "impossibile procedere!")
                                 .arg(m_engine.softwareProducer()));
    auto code = [this](const char *cds, const char *column) {
        TClientDataSet *ds = m_dataSets.find(QLatin1String(cds));
        if (!ds || !ds->active() || ds->isEmpty())
            return QString();
        const TField f = ds->findField(QLatin1String(column));
        return f ? f.asString().trimmed().toUpper() : QString();
    };
    VelTaxCode::require(code(VelFileCds::Forn, fld::SFORCODFIS.name), QStringLiteral("Codice fiscale fornitore"));
    VelTaxCode::require(code(VelFileCds::Sost, fld::SSOSCODFIS.name), QStringLiteral("Codice fiscale del sostituto"));
}

void TVelFileGenerator::assemble()
{
    checkFilers();
    m_engine.recordTable().emptyDataSet();
    m_engine.WritePositionalRecord(recordTemplate(u'A'));
    m_engine.WritePositionalRecord(recordTemplate(u'B'));
    if (!m_engine.fieldTable().isEmpty()) {
        for (QChar letter : {u'C', u'D', u'G', u'H'})
            m_engine.AssembleRecords(letter, TVelFileUtil::HeadFields);
    }
    m_engine.WritePositionalRecord(recordTemplate(u'Z'));
}
