#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelCuPrintData.h"

#include "src/prj/unit/model/VelCuByMonth.h"
#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"
#include "platform/pdf/PdkFontMetrics.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/print/VelImprint.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/telematic/VelAnnotationCodes.h"
#include "src/prj/unit/telematic/VelFileGenerator.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"

#include <QDir>
#include <QSet>

using namespace VelCuPrintData;

namespace {

const QString kFirma = QStringLiteral("SCUDDATIANAFIRMA");
const QString kAnnotazioni = QStringLiteral("TCUDA_ANNOTAZIONI");
constexpr int kCodesPerRow = 56; // annotation codes a row of TCUDA_ANNOTAZIONI holds
const QString kFirmaOmessa = QStringLiteral("LA FIRMA E' OMESSA AI SENSI DELL'ART.3, DEL DECR. LEGISLATIVO 12/02/1993");


bool flag(TClientDataSet &ds, const char *field, const char *on = "1")
{
    return text(ds, field).trimmed() == QLatin1String(on);
}

// The amount of a dependant's row: "#,##0.00" unless "0,00"; a text that is
// not a number is printed as it stands.
QString amountText(TClientDataSet &ds, const char *field)
{
    const TField f = ds.findField(QLatin1String(field));
    if (!f)
        return QString();
    try {
        return TVelFormFieldPrinter::printedText(QStringLiteral("taRightJustify"), QString(), f.value());
    } catch (const EOvError &) {
        return f.asString().trimmed();
    }
}

} // namespace

TVelCuPrint::TVelCuPrint(TTorDBCds &store, TdmVelStampePDF &stampe, TdmVelMain &main)
    : m_store(store), m_stampe(stampe), m_main(main)
{
}

TVelCuPrint::~TVelCuPrint() = default;

QString TVelCuPrint::defaultFileName(bool ordinario, bool draft)
{
    return (ordinario ? QStringLiteral("CU_Ordinario-") : QStringLiteral("CU-")) + QString::number(Campagna::AnnoInvio)
           + (draft ? QStringLiteral("-Bozza") : QString());
}

void TVelCuPrint::open()
{
    cdsMultiSelect.setFiltered(false);
    m_store.Load(cdsMultiSelect, kCud, TTorDBCds::AllMonths);
    cdsMultiSelect.setIndexFieldNames(QStringLiteral("SCUDCOGNOME;SCUDNOME;SCUDMESE"));
    cdsMultiSelect.first();
}

void TVelCuPrint::close()
{
    for (TClientDataSet *ds : {&cdsMultiSelect, &cdsInps, &cdsInpdap, &cdsInail, &cdsAltriEnti, &cdsCoopArt, &cdsPdfTfr,
                               &cdsAutonomo, &cdsPdfConFamCar, &cdsPdfAnnotazioni, &cdsPdfSost, &cdsPdfAltrisost})
        ds->close();
    m_stampe.closeDataSets();
    m_lockSet.reset();
    m_lockRows.clear();
    m_locked.clear();
    m_ranges.clear();
}

QList<TBookmark> TVelCuPrint::allRows() const
{
    QList<TBookmark> rows;
    auto &ds = const_cast<TClientDataSet &>(cdsMultiSelect);
    for (ds.first(); !ds.eof(); ds.next())
        rows << ds.bookmark();
    return rows;
}

void TVelCuPrint::loadWhenEmpty(TClientDataSet &ds, const QString &structure)
{
    if (ds.active() && !ds.isEmpty())
        return;
    ds.setFiltered(false);
    m_store.Load(ds, structure, TTorDBCds::AllMonths);
}

void TVelCuPrint::prepare()
{
    loadWhenEmpty(*m_stampe.cdsSost, QStringLiteral("TCUS_DATISOST"));
    loadWhenEmpty(*m_stampe.cdsQuadroCT, QStringLiteral("TCUCT_DATICT"));
    loadWhenEmpty(cdsInps, QStringLiteral("TCUDI_INPS"));
    loadWhenEmpty(cdsInpdap, QStringLiteral("TCUDN_INPDAP"));
    loadWhenEmpty(cdsPdfSost, QStringLiteral("TCUS_DATISOST"));
    loadWhenEmpty(cdsPdfConFamCar, QStringLiteral("TCUDC_CONFAMCARICO"));
    loadWhenEmpty(cdsPdfTfr, QStringLiteral("TCUDT_TFR"));
    loadWhenEmpty(cdsPdfAnnotazioni, QStringLiteral("TCUDA_ANNOTAZIONI"));
    loadWhenEmpty(cdsPdfAltrisost, QStringLiteral("TCUAS_DATIALTRISOST"));
    loadWhenEmpty(cdsInail, QStringLiteral("TCUIN_INAIL"));
    loadWhenEmpty(cdsAltriEnti, QStringLiteral("TCUDAE_ALTRIENTI"));
    loadWhenEmpty(cdsAutonomo, QStringLiteral("TASE_AUTSOMMEEROGATE"));
    loadWhenEmpty(cdsCoopArt, QStringLiteral("TCUDCA_COOPART"));
}

