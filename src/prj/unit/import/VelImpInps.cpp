#include "src/prj/unit/import/VelImpInps.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/import/VelImportTables.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "tor/calc/TorUCalcoli.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QMap>
#include <QSet>

namespace {

const char *const kMesi[] = {"GENNAIO", "FEBBRAIO", "MARZO",     "APRILE",  "MAGGIO",   "GIUGNO",
                             "LUGLIO",  "AGOSTO",   "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};

const QString X = QStringLiteral("X");
const QString ZERO = QStringLiteral("0");

void somma(TClientDataSet &ds, const char *field, Currency value)
{
    const TField f = ds.fieldByName(QLatin1String(field));
    f.setAsCurrency(f.asCurrency() + value);
}

QString testo(TClientDataSet &ds, const QString &name)
{
    const TField f = ds.findField(name);
    return f ? f.asString().trimmed() : QString();
}

int intero(TClientDataSet &ds, const QString &name)
{
    const TField f = ds.findField(name);
    return f && !f.isNull() ? int(f.asInteger()) : 0;
}

Currency importo(TClientDataSet &ds, const QString &name)
{
    const TField f = ds.findField(name);
    return f && !f.isNull() ? f.asCurrency() : Currency();
}

QDate data(TClientDataSet &ds, const QString &name)
{
    const TField f = ds.findField(name);
    return f && !f.isNull() ? f.asDate() : QDate();
}

// ---------------------------------------------------------------- INPS

class CostruttoreInps
{
public:
    CostruttoreInps(const TVelImpContesto &ctx, TClientDataSet &ds) : m_ctx(ctx), m_ds(ds), m_q(ctx.source()) {}

    int esegui()
    {
        if (!m_ctx.listaInps.trimmed().isEmpty()) {
            accessori();
            fondamentali();
        }
        // The separate scheme of a co-ordinated collaboration: its position
        // is never in the INPS list, so it runs on the collaboration list.
        if (!m_ctx.listaCococo.trimmed().isEmpty())
            altriFondi();
        if (aperta())
            posta();
        return m_scritte;
    }

private:
    bool aperta() const { return m_ds.state() == TDataSetState::Insert || m_ds.state() == TDataSetState::Edit; }

    QVariantMap parametri() const
    {
        return {{QStringLiteral("IACOMID"), m_ctx.IACOMID},
                {QStringLiteral("MESE_INIZIALE"), m_ctx.MESE_INIZIALE},
                {QStringLiteral("MESE_FINALE"), m_ctx.MESE_FINALE}};
    }

    // The four-way sum of a query over the INPS codes and two kinds.
    Currency somma4(const QString &query, const QString &kindParam, int k1, int k2)
    {
        Currency t;
        const QString filtro = TRagQuery::positionFilter(m_ctx.listaInps);
        for (int rice : {TVelImpInps::RICE_COD_INPS_OI, TVelImpInps::RICE_COD_INPS_PT})
            for (int k : {k1, k2}) {
                QVariantMap p = parametri();
                p.insert(QStringLiteral("IRICEID"), rice);
                p.insert(kindParam, k);
                t += m_q.total(query, p, {filtro}, QStringLiteral("TOTALE"));
            }
        return t;
    }

    void nuova(const QString &matricola)
    {
        m_ctx.nuovaRiga(m_ds);
        for (const char *f : {fld::LCUDENTEINPS.name, fld::LCUDENTEALTRO.name, fld::LCUDTRASFRAPP.name, fld::LCUDINTERAMVERS.name, fld::LCUDPARZIALVERS.name,
                              fld::LCUDNONVERS.name, fld::lCudMesiRetr.upper, fld::lCudMesiRetr_C.upper, fld::LCUD3BMESIRETR_C.name,
                              fld::LCUD3TMESIRETR_C.name})
            m_ds.fieldByName(QLatin1String(f)).setAsString(ZERO);
        m_ds.fieldByName(fld::sCudMatrAzienda.qsUpper()).setAsString(matricola);
    }

    void posta()
    {
        const bool inps = importo(m_ds, fld::FCUDIMPONIBILE.qs()) != Currency()
            || importo(m_ds, fld::fCudContribTratt.qsUpper()) != Currency();
        if (inps)
            m_ds.fieldByName(fld::LCUDENTEINPS.qs()).setAsString(X);
        if (importo(m_ds, fld::fCudCompCorrisp.qsUpper()) != Currency())
            m_ds.fieldByName(fld::LCUDENTEALTRO.qs()).setAsString(X);
        m_ds.post();
        m_ctx.salvaTabella(m_ds, TVelImpInps::kTabella);
        ++m_scritte;
    }

    void accessori()
    {
        const QString matricola = m_ctx.paco.SPACOMATRAZACC.isEmpty() ? m_ctx.paco.SPACOMATRAZIENDA
                                                                       : m_ctx.paco.SPACOMATRAZACC;
        const Currency imp = somma4(QStringLiteral("QRY_CUD_INPS_IMP_ACC"), QStringLiteral("IVARMRIRPID"),
                                    TVelImpInps::VARMRIRP_ACCESSORI, TVelImpInps::VARMRIRP_ARRETRATI);
        if (imp == Currency())
            return;
        nuova(matricola);
        somma(m_ds, fld::FCUDIMPONIBILE.name, imp);
        m_ds.fieldByName(fld::fCudContribTratt.qsUpper())
            .setAsCurrency(somma4(QStringLiteral("QRY_CUD_INPS_RIT_ACC"), QStringLiteral("IVARMRIRPID"),
                                  TVelImpInps::VARMRIRP_ACCESSORI, TVelImpInps::VARMRIRP_ARRETRATI));
    }

    void fondamentali()
    {
        const QString matricola = m_ctx.paco.SPACOMATRAZIENDA;
        const Currency imp = somma4(QStringLiteral("QRY_CUD_INPS_IMP_FOND"), QStringLiteral("ICOSID"),
                                    TVelImpInps::COS_STIPENDIO, TVelImpInps::COS_TREDICESIMA);
        if (imp == Currency())
            return;
        if (aperta() && testo(m_ds, fld::sCudMatrAzienda.qsUpper()) != matricola)
            posta();
        if (!aperta())
            nuova(matricola);
        somma(m_ds, fld::FCUDIMPONIBILE.name, imp);
        somma(m_ds, fld::fCudContribTratt.upper,
              somma4(QStringLiteral("QRY_CUD_INPS_RIT_FOND"), QStringLiteral("ICOSID"), TVelImpInps::COS_STIPENDIO,
                     TVelImpInps::COS_TREDICESIMA));

        QVariantMap p = parametri();
        p.insert(QStringLiteral("RICE_COD_INPS_OI"), TVelImpInps::RICE_COD_INPS_OI);
        p.insert(QStringLiteral("RICE_COD_INPS_PT"), TVelImpInps::RICE_COD_INPS_PT);
        TOvSQLQuery &mesi = m_q.open(QStringLiteral("QRY_CUD_INPS_MESI"), p,
                                     {TRagQuery::positionFilter(m_ctx.listaInps)});
        QSet<int> conInps;
        for (mesi.first(); !mesi.eof(); mesi.next())
            conInps.insert(intero(mesi, QStringLiteral("IMESID")));
        segnaMesi(1, conInps);
    }

    // The twelve month flags of a series follow its January field in the
    // record's field order.
    void segnaMesi(int serie, const QSet<int> &mesi)
    {
        const int gennaio = m_ds.fieldIndex(serie == 1 ? fld::lCudGennaio.qsUpper() : fld::lCudGennaio_C.qsUpper());
        if (gennaio < 0)
            throw EAssertionFailed(QStringLiteral("Campo dei mesi INPS assente"));
        bool qualcunoX = false;
        for (int m = 1; m <= 12; ++m) {
            const TField f = m_ds.field(gennaio + m - 1);
            if (f.asString() != ZERO)
                f.setAsString(mesi.contains(m) ? ZERO : X);
            qualcunoX = qualcunoX || f.asString() == X;
        }
        if (!qualcunoX)
            m_ds.fieldByName(serie == 1 ? fld::lCudMesiRetr.qsUpper() : fld::lCudMesiRetr_C.qsUpper()).setAsString(X);
    }

    void altriFondi()
    {
        const QString posizioni = m_ctx.listaCococo.trimmed();
        if (!TRagQuery::isIntegerList(posizioni))
            throw EAssertionFailed(QStringLiteral("Elenco di posizioni non valido: %1").arg(posizioni));
        TOvSQLQuery &r = m_q.open(QStringLiteral("QRY_CUD_PREVID_RIT_FOND"), parametri(), {posizioni});
        if (r.isEmpty())
            return;
        const Currency compensi = TRagQuery::amount(r, QStringLiteral("FVARRIMPONIBILEAMM"));
        const Currency dip = TRagQuery::amount(r, QStringLiteral("FVARRRITDIP"));
        const Currency amm = TRagQuery::amount(r, QStringLiteral("FVARRRITAMM"));
        if (compensi == Currency() && dip == Currency() && amm == Currency())
            return;
        TOvSQLQuery &fisc = m_q.open(QStringLiteral("QRY_ANAFISC"), {{QStringLiteral("IACOMID"), m_ctx.IACOMID}});
        const bool dottorato = !fisc.isEmpty() && intero(fisc, QStringLiteral("LACOMBORSADOTTORATO")) == 1;
        if (!aperta())
            nuova(QString());
        // Fees paid, contributions due (both shares), the collaborator's
        // share withheld, contributions paid (both shares).
        somma(m_ds, fld::fCudCompCorrisp.upper, compensi);
        somma(m_ds, fld::fCudCompDovuti.upper, dip + amm);
        somma(m_ds, fld::fCudCompTratten.upper, dip);
        somma(m_ds, fld::fCudCompVersati.upper, dip + amm);
        m_ds.fieldByName(fld::SCUDTIPORAPPORTO.qs()).setAsString(dottorato ? QStringLiteral("05") : QStringLiteral("11"));
    }

    const TVelImpContesto &m_ctx;
    TClientDataSet &m_ds;
    TRagQuery m_q;
    int m_scritte = 0;
};

// ---------------------------------------------------------------- public pension

struct RigaInpdap
{
    int annoRif = 0;
    QString cfAmm;
    QString nomeAmm;   // for the messages: the administration's name
    QString codInpdap;
    QString soggDen;
    bool noipa = false;
    bool uniemens = false;
    QString gest1, gest2, gest3;
    Currency impPens, conPens, clavTrat, impTfs, conTfs, impTfr, conTfr, impCredito, conCredito, gesCretClav,
        conEnpdep, sospA0;
    QSet<int> mesi;
};

QString chiaveRiga(int anno, const QString &cfAmm)
{
    return QString::number(anno) + QLatin1Char('|') + cfAmm;
}

bool trovaRiga(TClientDataSet &ds, const TVelImpContesto &ctx, const RigaInpdap &r)
{
    for (ds.first(); !ds.eof(); ds.next())
        if (ctx.dellaCu(ds) && intero(ds, fld::ICUDANNORIF.qs()) == r.annoRif
            && testo(ds, fld::SCUDCODFISAMMNE.qs()) == r.cfAmm)
            return true;
    return false;
}

// A text of the payroll or of the declarations into a field of the row: a
// value longer than its box is an error naming payee, box and value (the
// dataset would cut it, and a cut code names another administration).
void scriviTesto(const TVelImpContesto &ctx, TClientDataSet &ds, const char *field, const QString &value)
{
    const QString name = QLatin1String(field);
    int size = 0;
    for (const TFieldDef &d : ds.fieldDefs())
        if (d.name.compare(name, Qt::CaseInsensitive) == 0)
            size = d.size;
    if (size > 0 && value.size() > size) {
        const VelStructureDesc *st = VelRecordModel::instance().findStructure(TVelImpInpdap::kTabella);
        const VelFieldDesc *fd = st ? st->field(name) : nullptr;
        const QString box = fd && !fd->box.isEmpty()
                                ? QStringLiteral("punto %1 \"%2\"").arg(fd->box, fd->label)
                                : QStringLiteral("campo %1").arg(name);
        throw EVelError(QStringLiteral("Percipiente %1, INPS Sezione 2 - Gestione Pubblica: il valore \"%2\" (%3 "
                                      "caratteri) non entra nel %4, che ne contiene %5. Correggere il dato di origine "
                                      "e ripetere l'importazione.")
                           .arg(ctx.SCUDCODFIS, value)
                           .arg(value.size())
                           .arg(box)
                           .arg(size),
                       {TVelErrorCode::DatiRetributivi, QString(), TVelStage::Costruzione});
    }
    ds.fieldByName(name).setAsString(value);
}

// Writes the rows gathered into the dataset: a row with the same key is
// added to, otherwise a new one is inserted. A row without the
// administration's tax code (the key of the section, its box 9) is not
// written: the log says which and why. Returns the rows posted.
int scriviRighe(const TVelImpContesto &ctx, TClientDataSet &ds, const QList<RigaInpdap> &righe,
                Currency aliquota, bool *aliquotaMancante, const std::function<Currency()> &leggiAliquota)
{
    int n = 0;
    for (const RigaInpdap &r : righe) {
        if (r.cfAmm.trimmed().isEmpty()) {
            const QString dove = r.uniemens ? QStringLiteral("Completare il codice fiscale dell'amministrazione nelle "
                                                             "denunce UniEmens e ripetere l'importazione.")
                                            : QStringLiteral("Importare i dati del sostituto d'imposta (il suo codice "
                                                             "fiscale è quello dell'amministrazione) e ripetere "
                                                             "l'importazione.");
            ctx.scrivi(SezioneInps, QStringLiteral("Codice fiscale amministrazione di servizio mancante\r\n  Riga "
                                                   "dell'anno %1%2 non scritta (imponibile pensionistico %3, contributi "
                                                   "pensionistici %4). %5")
                                        .arg(r.annoRif)
                                        .arg(r.nomeAmm.isEmpty() ? QString() : QStringLiteral(", amministrazione \"%1\"").arg(r.nomeAmm))
                                        .arg(VelImport::amountText(r.impPens), VelImport::amountText(r.conPens), dove));
            continue;
        }
        if (trovaRiga(ds, ctx, r)) {
            ds.edit();
        } else {
            ctx.nuovaRiga(ds);
            ds.fieldByName(fld::ICUDANNORIF.qs()).setAsInteger(r.annoRif);
            scriviTesto(ctx, ds, fld::SCUDCODFISAMMNE.name, r.cfAmm);
            ds.fieldByName(fld::LINPDAPNOIPADICH.qs()).setAsString(ZERO);
            ds.fieldByName(fld::LINPDAPMESIRETR.qs()).setAsString(ZERO);
            if (r.uniemens)
                for (const char *m : kMesi)
                    ds.fieldByName(QStringLiteral("LINPDAP") + QLatin1String(m)).setAsString(ZERO);
        }
        if (!r.codInpdap.isEmpty())
            scriviTesto(ctx, ds, fld::SCUDCODINPDAP.name, r.codInpdap);
        if (!r.soggDen.isEmpty())
            scriviTesto(ctx, ds, fld::SCUDCODFISSOGGDEN.name, r.soggDen);
        if (r.noipa)
            ds.fieldByName(fld::LINPDAPNOIPADICH.qs()).setAsString(X);
        if (!r.gest1.isEmpty())
            scriviTesto(ctx, ds, fld::SCUDGESASS_1.name, r.gest1);
        if (!r.gest2.isEmpty())
            scriviTesto(ctx, ds, fld::SCUDGESASS_2.name, r.gest2);
        if (!r.gest3.isEmpty())
            scriviTesto(ctx, ds, fld::SCUDGESASS_3.name, r.gest3);
        somma(ds, fld::FCUD_DMA_IMPPENS.name, r.impPens);
        somma(ds, fld::FCUD_DMA_CONPENS.name, r.conPens);
        somma(ds, fld::FCUDCONTRPCLAVTRAT.name, r.clavTrat);
        somma(ds, fld::FCUD_DMA_IMPTFS.name, r.impTfs);
        somma(ds, fld::FCUD_DMA_CONTFS.name, r.conTfs);
        somma(ds, fld::FCUD_DMA_IMPTFR.name, r.impTfr);
        somma(ds, fld::FCUD_DMA_CONTFR.name, r.conTfr);
        somma(ds, fld::FCUD_DMA_IMPCREDITO.name, r.impCredito);
        somma(ds, fld::FCUD_DMA_CONCREDITO.name, r.conCredito);
        somma(ds, fld::FCUD_DMA_CONENPDEDP.name, r.conEnpdep);
        somma(ds, fld::FCUDSOSP_A0.name, r.sospA0);
        if (r.noipa)
            somma(ds, fld::FCUDCONTRGESCRETCLAV.name, r.gesCretClav);
        for (int m : r.mesi)
            ds.fieldByName(QStringLiteral("LINPDAP") + QLatin1String(kMesi[m - 1])).setAsString(X);
        if (r.uniemens) {
            ds.fieldByName(fld::FCUDCONTRGESCRETCLAV.qs()).setAsCurrency(importo(ds, fld::FCUD_DMA_CONCREDITO.qs()));
            // The employee's share of the pension contributions, from the
            // payroll's public-pension rate.
            if (importo(ds, fld::FCUD_DMA_CONPENS.qs()) > Currency()) {
                if (aliquota == Currency() && !*aliquotaMancante)
                    aliquota = leggiAliquota();
                if (aliquota > Currency()) {
                    ds.fieldByName(fld::FCUDCONTRPCLAVTRAT.qs())
                        .setAsCurrency(TTorCalcola::percentage(importo(ds, fld::FCUD_DMA_IMPPENS.qs()), aliquota, 2));
                } else if (!*aliquotaMancante) {
                    *aliquotaMancante = true;
                    ctx.scrivi(SezioneInps,
                               QStringLiteral("Impossibile calcolare i \"Contributi pensionistici a carico lavoratore "
                                              "trattenuti dovuti\".\r\n  Verificare l'aliquota INPDAP a carico del "
                                              "dipendente nella tabella \"Percentuali ritenute Prev./Ass.\" delle "
                                              "retribuzioni."));
                }
            }
        }
        ds.post();
        ctx.salvaTabella(ds, TVelImpInpdap::kTabella);
        ++n;
    }
    return n;
}

// Puts the program code back on the store whatever happens meanwhile.
class ProgrammaTemporaneo
{
public:
    ProgrammaTemporaneo(TTorDBCds &store, const QString &program) : m_store(store), m_old(store.program())
    {
        m_store.setProgram(program);
    }
    ~ProgrammaTemporaneo() { m_store.setProgram(m_old); }
    ProgrammaTemporaneo(const ProgrammaTemporaneo &) = delete;
    ProgrammaTemporaneo &operator=(const ProgrammaTemporaneo &) = delete;

private:
    TTorDBCds &m_store;
    QString m_old;
};

}

int TVelImpInps::importa(const TVelImpContesto &ctx, TClientDataSet &cdsINPS)
{
    TVelSenzaFiltro nf(cdsINPS);
    CostruttoreInps c(ctx, cdsINPS);
    return c.esegui();
}

// ---------------------------------------------------------------- UniEmens

QString TVelUniEmens::tabellaRecord(const QString &kind)
{
    return QStringLiteral("T%1_RETR").arg(kind);
}

void TVelUniEmens::carica(TTorDBCds &store, int anno)
{
    m_anno = 0;
    m_amm.clear();
    m_e0.clear();
    m_v1.clear();
    ProgrammaTemporaneo tpf(store, kUniEmensProgram);
    auto apri = [&](TClientDataSet &ds, const QString &table) {
        try {
            VelCuRepository(store).load(ds, table, TTorDBCds::AllMonths, anno);
        } catch (const ETorStructureMissing &e) {
            throw EUniEmensAssente(QStringLiteral("Impossibile aprire la tabella UniEmens %1 dell'anno %2:\r\n%3")
                                       .arg(table)
                                       .arg(anno)
                                       .arg(e.message()));
        } catch (const EOvConnectionLost &) {
            throw;
        } catch (const EOvException &e) {
            throw EOvError(QStringLiteral("Impossibile aprire la tabella UniEmens %1 dell'anno %2:\r\n%3")
                               .arg(table)
                               .arg(anno)
                               .arg(e.message()));
        }
    };
    TClientDataSet amm;
    apri(amm, QStringLiteral("TAMM_AMMINISTRAZIONI"));
    for (amm.first(); !amm.eof(); amm.next())
        m_amm.insert(intero(amm, QStringLiteral("IAMMID")),
                     {testo(amm, QStringLiteral("CF_007_SERCODFIS")), testo(amm, QStringLiteral("AN_008_SERINPDAP")),
                      testo(amm, QStringLiteral("SAMMDENOM"))});

    for (const QString &kind : {QStringLiteral("E0"), QStringLiteral("V1")}) {
        TClientDataSet ds;
        apri(ds, tabellaRecord(kind));
        const bool variazione = kind == QLatin1String("V1");
        auto campo = [&](const char *pattern) { return QString::fromLatin1(pattern).arg(kind); };
        // An amount: the period's value, or the net variation.
        auto valore = [&](const char *suffix) {
            const QString name = QStringLiteral("_%1XXX").arg(kind) + QLatin1String(suffix);
            if (!variazione)
                return importo(ds, QStringLiteral("VP") + name);
            return importo(ds, QStringLiteral("VP") + name) - importo(ds, QStringLiteral("VN") + name);
        };
        for (ds.first(); !ds.eof(); ds.next()) {
            TVelUniEmensRecord r;
            r.cf = testo(ds, QStringLiteral("SCODFIS"));
            r.anno = intero(ds, QStringLiteral("IANNO"));
            r.mese = intero(ds, QStringLiteral("IMESE"));
            r.ammId = intero(ds, QStringLiteral("IAMMID"));
            r.gestPens = testo(ds, campo("NP_%1XXX003_PENS"));
            r.gestPrev = testo(ds, campo("NP_%1XXX004_PREV"));
            r.gestCredito = testo(ds, campo("NP_%1XXX005_CREDITO"));
            r.dal = data(ds, campo("DT_%1XXX001_DINIZIO"));
            r.al = data(ds, campo("DT_%1XXX002_DFINE"));
            r.impPens = valore("032_IMPPENS");
            r.conPens = valore("033_CONPENS");
            r.conEcc = valore("034_CONECC");
            r.impTfs = valore("035_IMPTFS");
            r.conTfs = valore("036_CONTFS");
            r.impTfr = valore("A37_IMPTFR");
            r.conTfr = valore("A38_CONTFR");
            r.impCredito = valore("039_IMPCREDITO");
            r.conCredito = valore("040_CONCREDITO");
            r.conEnpdep = valore("041_CONENPDEDP");
            r.pensSosp = valore("050_PENSSOSP");
            r.prevSosp = valore("051_PREVSOSP");
            (variazione ? m_v1 : m_e0)[r.cf.toUpper()].append(r);
        }
    }
    m_anno = anno;
}

QList<TVelUniEmensRecord> TVelUniEmens::records(const QString &cf, int da, int a) const
{
    QList<TVelUniEmensRecord> out;
    const QString key = cf.trimmed().toUpper();
    for (const auto *set : {&m_e0, &m_v1})
        for (const TVelUniEmensRecord &r : set->value(key))
            if (r.anno == m_anno && r.mese >= da && r.mese <= a)
                out.append(r);
    return out;
}

// ---------------------------------------------------------------- TVelImpInpdap

QString TVelImpInpdap::gestionePrevidenziale(const QString &code)
{
    const QString c = code.trimmed();
    return c.size() == 1 ? c + QStringLiteral("001") : c;
}

TVelUniEmens &TVelImpInpdap::uniEmens(const TVelImpContesto &ctx)
{
    if (m_uniemens && m_uniemens->caricato(ctx.anno))
        return *m_uniemens;
    auto u = std::make_unique<TVelUniEmens>();
    if (ctx.store) {
        u->carica(*ctx.store, ctx.anno);
    } else {
        TTorDBCds store;
        store.setConnection(ctx.connection);
        store.setYear(ctx.anno);
        store.setShowWait(false);
        u->carica(store, ctx.anno);
    }
    m_uniemens = std::move(u);
    return *m_uniemens;
}

int TVelImpInpdap::importa(const TVelImpContesto &ctx, TClientDataSet &cdsINPDAP)
{
    if (ctx.paco.LPACOCUDINPDAP == 1)
        return 0;
    TVelSenzaFiltro nf(cdsINPDAP);
    return ctx.INCLUDI_INPDAP_MEF == 1 ? daNoiPa(ctx, cdsINPDAP) : daUniEmens(ctx, cdsINPDAP);
}

Currency TVelImpInpdap::trattenuteCedolini(const TVelImpContesto &ctx, bool soloNonNoiPa)
{
    TRagQuery q(ctx.source());
    TOvSQLQuery &rit = q.open(QStringLiteral("QRY_CUD_RIT"),
                              {{QStringLiteral("IACOMID"), ctx.IACOMID},
                               {QStringLiteral("MESE_INIZIALE"), ctx.MESE_INIZIALE},
                               {QStringLiteral("MESE_FINALE"), ctx.MESE_FINALE}},
                              {QString::number(RICE_COD_INPDAP), QString()});
    Currency totale;
    for (rit.first(); !rit.eof(); rit.next())
        if (!soloNonNoiPa || intero(rit, QStringLiteral("EXP_CSFA")) == 0)
            totale += TRagQuery::amount(rit, QStringLiteral("TOTALE"));
    return totale;
}

void TVelImpInpdap::avvisaCedolini(const TVelImpContesto &ctx, bool soloNonNoiPa, const QString &perche)
{
    const Currency cedolini = trattenuteCedolini(ctx, soloNonNoiPa);
    if (cedolini > Currency())
        ctx.scrivi(SezioneInps, QStringLiteral("Contributi pensionistici Gestione Pubblica trattenuti nei cedolini: %1, %2")
                                    .arg(VelImport::amountText(cedolini), perche));
}

int TVelImpInpdap::daNoiPa(const TVelImpContesto &ctx, TClientDataSet &cds)
{
    TRagQuery q(ctx.source());
    TOvSQLQuery &acf = q.open(QStringLiteral("QRY_CUD_INT_ACC_SOLO_ACF"),
                              {{QStringLiteral("IACOMID"), ctx.IACOMID},
                               {QStringLiteral("MESE_INIZIALE"), ctx.MESE_INIZIALE},
                               {QStringLiteral("MESE_FINALE"), ctx.MESE_FINALE}});
    QMap<QString, RigaInpdap> righe;
    QStringList ordine;
    for (acf.first(); !acf.eof(); acf.next()) {
        // The reference year of the payment: the liquidation month only
        // orders the payments.
        const int annoRif = intero(acf, QStringLiteral("ICFSAANNORIF"));
        const QString key = chiaveRiga(annoRif, ctx.SSOSCODFIS);
        if (!righe.contains(key)) {
            RigaInpdap r;
            r.annoRif = annoRif;
            r.cfAmm = ctx.SSOSCODFIS;
            r.soggDen = ctx.paco.SPACOCFMEF;
            r.noipa = true;
            righe.insert(key, r);
            ordine << key;
        }
        RigaInpdap &r = righe[key];
        const auto a = [&](const char *c) { return TRagQuery::amount(acf, QLatin1String(c)); };
        r.impPens += a("FCFSAIMPONPENS");
        r.conPens += a("FCFSARITPENS") + a("FCFSACONTRAMMPENS");
        r.clavTrat += a("FCFSARITPENS");
        r.impTfr += a("FCFSAIMPONOPERAP");
        r.conTfr += a("FCFSARITAMMOPERAP");
        r.impCredito += a("FCFSAIMPONFONDOC");
        r.conCredito += a("FCFSARITFONDOC");
        r.gesCretClav += a("FCFSARITFONDOC");
    }
    QList<RigaInpdap> lista;
    for (const QString &k : ordine) {
        RigaInpdap r = righe.value(k);
        if (r.impPens != Currency() || r.conPens != Currency())
            r.gest1 = QStringLiteral("1");
        if (r.impTfr != Currency() || r.conTfr != Currency())
            r.gest2 = QStringLiteral("7001");
        if (r.impCredito != Currency() || r.conCredito != Currency())
            r.gest3 = QStringLiteral("9");
        lista << r;
    }
    bool mancante = false;
    const int n = scriviRighe(ctx, cds, lista, Currency(), &mancante, [] { return Currency(); });

    // Declarations the office must add by hand. Without the sibling
    // program's tables there is nothing to add.
    bool presenti = false;
    if (m_senzaUniEmens != ctx.anno) {
        try {
            presenti = !uniEmens(ctx).records(ctx.SCUDCODFIS, ctx.MESE_INIZIALE, ctx.MESE_FINALE).isEmpty();
        } catch (const EUniEmensAssente &) {
            // Without the sibling program's tables there is nothing to add.
            m_senzaUniEmens = ctx.anno;   // not looked for again in this run
        } catch (const EOvError &e) {
            // Tables there but not readable: the notice is not dropped, the
            // office is told to look, and the next employee tries again.
            ctx.scrivi(SezioneInps, QStringLiteral("Impossibile verificare la presenza di denunce UniEmens relative al "
                                                   "dipendente:\r\n  %1\r\n  Verificare manualmente.")
                                        .arg(e.message()));
        }
    }
    if (presenti)
        ctx.scrivi(SezioneInps, QStringLiteral("Presenza di denunce UniEmens relative al dipendente\r\n  I dati derivanti "
                                               "dall'UniEmens devono essere integrati manualmente."));
    // The payroll's own public-pension withholding: this source takes only
    // the payments sent to NoiPA, so the office is told what stays out.
    avvisaCedolini(ctx, true,
                   QStringLiteral("non riportati nella sezione (l'origine \"Importa da liquidazioni inviate a NoiPa\" "
                                  "prende solo i compensi inviati a NoiPA).\r\n  Per riportarli scegliere \"Importa da "
                                  "UniEmens\" (velcu-cli import --inpdap uniemens) o compilare la sezione a mano."));
    return n;
}

int TVelImpInpdap::daUniEmens(const TVelImpContesto &ctx, TClientDataSet &cds)
{
    TVelUniEmens &u = uniEmens(ctx);
    QMap<QString, RigaInpdap> righe;
    QStringList ordine;
    const QList<TVelUniEmensRecord> records = u.records(ctx.SCUDCODFIS, ctx.MESE_INIZIALE, ctx.MESE_FINALE);
    for (const TVelUniEmensRecord &rec : records) {
        const TVelUniEmens::Amministrazione amm = u.amministrazione(rec.ammId);
        // A variation may concern a period of an earlier year: the row of
        // that reference year takes it.
        const int annoRif = rec.dal.isValid() ? rec.dal.year() : rec.anno;
        const QString key = chiaveRiga(annoRif, amm.cf);
        if (!righe.contains(key)) {
            RigaInpdap r;
            r.annoRif = annoRif;
            r.cfAmm = amm.cf;
            r.nomeAmm = amm.nome;
            r.codInpdap = amm.inpdap;
            r.uniemens = true;
            righe.insert(key, r);
            ordine << key;
        }
        RigaInpdap &r = righe[key];
        if (r.gest1.isEmpty())
            r.gest1 = rec.gestPens;
        if (r.gest2.isEmpty())
            r.gest2 = gestionePrevidenziale(rec.gestPrev);
        if (r.gest3.isEmpty())
            r.gest3 = rec.gestCredito;
        r.impPens += rec.impPens;
        r.conPens += rec.conPens + rec.conEcc;
        r.impTfs += rec.impTfs;
        r.conTfs += rec.conTfs;
        r.impTfr += rec.impTfr;
        r.conTfr += rec.conTfr;
        r.impCredito += rec.impCredito;
        r.conCredito += rec.conCredito;
        r.conEnpdep += rec.conEnpdep;
        r.sospA0 += rec.pensSosp + rec.prevSosp;
        // Months of the period inside the reference year; without dates, the
        // declaration's month.
        if (rec.dal.isValid() && rec.al.isValid() && rec.al >= rec.dal) {
            const int da = rec.dal.year() < annoRif ? 1 : rec.dal.month();
            const int a = rec.al.year() > annoRif ? 12 : rec.al.month();
            for (int m = da; m <= a; ++m)
                r.mesi.insert(m);
        } else if (rec.mese >= 1 && rec.mese <= 12) {
            r.mesi.insert(rec.mese);
        }
    }
    QList<RigaInpdap> lista;
    for (const QString &k : ordine)
        lista << righe.value(k);
    bool mancante = false;
    const auto leggiAliquota = [&ctx] {
        TRagQuery q(ctx.source());
        return q.total(QStringLiteral("QRY_CUD_INT_DMA_STO_CALC_DIP"),
                       {{QStringLiteral("IACOMID"), ctx.IACOMID},
                        {QStringLiteral("IANFID"), ctx.IANFID},
                        {QStringLiteral("IRICEID"), RICE_COD_INPDAP},
                        {QStringLiteral("IACOMSCAINPDAP"), ctx.IACOMSCAINPDAP}},
                       {}, QStringLiteral("FRICAALIQUOTADIP"));
    };
    int n = scriviRighe(ctx, cds, lista, Currency(), &mancante, leggiAliquota);
    // No declaration for the payee, while the payroll withheld
    // public-pension contributions: said, with the amount.
    if (records.isEmpty())
        avvisaCedolini(ctx, false,
                       QStringLiteral("ma nessuna denuncia UniEmens del dipendente: sezione non compilata.\r\n  "
                                      "Verificare le denunce UniEmens; per i compensi inviati a NoiPA scegliere "
                                      "\"Importa da liquidazioni inviate a NoiPa - \"Accessori Fuori sistema\"\"."));

    // Every row of the CU with all twelve months flagged: all months.
    for (cds.first(); !cds.eof(); cds.next()) {
        if (!ctx.dellaCu(cds) || testo(cds, fld::LINPDAPMESIRETR.qs()) == X)
            continue;
        bool tutti = true;
        for (const char *m : kMesi)
            tutti = tutti && testo(cds, QStringLiteral("LINPDAP") + QLatin1String(m)) == X;
        if (!tutti)
            continue;
        cds.edit();
        cds.fieldByName(fld::LINPDAPMESIRETR.qs()).setAsString(X);
        cds.post();
        ctx.salvaTabella(cds, kTabella);
    }
    return n;
}
