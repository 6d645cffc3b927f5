#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/model/VelDependants.h"
#include "src/prj/unit/model/VelTextFit.h"
#include "src/prj/unit/print/VelCuPrintData.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"
#include "platform/pdf/PdkFontMetrics.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuModelLayout.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/print/VelImprint.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/telematic/VelAnnotationCodes.h"
#include "src/prj/unit/telematic/VelFileGenerator.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

using namespace VelCuPrintData;
namespace Layout = VelCuModelLayout;

namespace {

const QString kFirma = fld::SCUDDATIANAFIRMA.qs();
const QString kPrevidentialLabel = QStringLiteral("Copia pagina dati previdenziali");
const QString kFirmaOmessa = QStringLiteral("LA FIRMA E' OMESSA AI SENSI DELL'ART.3, DEL DECR. LEGISLATIVO 12/02/1993");


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

namespace {
const QString kDraftTitle = QStringLiteral(" - BOZZA");
}

QString TVelCuPrint::draftRefusal(const QString &path)
{
    if (!QFileInfo(path).isFile() || TPdkPdf::DocumentTitle(path).endsWith(kDraftTitle))
        return QString();
    return QStringLiteral("Il file \"%1\" è una stampa definitiva (o non è una bozza di questo programma): una bozza "
                          "non lo sostituisce. Indicare un altro nome di file per la bozza.")
        .arg(QDir::toNativeSeparators(path));
}

void TVelCuPrint::close()
{
    for (TClientDataSet *ds : {&cdsMultiSelect, &cdsInps, &cdsInpdap, &cdsInail, &cdsAltriEnti, &cdsCoopArt, &cdsPdfTfr,
                               &cdsAutonomo, &cdsPdfConFamCar, &cdsPdfAnnotazioni, &cdsPdfSost, &cdsPdfAltrisost})
        ds->close();
    m_stampe.closeDataSets();
    m_locked.clear();
    m_notLocked.clear();
    m_printed.clear();
    m_readVersions.clear();
    m_cuRows.reset();
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
    drawText(Layout::kModule.x, Layout::kModule.y, Layout::kModuleSize,
             QStringLiteral("%1").arg(m_module, 2, 10, QLatin1Char('0')), Layout::kModuleWidth);
    imprint();
}

// Along the left edge, reading upwards, inside the margin.
void TVelCuPrint::imprint()
{
    const QString line = VelImprint::cuLine();
    const QString label = QStringLiteral("Scrivi testo: ") + line;
    m_pdf->SetLastOperation(label);
    check(*m_pdf, m_pdf->SetTextSize(Layout::kImprintSize), label);
    check(*m_pdf, m_pdf->DrawRotatedText(Layout::kImprintBaseline, Layout::kImprintBottom, Layout::kImprintAngle, line),
          label);
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
        check(pdf, pdf.SetTextSize(Layout::kDraftNoteSize), label);
        check(pdf, pdf.DrawText(Layout::kDraftNote.x, Layout::kDraftNote.y, note), label);
        check(pdf, pdf.SelectFont(TPdkFont::HelveticaBold), label);
        check(pdf, pdf.SetTextSize(Layout::kDraftBannerSize), label);
        check(pdf, pdf.OvDrawText(0, Layout::kDraftBannerY, note, Layout::kSheetWidth, TPdkAlign::Center), label);
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
        title += kDraftTitle;
    const QString author = !cdsPdfSost.isEmpty() ? text(cdsPdfSost, fld::SSOSDENOM.name).trimmed() : QString();
    check(pdf, VelImprint::setDocumentInfo(pdf, title, author), QStringLiteral("Informazioni del documento"));
}

void TVelCuPrint::fiscalCodeHeader(int x, int y, double width)
{
    drawText(x, y, Layout::kTaxCodeSize, m_codFis, width);
}

void TVelCuPrint::rowLabel(int position, int y)
{
    drawText(Layout::kRowLabelX, y, Layout::kRowLabelSize, QStringLiteral("Rigo: ") + QString::number(position));
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
                namespace F = Layout::FirmaOmessa;
                if (!value.isEmpty() && value != QLatin1String("0"))
                    m_printer->DrawField(value, r.Left(), r.Top() - F::kValueRise, F::kValueSize, edit.Alignment(),
                                         edit.Space());
                m_printer->DrawField(kFirmaOmessa, r.Left(), r.Top() + F::kNoteDrop, F::kNoteSize, edit.Alignment(),
                                     edit.Space());
                continue;
            }
            m_printer->printEdit(edit, f.value());
        }
    }
}