// ---------------------------------------------------------------- drawing

void TVelCuPrint::copyPage(const QString &pages, const QString &label)
{
    TPdkPdf &pdf = *m_pdf;
    pdf.SetLastOperation(label);
    check(pdf, pdf.SetMeasurementUnits(1), label);
    check(pdf, pdf.CopyPageRanges(m_modelDoc, pages), label);
    check(pdf, pdf.SelectPage(pdf.PageCount()), label);
}

void TVelCuPrint::blankPageIfOdd()
{
    if (!twoSided || m_pdf->PageCount() % 2 == 0)
        return;
    const QString label = QStringLiteral("Inserimento \"Pagina vuota\"");
    m_pdf->SetLastOperation(label);
    check(*m_pdf, m_pdf->NewPage(), label);
}

void TVelCuPrint::drawText(double x, double y, int size, const QString &value, double width, int align)
{
    TPdkPdf &pdf = *m_pdf;
    const QString label = QStringLiteral("Scrivi testo: ") + value;
    pdf.SetLastOperation(label);
    check(pdf, pdf.SetTextSize(size), label);
    if (width <= 0 && align == 0) {
        check(pdf, pdf.DrawText(x, y, value), label);
        return;
    }
    const TPdkAlign a = align == 1 ? TPdkAlign::Right : align == 2 ? TPdkAlign::Center : TPdkAlign::Left;
    check(pdf, pdf.OvDrawText(int(x), int(y), value, width, a), label);
}

void TVelCuPrint::moduleAndImprint()
{
    drawText(192, 12, 8, QStringLiteral("%1").arg(m_module, 2, 10, QLatin1Char('0')), 5);
    imprint();
}

// Along the left edge, reading upwards: the glyphs reach 1.8 mm left of the
// baseline, so a baseline at 7 mm keeps them inside the 5 mm margin.
void TVelCuPrint::imprint()
{
    const QString line = VelImprint::cuLine();
    const QString label = QStringLiteral("Scrivi testo: ") + line;
    m_pdf->SetLastOperation(label);
    check(*m_pdf, m_pdf->SetTextSize(7), label);
    check(*m_pdf, m_pdf->DrawRotatedText(kMargin + 2, 279, 90, line), label);
}

// Every page of a draft, blank ones included, says so above and below the
// model's frames, where it hides neither a label nor a value.
void TVelCuPrint::markDraft()
{
    TPdkPdf &pdf = *m_pdf;
    const QString note = QStringLiteral("BOZZA - non valida come certificazione");
    const QString label = QStringLiteral("Scrivi testo: ") + note;
    pdf.SetLastOperation(label);
    check(pdf, pdf.SetMeasurementUnits(1), label);
    for (int page = 1; page <= pdf.PageCount(); ++page) {
        check(pdf, pdf.SelectPage(page), label);
        check(pdf, pdf.SetTextSize(7), label);
        check(pdf, pdf.DrawText(100, kMargin + 2, note), label);
        check(pdf, pdf.SelectFont(TPdkFont::HelveticaBold), label);
        check(pdf, pdf.SetTextSize(16), label);
        check(pdf, pdf.OvDrawText(0, 297 - kMargin - 1, note, 210, TPdkAlign::Center), label);
        check(pdf, pdf.SelectFont(TPdkFont::Helvetica), label);
    }
}

