// The CU models (summary and ordinary) and their form layouts.
//
// Page plan of the summary model "CU2026_mod.pdf" (layout "StpCUD.xml"):
//   1 agent and payee data (Sos, Pag1)   2-4 fiscal data (Pag2-Pag4), family on 4
//   5 social security A (Pag5)   6 social security B and TFR (Pag6)   7 annotations
//   8 self-employment (Pag7)   9 notes on the choice   10-11 choice of the 8, 5, 2
//   per thousand (Pag8)
// Ordinary model "CU2026_mod_ord.pdf" (layout "StpCUD_Ord.xml"):
//   1 frontispiece ("StpSost.xml")   2 Quadro CT ("StpQuadroCT.xml")   3 agent and
//   payee data (Sos, Pag1)   4-8 fiscal data (Pag2-Pag6), family on 8
//   9-10 social security (Pag7, Pag8)   11-12 TFR (Pag9, Pag10)   13 annotation
//   codes (Pag11)   14 self-employment (Pag12)
//
// The fixed places the CU print writes at (fiscal code 46,12; module number
// 192,12; financial year 169,29; "Rigo" labels; family rows; annotation lines)
// have their boxes drawn here.
#include "FormDrawer.h"
#include "Models.h"

#include "platform/core/OvExceptions.h"
#include "tor/util/TorCampagna.h"
#include "platform/core/OvSafeFile.h"
#include "velcu/VelFields.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QSet>

#include <algorithm>