void TVelCuPrint::dependantsBlock(int top, int modelPage)
{
    namespace D = Layout::Dependants;
    using VelDependants::Member;
    static_assert(D::kRows == VelDependants::kFurtherRows, "the printed table and the filed one hold as many rows");
    m_pdf->SetLastOperation(QStringLiteral("Stampa con. fam. carico"));
    auto x = [this](double at, double y, bool on) {
        if (on)
            drawText(at, y, D::kSize, QStringLiteral("X"));
    };
    // "0" and "00" (months) are zero: nothing is printed for them
    auto left = [this](double at, double y, const QString &value) {
        const QString t = value.trimmed();
        if (!t.isEmpty() && t.count(QLatin1Char('0')) != t.size())
            drawText(at, y, D::kSize, t);
    };
    auto share = [this](double y, const QString &value) {
        if (value.isEmpty())
            return;
        // "#,##0.00" unless "0,00"; a text that is not a number ("C") as it stands
        const std::optional<Currency> c = Currency::parse(value);
        const QString shown = c ? TVelFormFieldPrinter::printedText(QStringLiteral("taRightJustify"), QString(),
                                                                    QVariant::fromValue(*c))
                                : value;
        if (!shown.isEmpty())
            drawText(D::kDeductionEnd, y, D::kSize, shown, 0, 1);
    };
    // one line of the table a member and situation, in the order the supply
    // files them; what the table has no room for goes on a further module of
    // the same page, with the payee's tax code
    const QList<Member> members = VelDependants::members(cdsPdfConFamCar);
    const int first = top;
    int further = 0;
    for (const Member &m : members) {
        if (m.place == Member::Place::Spouse) {
            x(D::kRelation, first, m.child);
            left(D::kTaxCode, first, m.taxCode);
            left(D::kMonths, first, m.months);
            continue;
        }
        int y = first + D::kFirstChildBelow;
        if (m.place == Member::Place::Further) {
            if (further > 0 && further % D::kRows == 0)
                continuationPage(QString::number(modelPage), QStringLiteral("Copia pagina familiari a carico"));
            y = first + D::kChildrenBelow + D::kRowStep * (further++ % D::kRows);
            x(D::kOtherFamily, y, m.otherFamily);
            x(D::kNotAscendant, y, m.notAscendant);
        }
        x(D::kRelation, y, m.child);
        x(D::kDisabled, y, m.disabled);
        left(D::kTaxCode, y, m.taxCode);
        left(D::kMonths, y, m.months);
        share(y, m.share);
        x(D::kFullDeduction, y, m.fullDeduction);
        left(D::kMonthsUnder21, y, m.monthsOver21);
    }
}

void TVelCuPrint::previdentialPages(const TXMLCud &cud, const Layout::Previdential &plan)
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
    m_module = 1;
    previdentialPageA(cud, plan);
    previdentialPageB(cud, plan);
}

void TVelCuPrint::continuationPage(const QString &model, const QString &label)
{
    copyPage(model, label);
    ++m_module;
    fiscalCodeHeader();
    moduleAndImprint();
}

// The first copy of a previdential page, with the CU's own fields; the layout
// page that fills it.
TXMLCudPage TVelCuPrint::previdentialPage(const TXMLCud &cud, const QString &model, int layout)
{
    copyPage(model, kPrevidentialLabel);
    moduleAndImprint();
    const TXMLCudPage page = cud.Pag(layout);
    m_printer->printSection(page.Section(Layout::PrevidentialSection::kCuFields), cdsMultiSelect);
    return page;
}

// INPS and the public pension scheme, one row of each a page.
void TVelCuPrint::previdentialPageA(const TXMLCud &cud, const Layout::Previdential &plan)
{
    namespace S = Layout::PrevidentialSection;
    const QString model = QString::number(plan.modelA);
    const TXMLCudPage page = previdentialPage(cud, model, plan.layoutA);
    while (!cdsInps.eof() || !cdsInpdap.eof()) {
        if (!cdsInps.eof()) {
            m_printer->printSection(page.Section(S::kInps), cdsInps);
            for (int top : Layout::kInpsLabels)
                rowLabel(cdsInps.recNo(), top);
            cdsInps.next();
        }
        if (!cdsInpdap.eof()) {
            m_printer->printSection(page.Section(S::kInpdap), cdsInpdap);
            rowLabel(cdsInpdap.recNo(), plan.inpdapLabel);
            cdsInpdap.next();
        }
        if (!cdsInps.eof() || !cdsInpdap.eof())
            continuationPage(model, kPrevidentialLabel);
    }
}