// Title, author (the withholding agent) and date of the document, for whoever
// finds the file without its e-mail.
void TVelCuPrint::setDocumentInfo(TPdkPdf &pdf)
{
    QString title = QStringLiteral("Certificazione Unica %1 - %2")
                        .arg(Campagna::AnnoInvio)
                        .arg(m_stampe.ordinario ? QStringLiteral("modello ordinario") : QStringLiteral("modello sintetico"));
    if (draft)
        title += QStringLiteral(" - BOZZA");
    const QString author = !cdsPdfSost.isEmpty() ? text(cdsPdfSost, "SSOSDENOM").trimmed() : QString();
    check(pdf, VelImprint::setDocumentInfo(pdf, title, author), QStringLiteral("Informazioni del documento"));
}

void TVelCuPrint::fiscalCodeHeader(int x, int y, double width)
{
    drawText(x, y, 10, m_codFis, width);
}

void TVelCuPrint::rowLabel(int position, int x, int y)
{
    drawText(x, y, 6, QStringLiteral("Rigo: ") + QString::number(position));
}

void TVelCuPrint::filterToCu(TClientDataSet &ds)
{
    ds.setFiltered(false);
    ds.setFilter(QStringLiteral("SCUDCODFIS = %1 AND SCUDMESE = %2").arg(quoted(m_codFis), quoted(m_mese)));
    ds.setFiltered(true);
    ds.first();
}

void TVelCuPrint::agentBlock(const TXMLCud &cud, TClientDataSet &agent)
{
    const TXMLCudPage sos = cud.Sos();
    for (int s = 0; s < sos.Count(); ++s) {
        const TXMLCudSection section = sos.Section(s);
        for (int e = 0; e < section.Count(); ++e) {
            const TXMLCudEdit edit = section.Edit(e);
            const TXMLCudPrintRect r = edit.PrintRect();
            const TField f = agent.findField(edit.Name());
            const QString value = f && !agent.isEmpty() ? f.asString() : QString();
            if (value.isEmpty())
                continue;
            m_printer->DrawField(value, r.Left(), r.Top(), r.Height(), edit.Alignment(), QStringLiteral("0"));
        }
    }
}

void TVelCuPrint::pageFields(const TXMLCud &cud, int page, bool signature)
{
    const TXMLCudPage pag = cud.Pag(page);
    for (int s = 0; s < pag.Count(); ++s) {
        const TXMLCudSection section = pag.Section(s);
        for (int e = 0; e < section.Count(); ++e) {
            const TXMLCudEdit edit = section.Edit(e);
            const TField f = cdsMultiSelect.fieldByName(edit.Name());
            if (signature && edit.Name().compare(kFirma, Qt::CaseInsensitive) == 0 && signatureOmitted) {
                const QString value = f.asString();
                const TXMLCudPrintRect r = edit.PrintRect();
                if (!value.isEmpty() && value != QLatin1String("0"))
                    m_printer->DrawField(value, r.Left(), r.Top() - 2, 8, edit.Alignment(), edit.Space());
                m_printer->DrawField(kFirmaOmessa, r.Left(), r.Top() + 1, 6, edit.Alignment(), edit.Space());
                continue;
            }
            m_printer->printEdit(edit, f.value());
        }
    }
}

