// The blocks of a CU's pages: the dependants' table, the previdential pages,
// the annotations, the self-employed pages, the TFR pairs, the annotation
// codes and the "CINQUE PER MILLE" pair, each continued on further copies of
// its model page while rows remain.
#include "src/prj/unit/print/VelCuPages.h"
#include "src/prj/unit/print/VelCuPrintAnnotations.h"
#include "src/prj/unit/print/VelCuPrintData.h"

#include "platform/core/Currency.h"
#include "platform/pdf/PdkFontMetrics.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/model/VelDependants.h"
#include "src/prj/unit/print/VelCuModelLayout.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "velcu/VelFields.h"

#include <optional>

using namespace VelCuPrintData;
namespace Layout = VelCuModelLayout;

namespace {

const QString kPrevidentialLabel = QStringLiteral("Copia pagina dati previdenziali");
constexpr double kAnnotationLeft = Layout::Sintetico::kAnnotationLeft;   // mm
constexpr double kAnnotationRight = Layout::Sintetico::kAnnotationRight; // mm
constexpr double kAnnotationSize = Layout::Sintetico::kAnnotationSize;   // points

} // namespace

void TVelCuPages::dependantsBlock(int top, int modelPage)
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

void TVelCuPages::previdentialPages(const TXMLCud &cud, const Layout::Previdential &plan)
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

void TVelCuPages::continuationPage(const QString &model, const QString &label)
{
    copyPage(model, label);
    ++m_module;
    fiscalCodeHeader();
    moduleAndImprint();
}

// The first copy of a previdential page, with the CU's own fields; the layout
// page that fills it.
TXMLCudPage TVelCuPages::previdentialPage(const TXMLCud &cud, const QString &model, int layout)
{
    copyPage(model, kPrevidentialLabel);
    moduleAndImprint();
    const TXMLCudPage page = cud.Pag(layout);
    m_printer->printSection(page.Section(Layout::PrevidentialSection::kCuFields), cdsMultiSelect);
    return page;
}

// INPS and the public pension scheme, one row of each a page.
void TVelCuPages::previdentialPageA(const TXMLCud &cud, const Layout::Previdential &plan)
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
void TVelCuPages::previdentialPageB(const TXMLCud &cud, const Layout::Previdential &plan)
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

QStringList TVelCuPages::wrapAnnotations(const QString &value)
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
void TVelCuPages::annotationsPage()
{
    QStringList lines = wrapAnnotations(text(cdsMultiSelect, fld::SCUDANNOTAZIONI));
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

void TVelCuPages::selfEmployedPage(const TXMLCud &cud, const Layout::SelfEmployed &plan)
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
void TVelCuPages::tfrPairs(const TXMLCud &cud)
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

// One copy of the model's page of annotation codes for each row of codes of
// the person.
void TVelCuPages::annotationCodePages(const TXMLCud &cud)
{
    if (m_person == 0)
        return;
    TClientDataSet &ann = cdsPdfAnnotazioni;
    const QList<TBookmark> rows = m_annotations.rowsWithCodes(m_person);
    if (rows.isEmpty())
        return;
    namespace L = Layout::Ordinario;
    m_module = 1;
    const TXMLCudSection section = cud.Pag(L::kAnnotationCodesLayout).Section(0);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        copyPage(QString::number(L::kAnnotationCodes), QStringLiteral("Copia pagina annotazioni"));
        if (i > 0)
            ++m_module;
        moduleAndImprint();
        ann.gotoBookmark(rows.at(i));
        m_printer->printSection(section, ann);
        rowLabel(int(i) + 1, L::kAnnotationCodesLabel);
    }
}

void TVelCuPages::fivePerThousandPages(const TXMLCud &cud, TClientDataSet &agent)
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