// Other bodies, INAIL, co-operatives (and the TFR when the plan says so), one
// row of each a page.
void TVelCuPrint::previdentialPageB(const TXMLCud &cud, const Layout::Previdential &plan)
{
    namespace S = Layout::PrevidentialSection;
    const QString model = QString::number(plan.modelB);
    const TXMLCudPage page = previdentialPage(cud, model, plan.layoutB);
    struct Row { TClientDataSet *ds; int section; int top; };
    QList<Row> bands{Row{&cdsAltriEnti, S::kAltriEnti, Layout::kAltriEntiLabel},
                     Row{&cdsInail, S::kInail, Layout::kInailLabel}};
    if (plan.tfr)
        bands << Row{&cdsPdfTfr, S::kTfr, Layout::kTfrLabel};
    bands << Row{&cdsCoopArt, S::kCoopArt, Layout::kCoopArtLabel};
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
            m_printer->printSection(page.Section(r.section), *r.ds);
            rowLabel(r.ds->recNo(), r.top);
            r.ds->next();
        }
        if (remain())
            continuationPage(model, kPrevidentialLabel);
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
    QStringList lines = wrapAnnotations(text(cdsMultiSelect, fld::SCUDANNOTAZIONI.name));
    // blank lines at the end would only make an empty page
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    namespace L = Layout::Sintetico;
    qsizetype next = 0;
    bool first = true;
    do {
        copyPage(QString::number(L::kAnnotations), first ? QStringLiteral("Creazione pagina firma")
                                            : QStringLiteral("Copia pagina annotazioni"));
        if (!first)
            ++m_module;
        moduleAndImprint();
        fiscalCodeHeader();
        int top = L::kAnnotationTop;
        // an empty line under the heading, unless the text begins with one
        if (next < lines.size() && !lines.at(next).trimmed().isEmpty())
            top += L::kAnnotationStep;
        while (next < lines.size() && top + L::kAnnotationStep < L::kAnnotationBottom) {
            top += L::kAnnotationStep;
            const QString &line = lines.at(next++);
            if (!line.trimmed().isEmpty())
                drawText(kAnnotationLeft, top, int(kAnnotationSize), line);
        }
        first = false;
    } while (next < lines.size());
}

void TVelCuPrint::selfEmployedPage(const TXMLCud &cud, const Layout::SelfEmployed &plan)
{
    filterToCu(cdsAutonomo);
    if (cdsAutonomo.isEmpty())
        return;
    m_module = 1;
    const QString model = QString::number(plan.model);
    copyPage(model, QStringLiteral("Copia I pagina"));
    moduleAndImprint();
    const TXMLCudPage page = cud.Pag(plan.layout);
    m_printer->printSection(page.Section(Layout::kSelfEmployedCu), cdsMultiSelect);
    while (!cdsAutonomo.eof()) {
        m_printer->printSection(page.Section(Layout::kSelfEmployedRow), cdsAutonomo);
        rowLabel(cdsAutonomo.recNo(), Layout::kSelfEmployedLabel);
        cdsAutonomo.next();
        if (!cdsAutonomo.eof()) {
            copyPage(model, QStringLiteral("Copia pagina dati autonomo"));
            ++m_module;
            fiscalCodeHeader();
            moduleAndImprint();
        }
    }
}

// The TFR rows go alternately on the two pages of a copy of the model's TFR
// pair; a new pair, one module further, while rows remain.
void TVelCuPrint::tfrPairs(const TXMLCud &cud)
{
    filterToCu(cdsPdfTfr);
    if (cdsPdfTfr.isEmpty())
        return;
    const QString label = QStringLiteral("Copia pagine TFR");
    namespace L = Layout::Ordinario;
    const TXMLCudSection sections[2] = {cud.Pag(L::kTfrLayout[0]).Section(0), cud.Pag(L::kTfrLayout[1]).Section(0)};
    m_module = 1;
    while (!cdsPdfTfr.eof()) {
        copyPage(QString::fromLatin1(L::kTfrPair), label);
        const int last = m_pdf->PageCount();
        for (int k = 0; k < 2; ++k) {
            check(*m_pdf, m_pdf->SelectPage(last - 1 + k), label);
            fiscalCodeHeader();
            moduleAndImprint();
            if (cdsPdfTfr.eof())
                continue;
            m_printer->printSection(sections[k], cdsPdfTfr);
            rowLabel(cdsPdfTfr.recNo(), L::kTfrLabel);
            cdsPdfTfr.next();
        }
        if (!cdsPdfTfr.eof())
            ++m_module;
    }
}

void TVelCuPrint::warn(const QString &reason)
{
    const QString message = QStringLiteral("Controllare le annotazioni nel Modello CU: ") + reason;
    m_warnings.append({TVelWarningCode::AnnotazioniDaControllare, message});
    if (warning)
        warning(message);
    else if (log)
        log(message);
}

void TVelCuPrint::fivePerThousandPages(const TXMLCud &cud, TClientDataSet &agent)
{
    namespace L = Layout::Sintetico;
    blankPageIfOdd();
    const QString label = QStringLiteral("Creazione pagina CINQUE PER MILLE");
    copyPage(QString::fromLatin1(L::kFivePerThousand), label);
    check(*m_pdf, m_pdf->SelectPage(m_pdf->PageCount() - 1), label);
    m_printer->setDateGaps(L::kFivePerThousandDayGap, L::kFivePerThousandMonthGap);
    const TXMLCudPage choice = cud.Pag(L::kFivePerThousandLayout);
    for (int s = 0; s < choice.Count(); ++s) {
        const TXMLCudSection section = choice.Section(s);
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
    m_printer->resetDateGaps();
    imprint();
    check(*m_pdf, m_pdf->SelectPage(m_pdf->PageCount()), label);
    fiscalCodeHeader(L::kFivePerThousandTaxCode.x, L::kFivePerThousandTaxCode.y, L::kFivePerThousandTaxCodeWidth);
    imprint();
    blankPageIfOdd();
}