void TVelCuPrint::dependantsBlock(int top)
{
    TClientDataSet &ds = cdsPdfConFamCar;
    m_pdf->SetLastOperation(QStringLiteral("Stampa con. fam. carico"));
    auto x = [this](double at, double y) { drawText(at, y, 8, QStringLiteral("X")); };
    // "0" and "00" (months) are zero: nothing is printed for them
    auto left = [this](double at, double y, const QString &value) {
        const QString t = value.trimmed();
        if (!t.isEmpty() && t.count(QLatin1Char('0')) != t.size())
            drawText(at, y, 8, t);
    };
    auto right = [this](double at, double y, const QString &value) {
        if (!value.isEmpty())
            drawText(at, y, 8, value, 0, 1);
    };
    // the further rows stand 9 mm below the spouse's, then 4 mm apart, each
    // on its own line of the table whichever record it comes from
    const int first = top;
    int further = 0;
    int record = 0;
    for (ds.first(); !ds.eof(); ds.next()) {
        ++record;
        if (record == 1) {
            if (flag(ds, "LCUDRELPARCON"))
                x(49, top);
            left(90, top, text(ds, "SCUDCODFISCON"));
            left(153, top, text(ds, "SCUDMESICARCON"));
            top += 4;
            if (flag(ds, "LCUDRELPARPRIFIGL"))
                x(49, top);
            if (flag(ds, "LCUDRELPARPRIFIGLDIS"))
                x(72, top);
            left(90, top, text(ds, "SCUDCODFISPRIFIGL"));
            left(153, top, text(ds, "SCUDMESICARPRIFIGL"));
            right(172, top, amountText(ds, "SCUDDETRSPETTPRIFIGL"));
            if (flag(ds, "LCUDDET100X100PRIFIGL"))
                x(178, top);
            left(191, top, text(ds, "SCUDMESIDETRM21PRIFIGL"));
        }
        if (!(flag(ds, "LCUDRELPARFIGL") || flag(ds, "LCUDRELPARFIGLALTRFAM") || flag(ds, "LCUDRELPARFIGLDIS")))
            continue;
        top = first + 9 + 4 * further++;
        if (flag(ds, "LCUDRELPARFIGL"))
            x(49, top);
        if (flag(ds, "LCUDRELPARFIGLALTRFAM"))
            x(61, top);
        if (flag(ds, "LCUDRELPARFIGLDIS"))
            x(72, top);
        if (flag(ds, "LCUDRELPARNONASCEND"))
            x(83, top);
        left(90, top, text(ds, "SCUDCODFISFIGL"));
        left(153, top, text(ds, "SCUDMESICARFIGL"));
        right(172, top, amountText(ds, "FCUDDETRSPETTFIGL"));
        if (flag(ds, "LCUDDET100X100FIGL"))
            x(178, top);
        left(191, top, text(ds, "SCUDMESIDETRM21FIGL"));
    }
}

void TVelCuPrint::previdentialPages(const TXMLCud &cud, const Previdential &plan)
{
    QList<TClientDataSet *> sets{&cdsInps, &cdsInpdap, &cdsInail, &cdsCoopArt, &cdsAltriEnti};
    if (plan.tfr)
        sets << &cdsPdfTfr;
    bool any = false;
    for (TClientDataSet *ds : sets) {
        filterToCu(*ds);
        any = any || !ds->isEmpty();
    }
    if (!any)
        return;

    // page A: INPS and public pension, one row of each a page
    m_module = 1;
    const QString labelA = QStringLiteral("Copia pagina dati previdenziali");
    const QString modelA = QString::number(plan.modelA);
    copyPage(modelA, labelA);
    moduleAndImprint();
    const TXMLCudPage pagA = cud.Pag(plan.pagA);
    m_printer->printSection(pagA.Section(2), cdsMultiSelect);
    while (!cdsInps.eof() || !cdsInpdap.eof()) {
        if (!cdsInps.eof()) {
            m_printer->printSection(pagA.Section(0), cdsInps);
            for (int top : {40, 173, 205, 236})
                rowLabel(cdsInps.recNo(), 5, top);
            cdsInps.next();
        }
        if (!cdsInpdap.eof()) {
            m_printer->printSection(pagA.Section(1), cdsInpdap);
            rowLabel(cdsInpdap.recNo(), 5, plan.inpdapLabel);
            cdsInpdap.next();
        }
        if (!cdsInps.eof() || !cdsInpdap.eof()) {
            copyPage(modelA, labelA);
            ++m_module;
            fiscalCodeHeader();
            moduleAndImprint();
        }
    }

    // page B: other bodies, INAIL, co-operatives (and TFR in the summary CU)
    const QString modelB = QString::number(plan.modelB);
    copyPage(modelB, labelA);
    moduleAndImprint();
    const TXMLCudPage pagB = cud.Pag(plan.pagB);
    m_printer->printSection(pagB.Section(2), cdsMultiSelect);
    struct Row { TClientDataSet *ds; int section; int top; };
    QList<Row> bands{Row{&cdsAltriEnti, 0, 50}, Row{&cdsInail, 1, 74}};
    if (plan.tfr)
        bands << Row{&cdsPdfTfr, 4, 110};
    bands << Row{&cdsCoopArt, 3, 32};
    auto remain = [&bands] {
        for (const Row &r : bands)
            if (!r.ds->eof())
                return true;
        return false;
    };
    while (remain()) {
        for (const Row &r : bands) {
            if (r.ds->eof())
                continue;
            m_printer->printSection(pagB.Section(r.section), *r.ds);
            rowLabel(r.ds->recNo(), 5, r.top);
            r.ds->next();
        }
        if (remain()) {
            copyPage(modelB, labelA);
            ++m_module;
            fiscalCodeHeader();
            moduleAndImprint();
        }
    }
}