namespace {

const QString CUD = rec::TCUD_DATICUD::id.qs();
const QString kCuRecord = QStringLiteral("cdsMultiSelect");

void headerEdit(SectionRec &s)
{
    FormDrawer::record(s, fld::SCUDCODFIS.qs(), 46, 12, 10, QStringLiteral("taLeftJustify"));
}

// A rule under the "Rigo: n" label the print writes at (x, y), x at the
// 5 mm margin at least.
void rowLabelRule(FormDrawer &d, int x, int y)
{
    d.line(x, y + 1.2, x + 8, y + 1.2, 0.15, 0.5);
}

// Headings of the official model over runs of boxes whose own labels need
// them ("Trattenuto", "Rimborsato"... of each tax; "Lavoro dipendente" and
// "Pensione" of the days).
struct Heading
{
    int from;
    int to;
    const char *text;
};
const Heading kFiscalHeadings[] = {
    {6, 7, "Numero di giorni per i quali spettano le detrazioni"},
    {8, 10, "Periodo di lavoro"},
    {25, 29, "Addizionale comunale all'Irpef"},
    {30, 32, "Ritenute sospese"},
    {33, 36, "Addizionale comunale all'Irpef sospesa"},
    {51, 55, "Assistenza fiscale"},
    {61, 64, "Irpef - dichiarante"},
    {71, 75, "Addizionale regionale all'Irpef - dichiarante"},
    {81, 85, "Addizionale comunale all'Irpef - dichiarante"},
    {91, 94, "Cedolare secca sulle locazioni - dichiarante"},
    {101, 102, "Imposta sostitutiva sui premi di risultato - dichiarante"},
    {111, 112, "Acconto tassazione separata - dichiarante"},
    {121, 128, "Acconti trattenuti nell'anno - dichiarante"},
    {131, 133, "Acconti sospesi - dichiarante"},
    {141, 143, "Importi rateizzati"},
    {151, 153, "Interessi per rateizzazione"},
    {261, 264, "Irpef - coniuge"},
    {271, 275, "Addizionale regionale all'Irpef - coniuge"},
    {281, 285, "Addizionale comunale all'Irpef - coniuge"},
    {291, 294, "Cedolare secca sulle locazioni - coniuge"},
    {301, 302, "Imposta sostitutiva sui premi di risultato - coniuge"},
    {311, 312, "Acconto tassazione separata - coniuge"},
    {321, 328, "Acconti trattenuti nell'anno - coniuge"},
    {331, 333, "Acconti sospesi - coniuge"},
    {341, 352, "Oneri detraibili"},
    {376, 380, "Credito d'imposta per redditi prodotti all'estero"},
    {390, 395, "Trattamento integrativo"},
    {397, 403, "Trattamento integrativo"},
    {411, 420, "Previdenza complementare"},
    {421, 424, "Previdenza complementare per familiari a carico"},
    {425, 427, "Fondi di previdenza complementare"},
    {432, 437, "Oneri deducibili"},
    {441, 443, "Contributi a enti e casse con fine assistenziale"},
    {462, 465, "Redditi esenti"},
    {466, 468, "Bonus e stock option"},
    {496, 501, "Lavori socialmente utili"},
    {557, 558, "Lavoro sportivo - contratto a tempo indeterminato"},
    {559, 560, "Lavoro sportivo - contratto a tempo determinato"},
    {571, 582, "Premi di risultato"},
    {591, 602, "Premi di risultato"},
    {613, 620, "Premi di risultato - altri sostituti"},
    {651, 657, "Mance del settore turistico"},
    {658, 663, "Mance del settore turistico - altri sostituti"},
    {701, 713, "Rimborsi di beni e servizi non soggetti a tassazione"},
    {781, 783, "Lavoro sportivo - contratto a tempo indeterminato"},
    {784, 786, "Lavoro sportivo - contratto a tempo determinato"},
    {791, 795, "Assegno unico - primo figlio"},
    {796, 800, "Assegno unico - secondo figlio"},
    {801, 805, "Assegno unico - terzo figlio"},
};

QString headingOf(const QString &box)
{
    const int b = box.toInt();
    for (const Heading &h : kFiscalHeadings) {
        if (b >= h.from && b <= h.to)
            return QString::fromUtf8(h.text);
    }
    return QString();
}

// Fiscal fields of an editor page as one block: the headings of the model
// group its boxes, and the rows pack them tightly enough for the summary's
// three pages.
QList<QPair<QString, QList<CellSpec>>> fiscalBlocks(const QString &page, const QString &caption)
{
    const QList<const VelFieldDesc *> fields = pageFields(CUD, page);
    const QString title = QStringLiteral("%1 - PUNTI DA %2 A %3").arg(caption, fields.first()->box, fields.last()->box);
    QList<CellSpec> cells = FormDrawer::cellsOf(fields);
    for (CellSpec &c : cells)
        c.heading = headingOf(c.box);
    return {{title, cells}};
}

void flowFiscal(FormDrawer &d, const QString &page, const QString &caption, QList<Region> &regions,
                SectionRec &section)
{
    d.setCompactRows(true);
    for (const auto &block : fiscalBlocks(page, caption))
        d.flow(block.first, block.second, regions, section);
    d.setCompactRows(false);
}

// ---- page 1: agent and payee ----

void firstPage(FormDrawer &d, int pageNo, CudLayoutRec &lay)
{
    d.page(pageNo);
    d.text(8, 13, 16, Campagna::titoloModello(), true);
    d.text(8, 18.5, 5.5,
           QStringLiteral("CERTIFICAZIONE DI CUI ALL'ART. 4, COMMI 6-ter e 6-quater, DEL D.P.R. 22 LUGLIO 1998, n. 322, "
                          "RELATIVA ALL'ANNO %1").arg(Campagna::AnnoFinanziario));
    d.text(8, 23.5, 6, QStringLiteral("CERTIFICAZIONE LAVORO DIPENDENTE, ASSIMILATI ED ASSISTENZA FISCALE"), true);
    d.labelBox(164, 23, 38, 8, QStringLiteral("Periodo d'imposta")); // year at 169, 29

    Region r{pageNo, 8, 34, 202, 283};
    SectionRec &sos = lay.sosSection(QStringLiteral("cdsPdfSost"));
    const QList<const VelFieldDesc *> agent = namedFields(
        rec::TCUS_DATISOST::id.qs(),
        {fld::SSOSCODFIS.qs(), fld::SSOSDENOM.qs(), fld::SSOSNOME.qs(),
         fld::SSOSCOMUNE.qs(), fld::SSOSPROV.qs(), fld::SSOSCAP.qs(),
         fld::SSOSINDIRIZZO.qs(), fld::SSOSTELFAX.qs(), fld::SSOSEMAIL.qs(),
         fld::SSOSCODATTIVITA.qs(), fld::SSOSCODSEDE.qs()});
    d.flow(QStringLiteral("DATI RELATIVI AL DATORE DI LAVORO, ENTE PENSIONISTICO O ALTRO SOSTITUTO D'IMPOSTA"),
           FormDrawer::cellsOf(agent, false), r, sos, ValueStyle::AgentText);

    SectionRec &pag1 = lay.section(1, 0, kCuRecord);
    const QString page = QStringLiteral("Dati Anagrafici");
    r.y += 3;
    d.flow(QStringLiteral("DATI RELATIVI AL DIPENDENTE, PENSIONATO O ALTRO PERCETTORE DELLE SOMME - DATI ANAGRAFICI"),
           FormDrawer::cellsOf(boxRange(CUD, page, 1, 11)), r, pag1);
    r.y += 2;
    d.flow(QStringLiteral("DOMICILIO FISCALE ALL'1/1/%1").arg(Campagna::AnnoFinanziario), FormDrawer::cellsOf(boxRange(CUD, page, 20, 22)), r, pag1);
    d.flow(QStringLiteral("DOMICILIO FISCALE ALL'1/1/%1").arg(Campagna::AnnoInvio), FormDrawer::cellsOf(boxRange(CUD, page, 24, 26)), r, pag1);
    r.y += 2;
    d.flow(QStringLiteral("RAPPRESENTANTE FIRMATARIO"), FormDrawer::cellsOf(boxRange(CUD, page, 30, 30)), r, pag1);
    r.y += 2;
    d.flow(QStringLiteral("PERCIPIENTI ESTERI"), FormDrawer::cellsOf(boxRange(CUD, page, 40, 46)), r, pag1);
    r.y += 2;
    d.flow(QStringLiteral("TIPO DI CERTIFICAZIONE"),
           FormDrawer::cellsOf(namedFields(CUD, {fld::LCUDANNULLAMENTO.qs(), fld::LCUDSOSTITUZIONE.qs(),
                                                 fld::LCUDCONFERMADICH.qs()}),
                               false),
           r, pag1);
    d.flow(QString(),
           FormDrawer::cellsOf(namedFields(CUD, {fld::SCUDIDENTSERVTELE.qs(), fld::SCUDPROGRDICH.qs()}),
                               false),
           r, pag1);
    r.y += 2;
    // Date and signature: the signature box leaves room for the note the
    // print adds when the signature is omitted (value 2 mm higher, note below).
    d.bar(8, r.y, 194, QStringLiteral("DATA E FIRMA"));
    r.y += 4;
    CellSpec date;
    date.fields = namedFields(CUD, {fld::DCUDDATIANADATA.qs()});
    d.cell(date, 8, r.y, 40, 14, pag1, ValueStyle::Auto);
    d.labelBox(48, r.y, 154, 14, QStringLiteral("FIRMA DEL SOSTITUTO DI IMPOSTA"));
    FormDrawer::record(pag1, fld::SCUDDATIANAFIRMA.qs(), 50, r.y + 9, 8, QStringLiteral("taLeftJustify"),
                       QStringLiteral("150"));
}

// ---- family members ----

// The dependants table. The print writes its rows at fixed baselines from
// `top`: the spouse, 4 mm lower the first child, then the further rows from
// 9 mm below the spouse's, 4 mm apart.
const double kFamilyHeader = 8.3; // three lines of column heading

double familyBaseline(int top, int row)
{
    return row < 2 ? top + 4.0 * row : top + 9.0 + 4.0 * (row - 2);
}

void familyTable(FormDrawer &d, int top, bool withBar)
{
    constexpr int kRows = 10;
    const auto rowTop = [top](int row) { return familyBaseline(top, row) - 3.3; };
    const auto rowBottom = [top](int row) { return row == 1 ? familyBaseline(top, 2) - 3.3 : familyBaseline(top, row) + 0.7; };
    const double headerTop = rowTop(0) - kFamilyHeader;
    if (withBar)
        d.bar(8, headerTop - 4, 194, QStringLiteral("FAMILIARI A CARICO"));
    struct Col { double x; double w; const char *title; };
    // x of the values: flags 49, 61, 72, 83, 178; fiscal code 90; months 153
    // and 191; the deduction ends at 172.
    const Col cols[] = {{46, 11, "C / F1 / F"},
                        {57, 11, "A Altro familiare"},
                        {68, 11, "D Figlio con disabilità"},
                        {79, 10.5, "Non ascen- dente"},
                        {89.5, 60.5, "Codice fiscale"},
                        {150, 10, "N. mesi a carico"},
                        {160, 14, "Percentuale di detrazione spettante"},
                        {174, 11.5, "Detrazione 100% affidamento"},
                        {185.5, 16.5, "N. mesi detrazione"}};
    for (const Col &c : cols)
        d.headerBox(c.x, headerTop, c.w, kFamilyHeader, QString::fromUtf8(c.title));
    d.headerBox(8, headerTop, 38, kFamilyHeader,
                withBar ? QStringLiteral("Relazione di parentela")
                        : QStringLiteral("FAMILIARI A CARICO - Relazione di parentela"),
                !withBar);
    const QStringList captions{QStringLiteral("CONIUGE"), QStringLiteral("PRIMO FIGLIO"),
                               QStringLiteral("ALTRI FAMILIARI")};
    for (int row = 0; row < kRows; ++row) {
        const double y = rowTop(row);
        const double h = rowBottom(row) - y;
        if (row < 3)
            d.text(9, familyBaseline(top, row), kLabelSize, captions[row], true); // on the values' line
        for (const Col &c : cols)
            d.rect(c.x, y, c.w, h);
        d.rect(8, y, 38, h, 0.15, 0.6);
    }
}

// ---- social security pages ----

void socialSecurityA(FormDrawer &d, int pageNo, CudLayoutRec &lay, int pag, int inpdapLabelTop)
{
    d.page(pageNo);
    d.cuHeader(QStringLiteral("DATI PREVIDENZIALI E ASSISTENZIALI"));
    SectionRec &inps = lay.section(pag, 0, QStringLiteral("cdsInps"));
    SectionRec &inpdap = lay.section(pag, 1, QStringLiteral("cdsInpdap"));
    SectionRec &cu = lay.section(pag, 2, kCuRecord);
    headerEdit(cu);
    d.text(15, 24, 7, QStringLiteral("INPS - SEZIONE 1, GESTIONE DIPENDENTI PUBBLICI - SEZIONE 2, "
                                     "COLLABORATORI E ALTRI - SEZIONE 3"),
           true);
    const QString inpsStruct = rec::TCUDI_INPS::id.qs();
    // Each band starts 4 mm above the "Rigo" label the print writes beside it
    // and ends where the next one starts.
    const auto band = [&](int labelTop, int bottom, const QString &title, const QList<const VelFieldDesc *> &fields,
                          SectionRec &s) {
        rowLabelRule(d, 5, labelTop);
        Region r{pageNo, 15, labelTop - 4, 202, bottom};
        d.flow(title, FormDrawer::cellsOf(fields), r, s);
    };
    band(40, inpdapLabelTop - 5, QStringLiteral("SEZIONE 1 - INPS"), boxRange(inpsStruct, QStringLiteral("INPS"), 1, 8),
         inps);
    band(inpdapLabelTop, 168, QStringLiteral("SEZIONE 2 - INPS GESTIONE DIPENDENTI PUBBLICI"),
         pageFields(rec::TCUDN_INPDAP::id.qs(), QStringLiteral("INPDAP")), inpdap);
    const QString s3 = QStringLiteral("INPS - Sezione 3");
    band(173, 200, QStringLiteral("SEZIONE 3 - COLLABORATORI COORDINATI E CONTINUATIVI"),
         boxRange(inpsStruct, s3, 45, 50), inps);
    band(205, 231, QStringLiteral("SEZIONE 3 - PARASUBORDINATI SPORTIVI E ASSIMILATI"), boxRange(inpsStruct, s3, 51, 64),
         inps);
    band(236, 284, QStringLiteral("SEZIONE 3 - MAGISTRATI ONORARI"), boxRange(inpsStruct, s3, 65, 75), inps);
}

void socialSecurityB(FormDrawer &d, int pageNo, CudLayoutRec &lay, int pag, bool withTfr)
{
    d.page(pageNo);
    d.cuHeader(QStringLiteral("DATI PREVIDENZIALI E ASSISTENZIALI"));
    SectionRec &others = lay.section(pag, 0, QStringLiteral("cdsAltriEnti"));
    SectionRec &inail = lay.section(pag, 1, QStringLiteral("cdsInail"));
    SectionRec &cu = lay.section(pag, 2, kCuRecord);
    SectionRec &coop = lay.section(pag, 3, QStringLiteral("cdsCoopArt"));
    headerEdit(cu);
    const auto band = [&](int labelTop, int bottom, const QString &title, const QList<const VelFieldDesc *> &fields,
                          SectionRec &s, int rowHeight) {
        rowLabelRule(d, 5, labelTop);
        Region r{pageNo, 15, labelTop - 4, 202, bottom};
        d.flow(title, FormDrawer::cellsOf(fields), r, s, ValueStyle::Auto, rowHeight);
    };
    d.text(15, 22, 7, QStringLiteral("ALTRI ENTI PREVIDENZIALI, INAIL E SOCI DI COOPERATIVE ARTIGIANE"), true);
    band(32, 45, QStringLiteral("SOCI DI COOPERATIVE ARTIGIANE"),
         pageFields(rec::TCUDCA_COOPART::id.qs(), QStringLiteral("CoopArt")), coop, 9);
    band(50, 69, QStringLiteral("ALTRI ENTI PREVIDENZIALI"),
         pageFields(rec::TCUDAE_ALTRIENTI::id.qs(), QStringLiteral("ALTRI ENTI")), others, 9);
    band(74, 105, QStringLiteral("DATI ASSICURATIVI INAIL"),
         pageFields(rec::TCUIN_INAIL::id.qs(), QStringLiteral("INAIL")), inail, 9);
    if (withTfr) {
        SectionRec &tfr = lay.section(pag, 4, QStringLiteral("cdsPdfTfr"));
        QList<const VelFieldDesc *> fields;
        for (const VelFieldDesc &f : structureOf(rec::TCUDT_TFR::id.qs()).fields) {
            if (!f.box.isEmpty())
                fields.append(&f);
        }
        band(110, 284, QStringLiteral("TFR, ALTRE INDENNITÀ E PRESTAZIONI IN FORMA DI CAPITALE"), fields, tfr, 9);
    }
}

void tfrSheet(FormDrawer &d, int pageNo, CudLayoutRec &lay, int pag)
{
    d.page(pageNo);
    d.cuHeader(QStringLiteral("TFR, ALTRE INDENNITÀ E PRESTAZIONI IN FORMA DI CAPITALE"));
    SectionRec &tfr = lay.section(pag, 0, QStringLiteral("cdsPdfTfr"));
    rowLabelRule(d, 5, 44);
    QList<Region> regions{Region{pageNo, 13, 40, 202, 284}};
    const QString s = rec::TCUDT_TFR::id.qs();
    for (const QString &page : {QStringLiteral("Rapporto di lavoro"), QStringLiteral("TFR al 31/12/2000"),
                                QStringLiteral("TFR dal 01/01/2001"), QStringLiteral("Prestazioni"),
                                QStringLiteral("Dati riepilogativi")}) {
        d.flow(page.toUpper(), FormDrawer::cellsOf(pageFields(s, page)), regions, tfr);
    }
}

void selfEmployed(FormDrawer &d, int pageNo, CudLayoutRec &lay, int pag)
{
    d.page(pageNo);
    d.cuHeader(QStringLiteral("LAVORO AUTONOMO, PROVVIGIONI E REDDITI DIVERSI"));
    SectionRec &rows = lay.section(pag, 0, QStringLiteral("cdsAutonomo"));
    SectionRec &cu = lay.section(pag, 1, kCuRecord);
    headerEdit(cu);
    d.text(13, 24, 7, QStringLiteral("CERTIFICAZIONE LAVORO AUTONOMO, PROVVIGIONI E REDDITI DIVERSI"), true);
    d.text(13, 29, 5.5, QStringLiteral("Compilare un rigo per ogni causale; i righi oltre il primo proseguono su copie "
                                       "di questa pagina."));
    rowLabelRule(d, 5, 45);
    QList<Region> regions{Region{pageNo, 13, 41, 202, 284}};
    const QString s = rec::TASE_AUTSOMMEEROGATE::id.qs();
    const QString page = QStringLiteral("Autonomo");
    const struct { int from, to; const char *title; } blocks[] = {
        {1, 22, "DATI RELATIVI ALLE SOMME EROGATE"},
        {29, 40, "DATI PREVIDENZIALI"},
        {41, 42, "SOMME CORRISPOSTE PRIMA DELLA DATA DEL FALLIMENTO E DAL CURATORE"},
        {52, 62, "REDDITI EROGATI AD ALTRI SOGGETTI"},
        {71, 73, "CODICI FISCALI DEI SOGGETTI"},
        {101, 108, "PIGNORAMENTO PRESSO TERZI"},
        {131, 138, "INDENNITÀ DI ESPROPRIO, ALTRE INDENNITÀ E INTERESSI"},
    };
    for (const auto &b : blocks)
        d.flow(QString::fromUtf8(b.title), FormDrawer::cellsOf(boxRange(s, page, b.from, b.to)), regions, rows);
}

// ---- annotations ----

void annotationsPage(FormDrawer &d, int pageNo)
{
    d.page(pageNo);
    d.cuHeader(QStringLiteral("ANNOTAZIONI"));
    d.bar(8, 17, 194, QStringLiteral("ANNOTAZIONI"));
    d.rect(42, 21, 160, 262);
    for (int top = 26; top <= 280; top += 3)
        d.line(43, top + 0.8, 201, top + 0.8, 0.1, 0.8);
    d.paragraph(9, 25, 31, 5.5,
                QStringLiteral("Le annotazioni riportano, per codice, le informazioni utili al contribuente per "
                               "la dichiarazione dei redditi e per i controlli della certificazione. Il testo di "
                               "ogni codice è descritto nelle istruzioni."));
}

void annotationCodesPage(FormDrawer &d, int pageNo, CudLayoutRec &lay, int pag)
{
    d.page(pageNo);
    d.cuHeader(QStringLiteral("ANNOTAZIONI"));
    SectionRec &codes = lay.section(pag, 0, QStringLiteral("cdsPdfAnnotazioni"));
    headerEdit(codes);
    d.text(13, 24, 7, QStringLiteral("CODICI DELLE ANNOTAZIONI"), true);
    rowLabelRule(d, 5, 34);
    QList<CellSpec> cells;
    int n = 0;
    for (const VelFieldDesc &f : structureOf(rec::TCUDA_ANNOTAZIONI::id.qs()).fields) {
        if (!f.name.startsWith(QLatin1String("SANN7")))
            continue;
        CellSpec c;
        c.fields.append(&f);
        c.box = QString::number(++n);
        cells.append(c);
    }
    Region r{pageNo, 13, 30, 202, 284};
    d.flow(QStringLiteral("CODICI ANNOTAZIONE"), cells, r, codes);
}

// ---- choice of the 8, 5 and 2 per thousand ----

void choiceBoxes(FormDrawer &d, double x, double y, double w, double h, int columns, const QStringList &names,
                 bool withCode)
{
    const double cw = w / columns;
    for (int i = 0; i < names.size(); ++i) {
        const double cx = x + (i % columns) * cw;
        const double cy = y + (i / columns) * h;
        d.rect(cx, cy, cw, h);
        d.paragraph(cx + 1, cy + 2.6, cw - 2, 5.5, names[i], 2.2, true);
        d.text(cx + 1, cy + h - 1.2, kLabelSize, QStringLiteral("FIRMA"), false, 0.3);
        d.line(cx + 9, cy + h - 1.5, cx + cw - 2, cy + h - 1.5, 0.1, 0.5);
        if (withCode)
            d.labelBox(cx + cw - 40, cy + h - 10, 38, 6, QStringLiteral("Codice fiscale del beneficiario (eventuale)"));
    }
}

void choicePages(FormDrawer &d, int firstPage, CudLayoutRec &lay, int pag)
{
    d.page(firstPage);
    d.text(8, 12, 11, QStringLiteral("SCHEDA PER LA SCELTA DELLA DESTINAZIONE DELL'8, DEL 5 E DEL 2 PER MILLE DELL'IRPEF"), true);
    d.text(8, 17, 6.5, QStringLiteral("%1 - periodo d'imposta %2. Da consegnare anche se non si "
                                      "esprime alcuna scelta.")
                                   .arg(Campagna::titoloModello())
                                   .arg(Campagna::AnnoFinanziario));
    SectionRec &agent = lay.section(pag, 0, QStringLiteral("cdsPdfSost"));
    SectionRec &payee = lay.section(pag, 1, kCuRecord);
    Region r{firstPage, 8, 21, 202, 283};
    d.flow(QStringLiteral("SOSTITUTO D'IMPOSTA"),
           FormDrawer::cellsOf(namedFields(rec::TCUS_DATISOST::id.qs(),
                                           {fld::SSOSCODFIS.qs(), fld::SSOSDENOM.qs()}),
                               false),
           r, agent);
    r.y += 2;
    d.setDateGaps(8, 6);
    d.flow(QStringLiteral("CONTRIBUENTE"),
           FormDrawer::cellsOf(namedFields(CUD, {fld::SCUDCODFIS.qs(), fld::SCUDCOGNOME.qs(),
                                                 fld::SCUDNOME.qs()}),
                               false),
           r, payee);
    d.flow(QString(),
           FormDrawer::cellsOf(namedFields(CUD, {fld::DCUDDATANAS.qs(), fld::SCUDSEX.qs(),
                                                 fld::SCUDCOMNAS.qs(), fld::SCUDPROVNAS.qs()}),
                               false),
           r, payee);
    d.setDateGaps(4, 4);
    r.y += 4;
    d.bar(8, r.y, 194, QStringLiteral("SCELTA PER LA DESTINAZIONE DELL'OTTO PER MILLE DELL'IRPEF"));
    const QStringList eight{
        QStringLiteral("Stato"), QStringLiteral("Chiesa cattolica"),
        QStringLiteral("Unione Chiese cristiane avventiste del 7° giorno"), QStringLiteral("Assemblee di Dio in Italia"),
        QStringLiteral("Chiesa Evangelica Valdese (Unione delle Chiese metodiste e valdesi)"),
        QStringLiteral("Chiesa Evangelica Luterana in Italia"), QStringLiteral("Unione Comunità Ebraiche Italiane"),
        QStringLiteral("Sacra Arcidiocesi ortodossa d'Italia ed Esarcato per l'Europa Meridionale"),
        QStringLiteral("Chiesa apostolica in Italia"), QStringLiteral("Unione Cristiana Evangelica Battista d'Italia"),
        QStringLiteral("Unione Buddhista Italiana"), QStringLiteral("Unione Induista Italiana"),
        QStringLiteral("Istituto Buddista Italiano Soka Gakkai"), QStringLiteral("Associazione \"Chiesa d'Inghilterra\"")};
    choiceBoxes(d, 8, r.y + 5, 194, 17, 4, eight, false);
    double y = r.y + 5 + 17 * 4 + 4;
    y = d.paragraph(8, y, 194, 6,
                    QStringLiteral("Per esprimere la scelta a favore di una delle istituzioni beneficiarie della quota "
                                   "dell'otto per mille dell'IRPEF, il contribuente deve apporre la propria firma nel "
                                   "riquadro corrispondente. La scelta deve essere fatta esclusivamente per una delle "
                                   "istituzioni beneficiarie."));
    d.paragraph(8, y + 2, 194, 6,
                QStringLiteral("La scheda può essere consegnata, in busta chiusa, a un ufficio postale, a un "
                               "intermediario abilitato alla trasmissione telematica oppure inviata direttamente "
                               "tramite il servizio telematico. Sulla busta vanno indicati cognome, nome, codice "
                               "fiscale e la dicitura \"SCELTA PER LA DESTINAZIONE DELL'OTTO, DEL CINQUE E DEL DUE "
                               "PER MILLE DELL'IRPEF\"."));

    d.page(firstPage + 1);
    d.labelBox(30, 7.5, 50, 7.5, QStringLiteral("Codice fiscale")); // value at 32, 13
    d.text(88, 12.5, 8, QStringLiteral("SCHEDA PER LA SCELTA DELLA DESTINAZIONE - SEGUE"), true);
    d.line(8, 16.5, 202, 16.5, 0.3, 0.2);
    d.bar(8, 19, 194, QStringLiteral("SCELTA PER LA DESTINAZIONE DEL CINQUE PER MILLE DELL'IRPEF"));
    const QStringList five{
        QStringLiteral("Sostegno degli enti del Terzo settore iscritti nel RUNTS, comprese le cooperative sociali ed "
                       "escluse le imprese sociali costituite in forma di società"),
        QStringLiteral("Finanziamento della ricerca scientifica e dell'università"),
        QStringLiteral("Finanziamento della ricerca sanitaria"),
        QStringLiteral("Sostegno delle attività sociali svolte dal comune di residenza del contribuente"),
        QStringLiteral("Sostegno alle associazioni sportive dilettantistiche riconosciute ai fini sportivi dal CONI"),
        QStringLiteral("Sostegno degli enti gestori delle aree protette"),
        QStringLiteral("Finanziamento delle attività di tutela, promozione e valorizzazione dei beni culturali e "
                       "paesaggistici")};
    choiceBoxes(d, 8, 24, 194, 26, 2, five, true);
    const double y2 = 24 + 26 * 4 + 4;
    d.bar(8, y2, 194, QStringLiteral("SCELTA PER LA DESTINAZIONE DEL DUE PER MILLE DELL'IRPEF A FAVORE DI UN PARTITO POLITICO"));
    d.labelBox(8, y2 + 5, 60, 14, QStringLiteral("Codice del partito politico"));
    d.labelBox(68, y2 + 5, 134, 14, QStringLiteral("FIRMA"));
    d.paragraph(8, y2 + 25, 194, 6,
                QStringLiteral("Per esprimere la scelta a favore di un partito politico il contribuente deve apporre "
                               "la propria firma nel riquadro e indicare il codice del partito prescelto, rilevabile "
                               "dall'elenco pubblicato con le istruzioni. La scelta non comporta alcun costo "
                               "aggiuntivo: la quota è prelevata dall'imposta già dovuta."));
}

void choiceNotesPage(FormDrawer &d, int pageNo)
{
    d.page(pageNo);
    d.cuHeader(QStringLiteral("INFORMAZIONI PER IL CONTRIBUENTE"), false);
    double y = 26;
    y = d.paragraph(8, y, 194, 10, QStringLiteral("Come leggere questa certificazione"), 0, true) + 2;
    const QStringList paras{
        QStringLiteral("Questa certificazione riporta i redditi di lavoro dipendente, di pensione e assimilati "
                       "corrisposti nel %1 dal sostituto d'imposta indicato nella prima pagina, con le ritenute "
                       "operate, le detrazioni riconosciute e i contributi previdenziali e assistenziali.")
            .arg(Campagna::AnnoFinanziario),
        QStringLiteral("I dati fiscali sono indicati per punti numerati: lo stesso numero si ritrova nelle istruzioni "
                       "della dichiarazione dei redditi, che indicano dove riportare ciascun importo."),
        QStringLiteral("Le pagine dei dati previdenziali, del TFR e del lavoro autonomo sono presenti solo quando "
                       "contengono dati; per ogni rigo in più viene stampata una copia della stessa pagina con un "
                       "numero di modulo progressivo."),
        QStringLiteral("Le ultime due pagine contengono la scheda per la scelta della destinazione dell'otto, del "
                       "cinque e del due per mille dell'IRPEF: va consegnata anche da chi non presenta la "
                       "dichiarazione dei redditi."),
        QStringLiteral("Conservare la certificazione insieme alla documentazione della dichiarazione dei redditi.")};
    for (const QString &p : paras)
        y = d.paragraph(8, y, 194, 8, p) + 2;
}

void writeXml(const QDomDocument &doc, const QString &path)
{
    TOvSafeFile::writeFile(path, doc.toByteArray(2), TOvSafeFile::Access::Shared);
}

void writeLayout(const CudLayoutRec &lay, const QString &path)
{
    QDomDocument doc;
    lay.write(doc);
    writeXml(doc, path);
}

void save(TPdkPdf &pdf, const QString &path)
{
    pdf.Check(pdf.SaveToFile(path), QStringLiteral("Salvataggio di %1: %2").arg(path, pdf.LastErrorText()));
    // shipped models: readable by every user of the installation
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

// The agent prints' single-page layouts: fields of one structure in blocks by group.
void agentBlocks(FormDrawer &d, Region &r, const QString &structure, const QString &mainTitle,
                 const QList<const VelFieldDesc *> &fields, SectionRec &section)
{
    // One block per heading, in the order the headings first appear.
    QList<QPair<QString, QList<const VelFieldDesc *>>> blocks;
    for (const VelFieldDesc *f : fields) {
        const QString title = f->group.isEmpty() ? mainTitle : f->group;
        auto it = std::find_if(blocks.begin(), blocks.end(), [&](const auto &b) { return b.first == title; });
        if (it == blocks.end()) {
            blocks.append({title, {}});
            it = blocks.end() - 1;
        }
        it->second.append(f);
    }
    Q_UNUSED(structure);
    for (const auto &b : blocks) {
        d.flow(b.first, FormDrawer::cellsOf(b.second, false), r, section, ValueStyle::AgentPrint);
        r.y += 3;
    }
}

} // namespace

void buildSummaryCu(const QString &dir)
{
    TPdkPdf pdf;
    FormDrawer d(pdf);
    CudLayoutRec lay;
    d.newDocument(11);

    firstPage(d, 1, lay);

    // Fiscal data over pages 2-4, family members on page 4.
    for (int p = 2; p <= 4; ++p) {
        d.page(p);
        d.cuHeader(QStringLiteral("DATI FISCALI"));
        headerEdit(lay.section(p, 0, kCuRecord));
    }
    QList<Region> regions{Region{2, 8, 18, 202, 284, &lay.section(2, 0, kCuRecord)},
                          Region{3, 8, 18, 202, 284, &lay.section(3, 0, kCuRecord)},
                          Region{4, 8, 18, 202, 126, &lay.section(4, 0, kCuRecord)},
                          Region{4, 8, 184, 202, 284, &lay.section(4, 0, kCuRecord)}};
    SectionRec unused;
    flowFiscal(d, QStringLiteral("Dati Fiscali"), QStringLiteral("DATI FISCALI"), regions, unused);
    flowFiscal(d, QStringLiteral("Dati Fiscali - Parte 2"), QStringLiteral("DATI FISCALI"), regions, unused);
    flowFiscal(d, QStringLiteral("Dati Fiscali - Parte 3"), QStringLiteral("DATI FISCALI"), regions, unused);
    flowFiscal(d, QStringLiteral("Dati Fiscali - Parte 4"), QStringLiteral("DATI FISCALI"), regions, unused);
    flowFiscal(d, QStringLiteral("Dati fiscali - Parte 5"), QStringLiteral("DATI FISCALI"), regions, unused);
    d.page(4);
    familyTable(d, 143, true);

    socialSecurityA(d, 5, lay, 5, 72);
    socialSecurityB(d, 6, lay, 6, true);
    annotationsPage(d, 7);
    selfEmployed(d, 8, lay, 7);
    choiceNotesPage(d, 9);
    choicePages(d, 10, lay, 8);

    save(pdf, QDir(dir).filePath(Campagna::modelloSintetico()));
    writeLayout(lay, QDir(dir).filePath(QStringLiteral("StpCUD.xml")));
}

void buildOrdinaryCu(const QString &dir)
{
    TPdkPdf pdf;
    FormDrawer d(pdf);
    CudLayoutRec lay;
    d.newDocument(14);

    // 1: frontispiece of the supply.
    {
        CudLayoutRec sost;
        d.page(1);
        d.text(8, 13, 16, Campagna::titoloModello(), true);
        d.text(8, 19, 7, QStringLiteral("FRONTESPIZIO - COMUNICAZIONE DATI CERTIFICAZIONI LAVORO DIPENDENTE, ASSIMILATI "
                                        "ED AUTONOMO"), true);
        d.labelBox(164, 23, 38, 8, QStringLiteral("Periodo d'imposta"));
        d.text(178, 29, 10, Campagna::anno(Campagna::AnnoFinanziario), true);
        d.bar(8, 40, 194, QStringLiteral("TIPO DI COMUNICAZIONE"));
        d.text(36, 52.5, 7, QStringLiteral("Annullamento"));
        d.rect(59, 47, 12, 8);
        d.text(97, 52.5, 7, QStringLiteral("Sostituzione"));
        d.rect(120, 47, 12, 8);
        SectionRec &sos = sost.sosSection(QStringLiteral("cdsSost"));
        QList<const VelFieldDesc *> fields;
        for (const VelFieldDesc *f :
             pageFields(rec::TCUS_DATISOST::id.qs(), QStringLiteral("DATI RELATIVI AL SOSTITUTO"))) {
            if (f->name != fld::LSOSANNULLAMENTO.l1() && f->name != fld::LSOSSOSTITUZIONE.l1())
                fields.append(f);
        }
        Region r{1, 8, 60, 202, 284};
        agentBlocks(d, r, rec::TCUS_DATISOST::id.qs(), QStringLiteral("DATI RELATIVI AL SOSTITUTO"), fields, sos);
        writeLayout(sost, QDir(dir).filePath(QStringLiteral("StpSost.xml")));
    }
    // 2: Quadro CT.
    {
        CudLayoutRec ct;
        d.page(2);
        d.text(8, 13, 16, Campagna::titoloModello(), true);
        d.text(8, 19, 7, QStringLiteral("QUADRO CT - COMUNICAZIONE PER LA RICEZIONE IN VIA TELEMATICA DEI DATI RELATIVI AI "
                                        "MOD. 730-4 RESI DISPONIBILI DALL'AGENZIA DELLE ENTRATE"), true);
        SectionRec &sos = ct.sosSection(QStringLiteral("cdsQuadroCT"));
        QList<const VelFieldDesc *> fields =
            pageFields(rec::TCUCT_DATICT::id.qs(), QStringLiteral("DATI DEL SOTITUTO D'IMPOSTA RICHIEDENTE"));
        fields.append(namedFields(rec::TCUCT_DATICT::id.qs(), {fld::LCTSRVENTRATEL.qs()}));
        Region r{2, 8, 28, 202, 284};
        agentBlocks(d, r, rec::TCUCT_DATICT::id.qs(), QStringLiteral("DATI DEL SOSTITUTO D'IMPOSTA RICHIEDENTE"),
                    fields, sos);
        writeLayout(ct, QDir(dir).filePath(QStringLiteral("StpQuadroCT.xml")));
    }

    firstPage(d, 3, lay);

    const QStringList fiscalPages{QStringLiteral("Dati Fiscali"), QStringLiteral("Dati Fiscali - Parte 2"),
                                  QStringLiteral("Dati Fiscali - Parte 3"), QStringLiteral("Dati Fiscali - Parte 4"),
                                  QStringLiteral("Dati fiscali - Parte 5")};
    for (int i = 0; i < fiscalPages.size(); ++i) {
        const int pageNo = 4 + i;
        const int pag = 2 + i;
        d.page(pageNo);
        d.cuHeader(QStringLiteral("DATI FISCALI"));
        SectionRec &s = lay.section(pag, 0, kCuRecord);
        headerEdit(s);
        int top = 18;
        if (pageNo == 8) {
            familyTable(d, 28, false);
            top = 72;
        }
        QList<Region> regions{Region{pageNo, 8, top, 202, 284, &s}};
        flowFiscal(d, fiscalPages[i], QStringLiteral("DATI FISCALI"), regions, s);
    }
    socialSecurityA(d, 9, lay, 7, 84);
    socialSecurityB(d, 10, lay, 8, false);
    tfrSheet(d, 11, lay, 9);
    tfrSheet(d, 12, lay, 10);
    annotationCodesPage(d, 13, lay, 11);
    selfEmployed(d, 14, lay, 12);

    save(pdf, QDir(dir).filePath(Campagna::modelloOrdinario()));
    writeLayout(lay, QDir(dir).filePath(QStringLiteral("StpCUD_Ord.xml")));
}
