#include "src/prj/unit/import/VelImpFamiliari.h"

#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/model/VelTextFit.h"
#include "rag/calc/ragUQuery.h"
#include "velcu/VelFields.h"

#include <QMap>
#include <QVariant>
#include <algorithm>
#include <functional>

namespace {

QString chiave(const QString &cf, int ianfid)
{
    return cf.trimmed().toUpper() + QLatin1Char('|') + QString::number(ianfid);
}

int intero(TClientDataSet &ds, const char *name)
{
    const TField f = ds.findField(QLatin1String(name));
    return f && !f.isNull() ? int(f.asInteger()) : 0;
}

QString testo(TClientDataSet &ds, const char *name)
{
    const TField f = ds.findField(QLatin1String(name));
    return f ? f.asString().trimmed() : QString();
}

QString dueCifre(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

QString flag(int on)
{
    return on == 1 ? QStringLiteral("1") : QStringLiteral("0");
}

// A percentage as the text fields of the dependants hold it: "50.00".
QString percentuale(Currency p)
{
    const QString s = p.toString();
    return s.left(s.size() - 2);
}

// A child of the working list: one per tax code and condition (percentage,
// disability, foster), counters summed.
struct Figlio
{
    QString cf;
    int ordine = 0;
    int mesDal = 0;
    Currency perc;
    int handicap = 0;
    int affido100 = 0;
    int mancaGenitore = 0;
    int mesiCarico = 0, mesiMin3 = 0, mesiGf = 0, mesiAltri = 0;
};

// A family row being built, field name -> value.
using RigaFam = QMap<QString, QVariant>;

const char *const kFlags[] = {fld::LCUDRELPARCON.name,       fld::LCUDRELPARPRIFIGL.name,     fld::LCUDRELPARPRIFIGLDIS.name,
                              fld::LCUDDET100X100PRIFIGL.name, fld::LCUDRELPARFIGL.name,       fld::LCUDRELPARFIGLALTRFAM.name,
                              fld::LCUDRELPARFIGLDIS.name,   fld::LCUDRELPARNONASCEND.name, fld::LCUDDET100X100FIGL.name};

RigaFam nuovaRigaFam()
{
    RigaFam r;
    for (const char *f : kFlags)
        r.insert(QLatin1String(f), QStringLiteral("0"));
    return r;
}

bool uno(const RigaFam &r, const char *f)
{
    return r.value(QLatin1String(f)).toString() == QLatin1String("1");
}

bool primoLibero(const RigaFam &r)
{
    return !uno(r, fld::LCUDRELPARPRIFIGL.name) && !uno(r, fld::LCUDRELPARPRIFIGLDIS.name);
}

// The further-child slot also holds the other dependants: a row whose slot
// carries one of them is taken too, or the second would overwrite the first.
bool altroLibero(const RigaFam &r)
{
    return !uno(r, fld::LCUDRELPARFIGL.name) && !uno(r, fld::LCUDRELPARFIGLALTRFAM.name) && !uno(r, fld::LCUDRELPARFIGLDIS.name)
        && !uno(r, fld::LCUDRELPARNONASCEND.name);
}


using Log = std::function<void(const QString &)>;

// The spouse's row, when the declaration names one.
void coniuge(const TVelImpFamiliari::Riga &dich, const QString &anno, QList<RigaFam> &out, const Log &log)
{
    if (dich.cfConiuge.isEmpty() && dich.conCar != 1)
        return;
    RigaFam r = nuovaRigaFam();
    r.insert(fld::SCUDCODFISCON.qs(), dich.cfConiuge);
    if (dich.conCar == 1) {
        r.insert(fld::LCUDRELPARCON.qs(), QStringLiteral("1"));
        r.insert(fld::SCUDMESICARCON.qs(), QStringLiteral("12"));
        r.insert(fld::SCUDDTANNOCONIUGE.qs(), anno);
    }
    out.append(r);
    if (dich.cfConiuge.isEmpty())
        log(QStringLiteral("Codice fiscale coniuge mancante"));
}

// A child is declared once for each month: two rows of one child whose
// month ranges meet would count those months twice (a child dependent 19
// months of a year). The payee is stopped, for the office to correct the
// declaration in the payroll, rather than certified so.
void periodiSovrapposti(const QList<TVelImpFamiliari::Riga> &det)
{
    for (qsizetype i = 0; i < det.size(); ++i)
        for (qsizetype j = i + 1; j < det.size(); ++j) {
            const TVelImpFamiliari::Riga &a = det.at(i), &b = det.at(j);
            if (a.cfFiglio.isEmpty() || a.cfFiglio.compare(b.cfFiglio, Qt::CaseInsensitive) != 0)
                continue;
            if (a.mesDal <= b.mesAl && b.mesDal <= a.mesAl)
                throw EVelError(QStringLiteral("Figlio a carico (codice fiscale %1) dichiarato due volte per gli "
                                               "stessi mesi: mesi %2-%3 e %4-%5. Correggere le detrazioni nel "
                                               "programma stipendi e ripetere l'importazione.")
                                    .arg(a.cfFiglio)
                                    .arg(a.mesDal)
                                    .arg(a.mesAl)
                                    .arg(b.mesDal)
                                    .arg(b.mesAl),
                                {TVelErrorCode::DatiRetributivi, QString(), TVelStage::Costruzione});
        }
}

// The working list of the children: one per tax code and condition, the
// months summed and capped at 12.
QList<Figlio> figliDichiarati(const QList<TVelImpFamiliari::Riga> &righe, const Log &log)
{
    QList<TVelImpFamiliari::Riga> det;
    for (const TVelImpFamiliari::Riga &r : righe)
        if (r.dettaglio)
            det.append(r);
    std::stable_sort(det.begin(), det.end(), [](const TVelImpFamiliari::Riga &a, const TVelImpFamiliari::Riga &b) {
        return a.ordine != b.ordine ? a.ordine < b.ordine : a.mesDal < b.mesDal;
    });
    periodiSovrapposti(det);
    QList<Figlio> figli;
    for (const TVelImpFamiliari::Riga &r : det) {
        if (r.cfFiglio.isEmpty()) {
            log(QStringLiteral("Figlio nr %1: codice fiscale non impostato.").arg(r.ordine));
            continue;
        }
        // A child whose percentage (or disability, or foster flag) changes
        // during the year is one entry per condition, each with its months,
        // as the dependants' rows of the model are filled: the payee's
        // deduction is worked out row by row.
        auto it = std::find_if(figli.begin(), figli.end(), [&](const Figlio &f) {
            return f.cf.compare(r.cfFiglio, Qt::CaseInsensitive) == 0 && f.perc == r.perc && f.handicap == r.handicap
                && f.affido100 == r.affido100;
        });
        if (it == figli.end()) {
            Figlio f;
            f.cf = r.cfFiglio;
            f.ordine = r.ordine;
            f.mesDal = r.mesDal;
            f.perc = r.perc;
            f.handicap = r.handicap;
            f.affido100 = r.affido100;
            f.mancaGenitore = r.mancaGenitore;
            figli.append(f);
            it = figli.end() - 1;
        }
        it->mesiCarico = std::min(12, it->mesiCarico + r.mesiCarico);
        it->mesiMin3 = std::min(12, it->mesiMin3 + r.mesiMin3);
        it->mesiGf = std::min(12, it->mesiGf + r.mesiGf);
        it->mesiAltri = std::min(12, it->mesiAltri + r.mesiAltri);
    }
    return figli;
}

// A child in the first-child slot (order 1) or the further-child slot of the
// current row, or of a new row when the slot is taken.
void scriviFiglio(const Figlio &f, const QString &anno, QList<RigaFam> &out)
{
    const bool primo = f.ordine == 1;
    if (out.isEmpty() || !(primo ? primoLibero(out.last()) : altroLibero(out.last())))
        out.append(nuovaRigaFam());
    RigaFam &r = out.last();
    const bool quotaC = f.mesiCarico == 12 && f.mancaGenitore == 1;
    if (primo) {
        r.insert(QLatin1String(f.handicap == 1 ? fld::LCUDRELPARPRIFIGLDIS.name : fld::LCUDRELPARPRIFIGL.name), QStringLiteral("1"));
        r.insert(fld::SCUDCODFISPRIFIGL.qs(), f.cf);
        r.insert(fld::SCUDMESICARPRIFIGL.qs(), dueCifre(f.mesiCarico));
        r.insert(fld::SCUDMESIDETRGFPRIFIGL.qs(), dueCifre(f.mesiGf));
        r.insert(fld::SCUDMESIDETRM21PRIFIGL.qs(), dueCifre(f.mesiAltri));
        if (quotaC)
            r.insert(fld::SCUDDETRSPETTPRIFIGL.qs(), QStringLiteral("C"));
        else if (f.perc > Currency())
            r.insert(fld::SCUDDETRSPETTPRIFIGL.qs(), percentuale(f.perc));
        if (f.mesiMin3 > 0)
            r.insert(fld::SCUDMINTREANNPRIFIGL.qs(), dueCifre(f.mesiMin3));
        r.insert(fld::LCUDDET100X100PRIFIGL.qs(), flag(f.affido100));
        r.insert(fld::SCUDDTANNOPRIFIGL.qs(), anno);
        return;
    }
    r.insert(QLatin1String(f.handicap == 1 ? fld::LCUDRELPARFIGLDIS.name : fld::LCUDRELPARFIGL.name), QStringLiteral("1"));
    r.insert(fld::SCUDCODFISFIGL.qs(), f.cf);
    r.insert(fld::SCUDMESICARFIGL.qs(), dueCifre(f.mesiCarico));
    r.insert(fld::SCUDMESIDETRGFFIGL.qs(), dueCifre(f.mesiGf));
    r.insert(fld::SCUDMESIDETRM21FIGL.qs(), dueCifre(f.mesiAltri));
    // The further child's share is an amount field: the "C" of a child
    // without the other parent cannot be written there, the percentage is.
    if (f.perc > Currency())
        r.insert(fld::FCUDDETRSPETTFIGL.qs(), QVariant::fromValue(f.perc));
    if (f.mesiMin3 > 0)
        r.insert(fld::SCUDMINTREANNFIGL.qs(), dueCifre(f.mesiMin3));
    r.insert(fld::LCUDDET100AFFPRIFIGL.qs(), flag(f.affido100));
    r.insert(fld::SCUDDTANNOFIGL.qs(), anno);
}

// The other dependants, in the further-child slot.
void altriFamiliari(const TVelImpFamiliari::Riga &dich, const QString &anno, QList<RigaFam> &out, const Log &log)
{
    if (dich.altri <= 0)
        return;
    int scritti = 0;
    for (const QString &cf : {dich.cfAltri1, dich.cfAltri2}) {
        if (cf.isEmpty())
            continue;
        if (out.isEmpty() || !altroLibero(out.last()))
            out.append(nuovaRigaFam());
        RigaFam &r = out.last();
        r.insert(fld::LCUDRELPARNONASCEND.qs(), QStringLiteral("1"));
        r.insert(fld::SCUDCODFISFIGL.qs(), cf);
        r.insert(fld::SCUDMESICARFIGL.qs(), QStringLiteral("12"));
        if (dich.percAltri > Currency())
            r.insert(fld::FCUDDETRSPETTFIGL.qs(), QVariant::fromValue(dich.percAltri));
        r.insert(fld::SCUDDTANNOFIGL.qs(), anno);
        ++scritti;
    }
    if (scritti < dich.altri)
        log(QStringLiteral("Dati degli altri familiari a carico non importati correttamente"));
    if (!(dich.percAltri > Currency()))
        log(QStringLiteral("Dati degli altri familiari a carico: manca la percentuale di detrazione"));
}
}

void TVelImpFamiliari::carica(const TVelImpContesto &ctx)
{
    if (m_loadedYear == ctx.IANFID)
        return;
    m_rows.clear();
    TRagQuery q(ctx.source());
    TOvSQLQuery &ds = q.open(QStringLiteral("QRY_ELH_ADET"),
                             {{QStringLiteral("IANFID"), ctx.IANFID}, {QStringLiteral("IANFID_P"), ctx.IANFID - 1}});
    for (ds.first(); !ds.eof(); ds.next()) {
        Riga r;
        r.ianfValore = intero(ds, "IANFVALORE");
        r.cfConiuge = testo(ds, "SADETCFCONCAR");
        r.conCar = intero(ds, "LADETCONCAR");
        r.figli = intero(ds, "IADETFIGLI");
        r.altri = intero(ds, "IADETALTRI");
        r.cfAltri1 = testo(ds, "SADETCFALTRICAR1");
        r.cfAltri2 = testo(ds, "SADETCFALTRICAR2");
        r.percAltri = TRagQuery::amount(ds, QStringLiteral("FADETPERCALTRI"));
        r.mancaGenitore = intero(ds, "LADETMANCAGENITORE");
        const TField adef = ds.findField(QStringLiteral("IADEFID"));
        r.dettaglio = adef && !adef.isNull();
        r.cfFiglio = testo(ds, "SADEFCODFISC");
        r.ordine = intero(ds, "IADEFORDINE");
        r.mesDal = intero(ds, "IMESDAL");
        r.mesAl = intero(ds, "IMESAL");
        r.perc = TRagQuery::amount(ds, QStringLiteral("FDEFPERC"));
        r.handicap = intero(ds, "LADEFHANDYCAP");
        r.affido100 = intero(ds, "LADEFAFFIDO100");
        r.mesiCarico = intero(ds, "MESI_CARICO");
        r.mesiMin3 = intero(ds, "MESI_MIN3");
        r.mesiGf = intero(ds, "MESI_GF");
        r.mesiAltri = intero(ds, "MESI_ALTRI");
        m_rows[chiave(testo(ds, "SANACODFISCALE"), intero(ds, "IANFID"))].append(r);
    }
    m_loadedYear = ctx.IANFID;
}

int TVelImpFamiliari::importa(const TVelImpContesto &ctx, TClientDataSet &cds)
{
    const Log log = [&](const QString &text) { ctx.scrivi(SezioneFamiliari, text); };
    {
        // A payee who already has family rows keeps them.
        TVelSenzaFiltro nf(cds);
        const QString cf = ctx.SCUDCODFIS.trimmed().toUpper();
        for (cds.first(); !cds.eof(); cds.next())
            if (cds.fieldByName(fld::SCUDCODFIS.qs()).asString().trimmed().toUpper() == cf)
                return 0;
    }
    carica(ctx);
    const QList<Riga> righe = m_rows.value(chiave(ctx.SCUDCODFIS, ctx.IANFID));
    if (righe.isEmpty())
        return 0;
    const Riga &dich = righe.first();
    const QString anno = QString::number(dich.ianfValore);

    QList<RigaFam> out;
    coniuge(dich, anno, out, log);
    for (const Figlio &f : figliDichiarati(righe, log)) {
        if (f.mesiCarico == 0)
            log(QStringLiteral("Figlio (codice fiscale %1): nessun mese a carico.").arg(f.cf));
        else
            scriviFiglio(f, anno, out);
    }
    const bool dettaglio = std::any_of(righe.begin(), righe.end(), [](const Riga &r) { return r.dettaglio; });
    if (!dettaglio && dich.figli > 0)
        log(QStringLiteral("Dati relativi ai figli a carico non importati. \r\n  Non inseriti nel CUD o sezione casi "
                           "particolari delle detrazioni non impostate nei dati retributivi."));
    altriFamiliari(dich, anno, out, log);

    for (const RigaFam &r : out) {
        ctx.nuovaRiga(cds);
        for (auto it = r.begin(); it != r.end(); ++it) {
            const TField f = cds.fieldByName(it.key());
            if (it.value().userType() == qMetaTypeId<Currency>())
                f.setAsCurrency(it.value().value<Currency>());
            else
                VelTextFit::setText(cds, kTabella, it.key(), it.value().toString(), ctx.SCUDCODFIS);
        }
        cds.post();
        ctx.salvaTabella(cds, kTabella);
    }
    return int(out.size());
}