QStringList TVelCuPrint::wrapAnnotations(const QString &value)
{
    const PdkFontMetrics &metrics = PdkFontMetrics::of(TPdkFont::Helvetica);
    // the line's room and its text's width, in points
    constexpr double kWidth = (kAnnotationRight - kAnnotationLeft) * 72.0 / 25.4;
    auto width = [&](const QString &t) { return metrics.width(TPdkPdf::toWinAnsi(t)) * kAnnotationSize / 1000.0; };
    QStringList lines;
    QString normalized = value;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString &paragraph : normalized.split(QLatin1Char('\n'))) {
        QString line;
        const QStringList words = paragraph.split(QLatin1Char(' '));
        for (int i = 0; i < words.size(); ++i) {
            QString word = words.at(i);
            const QString candidate = line.isEmpty() && i == 0 ? word : line + QLatin1Char(' ') + word;
            if (width(candidate) <= kWidth) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty())
                lines << line;
            // a word wider than the box breaks where the box ends
            while (width(word) > kWidth && word.size() > 1) {
                int n = word.size() - 1;
                while (n > 1 && width(word.left(n)) > kWidth)
                    --n;
                lines << word.left(n);
                word = word.mid(n);
            }
            line = word;
        }
        lines << line;
    }
    return lines;
}

// The annotation text on model page 7, and on further copies of it while
// lines remain: each copy one module further, with the payee's tax code, as
// the other continuation pages. No line is left out.
void TVelCuPrint::annotationsPage()
{
    QStringList lines = wrapAnnotations(text(cdsMultiSelect, "SCUDANNOTAZIONI"));
    // blank lines at the end would only make an empty page
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    constexpr int kStep = 3;     // millimetres a line
    constexpr int kBottom = 280; // a line's top stays above it
    qsizetype next = 0;
    bool first = true;
    do {
        copyPage(QStringLiteral("7"), first ? QStringLiteral("Creazione pagina firma")
                                            : QStringLiteral("Copia pagina annotazioni"));
        if (!first)
            ++m_module;
        moduleAndImprint();
        fiscalCodeHeader();
        int top = 23;
        // an empty line under the heading, unless the text begins with one
        if (next < lines.size() && !lines.at(next).trimmed().isEmpty())
            top += kStep;
        while (next < lines.size() && top + kStep < kBottom) {
            top += kStep;
            const QString &line = lines.at(next++);
            if (!line.trimmed().isEmpty())
                drawText(kAnnotationLeft, top, int(kAnnotationSize), line);
        }
        first = false;
    } while (next < lines.size());
}

void TVelCuPrint::selfEmployedPage(const TXMLCud &cud, int modelPage, int pag)
{
    filterToCu(cdsAutonomo);
    if (cdsAutonomo.isEmpty())
        return;
    m_module = 1;
    const QString model = QString::number(modelPage);
    copyPage(model, QStringLiteral("Copia I pagina"));
    moduleAndImprint();
    const TXMLCudPage page = cud.Pag(pag);
    m_printer->printSection(page.Section(1), cdsMultiSelect);
    while (!cdsAutonomo.eof()) {
        m_printer->printSection(page.Section(0), cdsAutonomo);
        rowLabel(cdsAutonomo.recNo(), int(kMargin), 45);
        cdsAutonomo.next();
        if (!cdsAutonomo.eof()) {
            copyPage(model, QStringLiteral("Copia pagina dati autonomo"));
            ++m_module;
            fiscalCodeHeader();
            moduleAndImprint();
        }
    }
}

// The TFR rows go alternately on the two pages of a copy of model pages 11
// and 12; a new pair, one module further, while rows remain.
void TVelCuPrint::tfrPairs(const TXMLCud &cud)
{
    filterToCu(cdsPdfTfr);
    if (cdsPdfTfr.isEmpty())
        return;
    const QString label = QStringLiteral("Copia pagine TFR");
    const TXMLCudSection sections[2] = {cud.Pag(9).Section(0), cud.Pag(10).Section(0)};
    m_module = 1;
    while (!cdsPdfTfr.eof()) {
        copyPage(QStringLiteral("11,12"), label);
        const int last = m_pdf->PageCount();
        for (int k = 0; k < 2; ++k) {
            check(*m_pdf, m_pdf->SelectPage(last - 1 + k), label);
            fiscalCodeHeader();
            moduleAndImprint();
            if (cdsPdfTfr.eof())
                continue;
            m_printer->printSection(sections[k], cdsPdfTfr);
            rowLabel(cdsPdfTfr.recNo(), int(kMargin), 44);
            cdsPdfTfr.next();
        }
        if (!cdsPdfTfr.eof())
            ++m_module;
    }
}

void TVelCuPrint::warn(const QString &reason)
{
    const QString message = QStringLiteral("Controllare le annotazioni nel Modello CU: ") + reason;
    if (warning)
        warning(message);
    else if (log)
        log(message);
}

// The codes of a row of TCUDA_ANNOTAZIONI, in order, up to the first empty one.
static QStringList rowCodes(TClientDataSet &ann)
{
    QStringList codes;
    for (int k = 0; k < kCodesPerRow; ++k) {
        const TField f = ann.findField(VelAnnotationCodes::column(k));
        const QString code = f ? f.asString().trimmed() : QString();
        if (code.isEmpty())
            break;
        codes << code;
    }
    return codes;
}

const QList<TBookmark> &TVelCuPrint::annotationRowsOf(qint64 person)
{
    if (!m_annotationIndex) {
        m_annotationIndex.emplace();
        TClientDataSet &ann = cdsPdfAnnotazioni;
        ann.setFiltered(false);
        const TField id = ann.findField(QStringLiteral("IAFIID"));
        if (id) {
            for (ann.first(); !ann.eof(); ann.next())
                (*m_annotationIndex)[id.asInteger()] << ann.bookmark();
        }
    }
    return (*m_annotationIndex)[person];
}

// The rows of annotation codes of the CU's person, rebuilt in memory from its
// annotation text: 56 codes a row, no row without codes. What changed is kept
// for the store, written when the run succeeds. An error is reported and the
// print goes on with the rows the person had; a notes table that cannot be
// read is reported once a run, not once a CU.
void TVelCuPrint::rebuildAnnotationCodes()
{
    if (m_person == 0)
        return;
    TClientDataSet &ann = cdsPdfAnnotazioni;
    try {
        if (m_noteTableFailed)
            return; // reported once for the run; the stored rows print as they are
        if (!m_noteCodes) {
            try {
                m_noteCodes = VelAnnotationCodes::readNoteTable();
            } catch (const EOvException &) {
                m_noteTableFailed = true;
                throw;
            }
        }
        const QStringList codes = VelAnnotationCodes::codesOf(text(cdsMultiSelect, "SCUDANNOTAZIONI"), *m_noteCodes);
        QList<QStringList> wanted;
        for (qsizetype i = 0; i < codes.size(); i += kCodesPerRow)
            wanted << codes.mid(i, kCodesPerRow);

        annotationRowsOf(m_person); // the index exists from here on
        QList<TBookmark> &held = (*m_annotationIndex)[m_person];
        QList<QStringList> now;
        for (const TBookmark b : std::as_const(held)) {
            ann.gotoBookmark(b);
            now << rowCodes(ann);
        }
        if (now == wanted)
            return;

        for (const TBookmark b : std::as_const(held)) {
            ann.gotoBookmark(b);
            ann.deleteRecord();
        }
        held.clear();
        const TField id = ann.fieldByName(QStringLiteral("IAFIID"));
        for (const QStringList &row : std::as_const(wanted)) {
            ann.append();
            id.setAsInteger(m_person);
            ann.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(m_codFis);
            if (const TField m = ann.findField(QStringLiteral("SCUDMESE")); m && !m_mese.isEmpty())
                m.setAsString(m_mese);
            for (qsizetype k = 0; k < row.size(); ++k)
                ann.fieldByName(VelAnnotationCodes::column(int(k))).setAsString(row.at(k));
            ann.post();
            held << ann.bookmark();
        }
        m_annotationSaves.append({m_person, m_codFis, m_mese, wanted});
    } catch (const EOvException &e) {
        if (ann.modified())
            ann.cancel();
        warn(e.message());
    }
}

// One copy of model page 13 for each row of annotation codes of the person.
void TVelCuPrint::annotationCodePages(const TXMLCud &cud)
{
    if (m_person == 0)
        return;
    TClientDataSet &ann = cdsPdfAnnotazioni;
    ann.setFiltered(false);
    QList<TBookmark> rows;
    for (const TBookmark b : annotationRowsOf(m_person)) {
        ann.gotoBookmark(b);
        if (!rowCodes(ann).isEmpty())
            rows << b;
    }
    if (rows.isEmpty())
        return;
    m_module = 1;
    const TXMLCudSection section = cud.Pag(11).Section(0);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        copyPage(QStringLiteral("13"), QStringLiteral("Copia pagina annotazioni"));
        if (i > 0)
            ++m_module;
        moduleAndImprint();
        ann.gotoBookmark(rows.at(i));
        m_printer->printSection(section, ann);
        rowLabel(int(i) + 1, int(kMargin), 34);
    }
}

// The rows rebuilt in the run, saved in the period of their CU's month: one
// save a month. A save that fails is reported and the others go on.
void TVelCuPrint::saveAnnotationCodes(const QSet<QString> &keys)
{
    QList<AnnotationRows> saves;
    for (qsizetype i = 0; i < m_annotationSaves.size();) {
        const AnnotationRows &a = m_annotationSaves.at(i);
        if (keys.isEmpty() || keys.contains(a.codFis + QLatin1Char('|') + a.mese))
            saves << m_annotationSaves.takeAt(i);
        else
            ++i;
    }
    if (saves.isEmpty())
        return;
    QStringList months;
    for (const AnnotationRows &a : std::as_const(saves))
        if (!months.contains(a.mese))
            months << a.mese;
    TClientDataSet all;
    try {
        m_store.Load(all, kAnnotazioni, TTorDBCds::AllMonths);
    } catch (const EOvException &e) {
        warn(e.message());
        return;
    }
    all.setFiltered(false);
    const TField id = all.fieldByName(QStringLiteral("IAFIID"));
    QHash<qint64, QList<TBookmark>> stored;
    for (all.first(); !all.eof(); all.next())
        stored[id.asInteger()] << all.bookmark();
    for (const QString &mese : std::as_const(months)) {
        QStringList persons;
        try {
            for (const AnnotationRows &a : std::as_const(saves)) {
                if (a.mese != mese)
                    continue;
                persons << a.codFis;
                for (const TBookmark b : stored.value(a.person)) {
                    all.gotoBookmark(b);
                    all.deleteRecord();
                }
                stored.remove(a.person);
                for (const QStringList &row : a.rows) {
                    all.append();
                    id.setAsInteger(a.person);
                    all.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(a.codFis);
                    if (const TField m = all.findField(QStringLiteral("SCUDMESE")); m && !a.mese.isEmpty())
                        m.setAsString(a.mese);
                    for (qsizetype k = 0; k < row.size(); ++k)
                        all.fieldByName(VelAnnotationCodes::column(int(k))).setAsString(row.at(k));
                    all.post();
                }
            }
            m_store.Save(all, kAnnotazioni, velCuStoreMonth(mese));
        } catch (const EOvException &e) {
            if (all.modified())
                all.cancel();
            all.cancelUpdates();
            warn(persons.join(QStringLiteral(", ")) + QStringLiteral(" - ") + e.message());
        }
    }
}

void TVelCuPrint::fivePerThousandPages(const TXMLCud &cud, TClientDataSet &agent)
{
    blankPageIfOdd();
    const QString label = QStringLiteral("Creazione pagina CINQUE PER MILLE");
    copyPage(QStringLiteral("10,11"), label);
    check(*m_pdf, m_pdf->SelectPage(m_pdf->PageCount() - 1), label);
    m_printer->setDateGaps(8, 6);
    const TXMLCudPage pag8 = cud.Pag(8);
    for (int s = 0; s < pag8.Count(); ++s) {
        const TXMLCudSection section = pag8.Section(s);
        TClientDataSet &ds = section.Name().compare(QStringLiteral("cdsPdfSost"), Qt::CaseInsensitive) == 0
                                 ? agent
                                 : cdsMultiSelect;
        if (ds.isEmpty())
            continue;
        for (int e = 0; e < section.Count(); ++e) {
            const TXMLCudEdit edit = section.Edit(e);
            const TField f = ds.findField(edit.Name());
            if (f)
                m_printer->printEdit(edit, f.value());
        }
    }
    m_printer->setDateGaps(4, 4);
    imprint();
    check(*m_pdf, m_pdf->SelectPage(m_pdf->PageCount()), label);
    fiscalCodeHeader(32, 13, 5);
    imprint();
    blankPageIfOdd();
}

