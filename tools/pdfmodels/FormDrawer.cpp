#include "FormDrawer.h"

#include "platform/core/OvExceptions.h"
#include "tor/util/TorCampagna.h"
#include "velcu/VelFields.h"

#include <QHash>

#include <QDomDocument>
#include <QRegularExpression>

#include <cmath>

// ---- layouts ----

SectionRec &CudLayoutRec::section(int page, int index, const QString &name)
{
    std::deque<SectionRec> &list = pag[page];
    while (int(list.size()) <= index)
        list.push_back(SectionRec{QStringLiteral("Sezione%1").arg(list.size() + 1), {}});
    if (!name.isEmpty())
        list[index].name = name;
    return list[index];
}

SectionRec &CudLayoutRec::sosSection(const QString &name)
{
    if (sos.empty())
        sos.push_back(SectionRec{name, {}});
    return sos.front();
}

static void writeSection(QDomDocument &doc, QDomElement &parent, const SectionRec &s)
{
    QDomElement sec = doc.createElement(QStringLiteral("Section"));
    sec.setAttribute(QStringLiteral("Name"), s.name);
    for (const EditRec &e : s.edits) {
        QDomElement edit = doc.createElement(QStringLiteral("Edit"));
        edit.setAttribute(QStringLiteral("Name"), e.name);
        edit.setAttribute(QStringLiteral("Alignment"), e.alignment);
        edit.setAttribute(QStringLiteral("Space"), e.space);
        edit.setAttribute(QStringLiteral("Type"), e.type);
        QDomElement rect = doc.createElement(QStringLiteral("PrintRect"));
        rect.setAttribute(QStringLiteral("Top"), e.top);
        rect.setAttribute(QStringLiteral("Left"), e.left);
        rect.setAttribute(QStringLiteral("Height"), e.height);
        rect.setAttribute(QStringLiteral("Format"), e.format);
        edit.appendChild(rect);
        sec.appendChild(edit);
    }
    parent.appendChild(sec);
}

void CudLayoutRec::write(QDomDocument &doc) const
{
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = doc.createElement(QStringLiteral("Cud"));
    doc.appendChild(root);
    QDomElement sosEl = doc.createElement(QStringLiteral("Sos"));
    for (const SectionRec &s : sos)
        writeSection(doc, sosEl, s);
    root.appendChild(sosEl);
    for (int p = 1; p <= 12; ++p) {
        QDomElement pe = doc.createElement(QStringLiteral("Pag%1").arg(p));
        const auto it = pag.find(p);
        if (it != pag.end()) {
            for (const SectionRec &s : it->second)
                writeSection(doc, pe, s);
        }
        root.appendChild(pe);
    }
}

// ---- record model access ----

const VelStructureDesc &structureOf(const QString &name)
{
    return VelRecordModel::instance().structure(name);
}

QList<const VelFieldDesc *> pageFields(const QString &structure, const QString &page)
{
    QList<const VelFieldDesc *> out;
    for (const VelFieldDesc &f : structureOf(structure).fields) {
        if (f.page == page)
            out.append(&f);
    }
    if (out.isEmpty())
        throw EOvError(QStringLiteral("%1: la pagina \"%2\" non ha campi").arg(structure, page));
    return out;
}

QList<const VelFieldDesc *> namedFields(const QString &structure, const QStringList &names)
{
    QList<const VelFieldDesc *> out;
    const VelStructureDesc &s = structureOf(structure);
    for (const QString &n : names) {
        const VelFieldDesc *f = s.field(n);
        if (!f)
            throw EOvError(QStringLiteral("%1: campo sconosciuto %2").arg(structure, n));
        out.append(f);
    }
    return out;
}

QList<const VelFieldDesc *> boxRange(const QString &structure, const QString &page, int from, int to)
{
    QList<const VelFieldDesc *> out;
    for (const VelFieldDesc *f : pageFields(structure, page)) {
        bool ok = false;
        const int b = f->box.toInt(&ok);
        if (ok && b >= from && b <= to)
            out.append(f);
    }
    return out;
}

// ---- drawing ----

FormDrawer::FormDrawer(TPdkPdf &pdf) : m_pdf(pdf) {}

void FormDrawer::newDocument(int pages)
{
    m_pdf.Check(m_pdf.NewDocument(), QStringLiteral("Nuovo documento"));
    m_pdf.Check(m_pdf.SetOrigin(1));
    m_pdf.Check(m_pdf.SetMeasurementUnits(1));
    for (int i = 1; i < pages; ++i)
        m_pdf.Check(m_pdf.NewPage(), QStringLiteral("Nuova pagina"));
    page(1);
}

void FormDrawer::page(int n)
{
    m_pdf.Check(m_pdf.SelectPage(n), QStringLiteral("Pagina %1").arg(n));
}

void FormDrawer::text(double x, double y, double size, const QString &s, bool bold, double gray)
{
    m_pdf.SelectFont(bold ? TPdkFont::HelveticaBold : TPdkFont::Helvetica);
    m_pdf.SetTextSize(size);
    m_pdf.SetTextColor(gray, gray, gray);
    m_pdf.Check(m_pdf.DrawText(x, y, s), s);
    m_pdf.SetTextColor(0, 0, 0);
    m_pdf.SelectFont(TPdkFont::Helvetica);
}

void FormDrawer::textCentered(double x, double width, double y, double size, const QString &s, bool bold)
{
    m_pdf.SelectFont(bold ? TPdkFont::HelveticaBold : TPdkFont::Helvetica);
    m_pdf.SetTextSize(size);
    const double w = m_pdf.GetTextWidth(s);
    text(x + (width - w) / 2, y, size, s, bold);
}

void FormDrawer::textRight(double right, double y, double size, const QString &s, bool bold)
{
    m_pdf.SelectFont(bold ? TPdkFont::HelveticaBold : TPdkFont::Helvetica);
    m_pdf.SetTextSize(size);
    text(right - m_pdf.GetTextWidth(s), y, size, s, bold);
}

double FormDrawer::paragraph(double x, double y, double width, double size, const QString &s, double leading,
                             bool bold)
{
    if (leading <= 0)
        leading = size * 0.3528 * 1.35;
    m_pdf.SelectFont(bold ? TPdkFont::HelveticaBold : TPdkFont::Helvetica);
    m_pdf.SetTextSize(size);
    const QStringList words = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString lineText;
    for (const QString &w : words) {
        const QString candidate = lineText.isEmpty() ? w : lineText + QLatin1Char(' ') + w;
        m_pdf.SelectFont(bold ? TPdkFont::HelveticaBold : TPdkFont::Helvetica);
        m_pdf.SetTextSize(size);
        if (!lineText.isEmpty() && m_pdf.GetTextWidth(candidate) > width) {
            text(x, y, size, lineText, bold);
            y += leading;
            lineText = w;
        } else {
            lineText = candidate;
        }
    }
    if (!lineText.isEmpty()) {
        text(x, y, size, lineText, bold);
        y += leading;
    }
    return y;
}

void FormDrawer::rect(double x, double y, double w, double h, double lineWidth, double gray)
{
    m_pdf.SetLineWidth(lineWidth);
    m_pdf.SetLineColor(gray, gray, gray);
    m_pdf.Check(m_pdf.DrawBox(x, y, w, h, 0), QStringLiteral("Riquadro"));
}

void FormDrawer::fill(double x, double y, double w, double h, double r, double g, double b)
{
    m_pdf.SetFillColor(r, g, b);
    m_pdf.Check(m_pdf.DrawBox(x, y, w, h, 1), QStringLiteral("Riquadro"));
    m_pdf.SetFillColor(0, 0, 0);
}

void FormDrawer::line(double x1, double y1, double x2, double y2, double lineWidth, double gray)
{
    m_pdf.SetLineWidth(lineWidth);
    m_pdf.SetLineColor(gray, gray, gray);
    m_pdf.Check(m_pdf.DrawLine(x1, y1, x2, y2), QStringLiteral("Linea"));
}

void FormDrawer::bar(double x, double y, double w, const QString &title)
{
    fill(x, y, w, 4, 0.80, 0.86, 0.92);
    text(x + 1.2, y + 3, 6.5, fitted(title, w - 2.4, 6.5, true), true);
}

QString FormDrawer::fitted(const QString &s, double width, double size, bool bold) const
{
    m_pdf.SelectFont(bold ? TPdkFont::HelveticaBold : TPdkFont::Helvetica);
    m_pdf.SetTextSize(size);
    if (m_pdf.GetTextWidth(s) <= width)
        return s;
    QString t = s;
    while (!t.isEmpty() && m_pdf.GetTextWidth(t + QStringLiteral("…")) > width)
        t.chop(1);
    return t.trimmed() + QStringLiteral("…");
}

// Heights in millimetres of Helvetica at `size` points: above and below the baseline.
static double ascentMm(double size) { return 0.718 * size * 25.4 / 72.0; }
static double descentMm(double size) { return 0.207 * size * 25.4 / 72.0; }

int FormDrawer::labelLines(double h, double rise)
{
    // The last line ends (descent and a small gap) above the top of the value.
    const double valueTop = h - rise - ascentMm(8);
    const double room = valueTop - 0.3 - descentMm(kLabelSize) - kLabelFirst;
    return room < 0 ? 0 : int(room / kLabelLeading) + 1;
}

bool FormDrawer::wrapLabel(const QString &box, const QString &label, double w, int maxLines, QStringList *lines,
                           bool bold) const
{
    double numberWidth = 0;
    if (!box.isEmpty()) {
        m_pdf.SelectFont(TPdkFont::HelveticaBold);
        m_pdf.SetTextSize(kLabelSize);
        numberWidth = m_pdf.GetTextWidth(box) + 0.8;
    }
    m_pdf.SelectFont(bold ? TPdkFont::HelveticaBold : TPdkFont::Helvetica);
    m_pdf.SetTextSize(kLabelSize);
    const QStringList words = label.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList out{QString()};
    bool overflow = false;
    for (const QString &word : words) {
        const double avail = (out.size() == 1 ? w - 1.4 - numberWidth : w - 1.4);
        const QString candidate = out.last().isEmpty() ? word : out.last() + QLatin1Char(' ') + word;
        if (m_pdf.GetTextWidth(candidate) <= avail) {
            out.last() = candidate;
            continue;
        }
        if (!out.last().isEmpty() || (out.size() == 1 && numberWidth > 0)) {
            out.append(QString()); // next line
            if (m_pdf.GetTextWidth(word) <= w - 1.4) {
                out.last() = word;
                continue;
            }
        }
        out.last() = out.last().isEmpty() ? word : out.last() + QLatin1Char(' ') + word;
        overflow = true; // a word wider than the box
    }
    if (lines)
        *lines = out;
    return !overflow && out.size() <= maxLines;
}

// The label of a box: number in bold, then the text over at most maxLines
// lines; a text that does not fit has its last line cut.
void FormDrawer::cellLabel(double x, double y, double w, const QString &box, const QString &label, int maxLines)
{
    double left = x + 0.7;
    if (!box.isEmpty()) {
        text(left, y + kLabelFirst, kLabelSize, box, true);
        m_pdf.SelectFont(TPdkFont::HelveticaBold);
        m_pdf.SetTextSize(kLabelSize);
        left += m_pdf.GetTextWidth(box) + 0.8;
    }
    if (label.isEmpty() || maxLines < 1)
        return;
    QStringList lines;
    if (!wrapLabel(box, label, w, maxLines, &lines)) {
        const QStringList all = label.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QStringList kept = lines.mid(0, maxLines);
        int used = 0;
        for (int i = 0; i + 1 < kept.size(); ++i)
            used += int(kept[i].split(QLatin1Char(' '), Qt::SkipEmptyParts).size());
        kept.last() = QStringList(all.mid(used)).join(QLatin1Char(' '));
        const double avail = kept.size() == 1 ? x + w - 0.7 - left : w - 1.4;
        kept.last() = fitted(kept.last(), avail, kLabelSize, false);
        lines = kept;
    }
    for (int i = 0; i < lines.size(); ++i) {
        if (!lines[i].isEmpty())
            text(i == 0 ? left : x + 0.7, y + kLabelFirst + i * kLabelLeading, kLabelSize, lines[i], false, 0.15);
    }
}

void FormDrawer::labelBox(double x, double y, double w, double h, const QString &label, const QString &box)
{
    rect(x, y, w, h);
    const int lines = std::max(1, int((h - 0.4 - descentMm(kLabelSize) - kLabelFirst) / kLabelLeading) + 1);
    cellLabel(x, y, w, box, label, lines);
}

void FormDrawer::headerBox(double x, double y, double w, double h, const QString &label, bool bold)
{
    rect(x, y, w, h);
    const int maxLines = std::max(1, int((h - 0.3 - descentMm(kLabelSize) - kLabelFirst) / kLabelLeading) + 1);
    QStringList lines;
    if (!wrapLabel(QString(), label, w, maxLines, &lines, bold)) {
        lines = lines.mid(0, maxLines);
        lines.last() = fitted(lines.last(), w - 1.4, kLabelSize, bold);
    }
    for (int i = 0; i < lines.size(); ++i)
        text(x + 0.7, y + kLabelFirst + i * kLabelLeading, kLabelSize, lines[i], bold, bold ? 0.0 : 0.15);
}

void FormDrawer::cuHeader(const QString &title, bool withModule)
{
    text(8, 9.5, 7, QStringLiteral("CERTIFICAZIONE"), true);
    text(8, 12.8, 7, QStringLiteral("UNICA %1").arg(Campagna::AnnoInvio), true);
    labelBox(44, 6.5, 52, 7.5, QStringLiteral("Codice fiscale"));
    double size = 8.5;
    m_pdf.SelectFont(TPdkFont::HelveticaBold);
    for (;; size -= 0.25) {
        m_pdf.SetTextSize(size);
        if (size <= 5 || m_pdf.GetTextWidth(title) <= 88)
            break;
    }
    textCentered(98, 88, 12, size, title, true);
    if (withModule)
        labelBox(188, 6.5, 14, 7.5, QStringLiteral("Mod. N."));
    line(8, 15.5, 202, 15.5, 0.3, 0.2);
}

// Boxes the editor shows without a caption of their own (under a heading, or
// beside the box they pair with): their wording on the model.
static const QHash<QString, QString> &paperLabels()
{
    static const QHash<QString, QString> m = {
        {fld::LCUDANNULLAMENTO.qs(), QStringLiteral("Annullamento")},
        {fld::FCUDTITRATTREC.qs(), QStringLiteral("Trattamento recuperato entro le operazioni di conguaglio")},
        {fld::FCUDTITRATTNREC.qs(), QStringLiteral("Trattamento non recuperato")},
        {fld::FCUDTRSOPECONG.qs(), QStringLiteral("Trattamento recuperato successivamente alle operazioni di conguaglio")},
        {fld::fCudContrEsclusi.qsUpper(), QStringLiteral("Contributi esclusi dai redditi di cui ai punti 1, 2, 3, 4, 5 e 13")},
        {fld::fCudContrNoEsclusi.qsUpper(), QStringLiteral("Contributi non esclusi dai redditi di cui ai punti 1, 2, 3, 4, 5 e 13")},
        {fld::FCUDONDEDENTCASSDED.qs(), QStringLiteral("Contributi a enti e casse con fine assistenziale esclusi dai redditi")},
        {fld::FCUDONDEDENTCASSNDED.qs(), QStringLiteral("Contributi a enti e casse con fine assistenziale non esclusi dai redditi")},
        {fld::FCUDIRPEFDATRATT28F.qs(), QStringLiteral("Irpef da trattenere dal sostituto")},
        {fld::FCUDIRPEFTRATT28F.qs(), QStringLiteral("Irpef trattenuta dal sostituto")},
        {fld::FCUDSOMMERESTNETT.qs(), QStringLiteral("Somme restituite al netto della ritenuta subita")},
        {fld::fCudImposteEstero.qsUpper(), QStringLiteral("Credito d'imposta per le imposte pagate all'estero")},
        {fld::FCUDSEPRBENECFPC1.qs(), QStringLiteral("Contributi alle forme pensionistiche complementari")},
        {fld::FCUDSEPRBENECAS1.qs(), QStringLiteral("Contributi di assistenza sanitaria")},
        {fld::FCUDRPNCCONTR.qs(), QStringLiteral("Premi di risultato non soggetti a contribuzione")},
        {fld::FCUDSEPRBENECFPC2.qs(), QStringLiteral("Contributi alle forme pensionistiche complementari")},
        {fld::FCUDSEPRBENECAS2.qs(), QStringLiteral("Contributi di assistenza sanitaria")},
        {fld::FCUDRPNCCONTR2.qs(), QStringLiteral("Premi di risultato non soggetti a contribuzione")},
        {fld::FCUDSEPRSAISATO.qs(), QStringLiteral("Somme assoggettate a imposta sostitutiva da assoggettare a tassazione ordinaria")},
        {fld::FCUDSEPRSATOAIS.qs(), QStringLiteral("Somme assoggettate a tassazione ordinaria da assoggettare a imposta sostitutiva")},
        {fld::FCUDMASSIS.qs(), QStringLiteral("Mance assoggettate a imposta sostitutiva da assoggettare a tassazione ordinaria")},
        {fld::FCUDMASSIO.qs(), QStringLiteral("Mance assoggettate a tassazione ordinaria da assoggettare a imposta sostitutiva")},
        {fld::FCUDSNCFRSRSOPECONG.qs(), QStringLiteral("Somma recuperata successivamente alle operazioni di conguaglio")},
        {fld::FCUDRLSCTIRLLSP23.qs(), QStringLiteral("Reddito lordo lavoro sportivo professionistico under 23")},
        {fld::FCUDRLSCTDRLLSP23.qs(), QStringLiteral("Reddito lordo lavoro sportivo professionistico under 23")},
        {fld::FCUDRENCMPCICCACI.qs(), QStringLiteral("Compensi corrisposti agli addetti alle corse ippiche")},
        {fld::SCUDGESASS_1.qs(), QStringLiteral("Pens.")},
        {fld::FDSE7SOMMENORIT.qs(), QStringLiteral("Somme non soggette a ritenuta per regime convenzionale")},
        {fld::FASESOMMEERO2.qs(), QStringLiteral("Somme erogate")},
        {fld::FASERITOPE2.qs(), QStringLiteral("Ritenute operate")},
        {fld::FASESOMERONOTAX2.qs(), QStringLiteral("Somme erogate non tassate")},
    };
    return m;
}

QString FormDrawer::labelText(const VelFieldDesc &f)
{
    const QString own = paperLabels().value(f.name.toUpper());
    if (!own.isEmpty())
        return own;
    QString l = f.caption().simplified();
    // slips of the editor's captions that a payee would read on paper
    static const QList<QPair<QString, QString>> slips{
        {QStringLiteral("sotitutiva"), QStringLiteral("sostitutiva")},
        {QStringLiteral("precendete"), QStringLiteral("precedente")},
        {QStringLiteral("frusicono"), QStringLiteral("fruiscono")},
        {QStringLiteral("Tot.compensi"), QStringLiteral("Totale compensi")},
        {QStringLiteral("afli addetti"), QStringLiteral("agli addetti")},
        {QStringLiteral("nell' anno"), QStringLiteral("nell'anno")},
        {QStringLiteral("ulltima"), QStringLiteral("ultima")},
    };
    for (const auto &[wrong, right] : slips)
        l.replace(wrong, right);
    return l;
}

int FormDrawer::subWidth(const VelFieldDesc &f, bool inGroup)
{
    switch (f.kind) {
    case VelFieldKind::Amount: return 24;
    case VelFieldKind::Date: return 24;
    case VelFieldKind::Integer: return inGroup ? 10 : 14;
    case VelFieldKind::FlagX:
    case VelFieldKind::Flag1: return inGroup ? 7 : 12;
    default: break;
    }
    const int size = f.size;
    if (size <= 2) return inGroup ? 8 : 11;
    if (size <= 4) return 13;
    if (size <= 6) return 16;
    if (size <= 12) return 22;
    if (size <= 17) return 32;
    if (size <= 20) return 36;
    // long names and addresses: room for the whole value (about 1.6 mm a
    // character at size 8), up to a full row
    return std::min(194, std::max(60, int(std::ceil(size * 1.6)) + 2));
}

int FormDrawer::labelWidth(const VelFieldDesc &f, const QString &box, int base, int maxLines) const
{
    const QString label = labelText(f);
    for (int w = base; w <= 120; ++w) {
        if (wrapLabel(box, label, w, maxLines, nullptr))
            return w;
    }
    return base;
}

int FormDrawer::naturalWidth(const CellSpec &spec) const
{
    int w = 0;
    for (int i = 0; i < spec.fields.size(); ++i) {
        const VelFieldDesc &f = *spec.fields[i];
        const int base = subWidth(f, spec.group);
        w += labelWidth(f, i == 0 ? spec.box : QString(), base, 3);
    }
    return w;
}

QList<int> FormDrawer::subWidths(const CellSpec &spec, int w) const
{
    // Sub-boxes share the slack; the first carries the box number.
    QList<int> natural;
    int total = 0;
    for (int i = 0; i < spec.fields.size(); ++i) {
        const VelFieldDesc &f = *spec.fields[i];
        natural.append(labelWidth(f, i == 0 ? spec.box : QString(), subWidth(f, true), 3));
        total += natural.last();
    }
    int extra = w - total;
    QList<int> out;
    for (int i = 0; i < natural.size(); ++i) {
        const int share = extra / int(natural.size() - i);
        out.append(natural[i] + share);
        extra -= share;
    }
    return out;
}

// The box a field is printed under. The record model files the first
// instalment of the working relationship's indemnity (FRL7RATE1) under the
// title's box, 825; it is box 826 of the CU, between the title and the second
// instalment (827), and the supply writes it as 826: the print says the same.
static QString boxOf(const VelFieldDesc &f)
{
    return f.name == fld::FRL7RATE1.l1() && f.box == QLatin1String("825") ? QStringLiteral("826") : f.box;
}

QList<CellSpec> FormDrawer::cellsOf(const QList<const VelFieldDesc *> &fields, bool numbered)
{
    QList<CellSpec> out;
    for (const VelFieldDesc *f : fields) {
        if (numbered && !f->box.isEmpty() && !out.isEmpty() && out.last().box == boxOf(*f)) {
            out.last().fields.append(f);
            out.last().group = true;
            continue;
        }
        CellSpec c;
        c.fields.append(f);
        c.box = numbered ? boxOf(*f) : QString();
        out.append(c);
    }
    return out;
}

void FormDrawer::record(SectionRec &section, const QString &name, int left, int top, int height,
                        const QString &alignment, const QString &space, const QString &type)
{
    EditRec e;
    e.name = name;
    e.alignment = alignment;
    e.space = space;
    e.type = type;
    e.left = left;
    e.top = top;
    e.height = height;
    section.edits.append(e);
}

// One box of one field: outline, label, date ticks, and the value's place.
void FormDrawer::subCell(const VelFieldDesc &f, const QString &box, int x, int y, int w, int h, int rise,
                         SectionRec &section, ValueStyle style)
{
    rect(x, y, w, h);
    cellLabel(x, y, w, box, labelText(f), labelLines(h, rise));
    const int base = y + h - rise; // value baseline
    EditRec e;
    e.name = f.name;
    e.top = base;
    e.height = 8;
    e.left = x + 1;
    e.space = QString::number(w - 2);
    if (style == ValueStyle::AgentText) {
        // The agent block is written left-aligned with box width 0.
        e.alignment = QStringLiteral("taLeftJustify");
        e.space = QStringLiteral("0");
        section.edits.append(e);
        return;
    }
    switch (f.kind) {
    case VelFieldKind::Amount:
        e.alignment = QStringLiteral("taRightJustify");
        break;
    case VelFieldKind::Date: {
        // Day, gap, month, gap, year as the date is printed; ticks mark the parts.
        m_pdf.SelectFont(TPdkFont::Helvetica);
        m_pdf.SetTextSize(8);
        const QString gap1(m_gap1, QLatin1Char(' '));
        const QString gap2(m_gap2, QLatin1Char(' '));
        const double total = m_pdf.GetTextWidth(QStringLiteral("00") + gap1 + QStringLiteral("00") + gap2 + QStringLiteral("0000"));
        const double start = style == ValueStyle::AgentPrint ? x + w / 2.0 - total / 2.0 : x + 1.0;
        const double dayEnd = start + m_pdf.GetTextWidth(QStringLiteral("00"));
        const double monthStart = start + m_pdf.GetTextWidth(QStringLiteral("00") + gap1);
        const double monthEnd = monthStart + m_pdf.GetTextWidth(QStringLiteral("00"));
        const double yearStart = start + m_pdf.GetTextWidth(QStringLiteral("00") + gap1 + QStringLiteral("00") + gap2);
        // (below the label's lines, like the value)
        line((dayEnd + monthStart) / 2, base - 2.4, (dayEnd + monthStart) / 2, base + 0.8);
        line((monthEnd + yearStart) / 2, base - 2.4, (monthEnd + yearStart) / 2, base + 0.8);
        e.alignment = QStringLiteral("taData");
        if (style == ValueStyle::AgentPrint)
            e.left = int(std::lround(x + w / 2.0)); // the agent prints centre their dates on x
        e.space = QStringLiteral("0");
        break;
    }
    case VelFieldKind::FlagX:
        e.alignment = QStringLiteral("taCenter");
        if (style == ValueStyle::AgentPrint)
            e.type = QStringLiteral("CB");
        break;
    case VelFieldKind::Flag1:
        if (style == ValueStyle::AgentPrint) {
            e.alignment = QStringLiteral("taCenter");
            e.type = QStringLiteral("CB");
        } else {
            // "X" left-aligned: start it where a centred one would.
            e.alignment = QStringLiteral("tacheckbox");
            e.left = x + w / 2 - 1;
            e.space = QStringLiteral("0");
        }
        break;
    default:
        e.alignment = QStringLiteral("taLeftJustify");
        break;
    }
    section.edits.append(e);
}

void FormDrawer::cell(const CellSpec &spec, int x, int y, int w, int h, SectionRec &section, ValueStyle style,
                      int rise)
{
    if (!spec.group) {
        subCell(*spec.fields.first(), spec.box, x, y, w, h, rise, section, style);
        return;
    }
    const QList<int> widths = subWidths(spec, w);
    int cx = x;
    for (int i = 0; i < spec.fields.size(); ++i) {
        subCell(*spec.fields[i], i == 0 ? spec.box : QString(), cx, y, widths[i], h, rise, section, style);
        cx += widths[i];
    }
}

int FormDrawer::rowHeightOf(const QList<CellSpec> &row, const QList<int> &widths, int rowHeight) const
{
    // Rows with a label of three lines are a millimetre taller; compact rows
    // whose labels all take one line a millimetre lower.
    int lines = 1;
    bool headed = false;
    for (int k = 0; k < row.size(); ++k) {
        const CellSpec &c = row[k];
        headed = headed || !c.heading.isEmpty();
        const QList<int> sub = c.group ? subWidths(c, widths[k]) : QList<int>{widths[k]};
        for (int i = 0; i < c.fields.size(); ++i) {
            QStringList wrapped;
            const QString box = i == 0 ? c.box : QString();
            const QString label = labelText(*c.fields[i]);
            wrapLabel(box, label, sub[i], 3, &wrapped);
            lines = std::max(lines, int(wrapped.size()));
        }
    }
    const int h = m_compactRows && lines <= labelLines(rowHeight - 1, 2) ? rowHeight - 1
                  : lines <= labelLines(rowHeight, 2)                    ? rowHeight
                                                                         : rowHeight + kTallRowExtra;
    return h + (headed ? kHeadingStrip : 0);
}

void FormDrawer::drawRow(const QList<CellSpec> &row, const QList<int> &widths, int x, int y, int h, int rowHeight,
                         SectionRec &section, ValueStyle style)
{
    bool headed = false;
    for (const CellSpec &c : row)
        headed = headed || !c.heading.isEmpty();
    const int strip = headed ? kHeadingStrip : 0;
    // A taller row keeps its value 1 mm above the bottom edge, leaving a third line to the labels.
    const int rise = h - strip > rowHeight ? 1 : 2;
    Q_ASSERT(labelLines(h - strip, rise) >= 1);
    int cx = x;
    for (int i = 0; i < row.size(); ++i) {
        const QString &heading = row[i].heading;
        if (heading.isEmpty()) {
            cell(row[i], cx, y, widths[i], h, section, style, rise);
        } else {
            // The heading spans the run of boxes that share it.
            if (i == 0 || row[i - 1].heading != heading) {
                int span = 0;
                for (int k = i; k < row.size() && row[k].heading == heading; ++k)
                    span += widths[k];
                fill(cx, y, span, strip, 0.93, 0.95, 0.97);
                rect(cx, y, span, strip);
                text(cx + 0.7, y + strip - 0.75, kLabelSize, fitted(heading, span - 1.4, kLabelSize, true), true);
            }
            cell(row[i], cx, y + strip, widths[i], h - strip, section, style, rise);
        }
        cx += widths[i];
    }
}

int FormDrawer::flow(const QString &title, const QList<CellSpec> &cells, Region &region, SectionRec &section,
                     ValueStyle style, int rowHeight)
{
    QList<Region> regions{region};
    const int y = flow(title, cells, regions, section, style, rowHeight);
    region = regions.first();
    return y;
}

int FormDrawer::flow(const QString &title, const QList<CellSpec> &cells, QList<Region> &regions,
                     SectionRec &section, ValueStyle style, int rowHeight)
{
    if (regions.isEmpty())
        throw EOvError(QStringLiteral("Nessuna area per \"%1\"").arg(title));
    QList<int> natural;
    for (const CellSpec &c : cells)
        natural.append(naturalWidth(c));
    // A run of boxes is at least as wide as its heading.
    for (int k = 0; k < cells.size();) {
        int end = k + 1;
        while (end < cells.size() && cells[end].heading == cells[k].heading)
            ++end;
        if (!cells[k].heading.isEmpty()) {
            m_pdf.SelectFont(TPdkFont::HelveticaBold);
            m_pdf.SetTextSize(kLabelSize);
            int missing = int(std::ceil(m_pdf.GetTextWidth(cells[k].heading) + 1.6));
            for (int j = k; j < end; ++j)
                missing -= natural[j];
            for (int j = k; j < end && missing > 0; ++j) {
                const int share = (missing + (end - j) - 1) / (end - j);
                natural[j] += share;
                missing -= share;
            }
        }
        k = end;
    }
    bool opened = false;
    bool continued = false;
    int i = 0;
    while (i < cells.size()) {
        Region &r = regions.first();
        const int width = r.right - r.x;
        const int barH = title.isEmpty() ? 0 : 4;
        // One row with as many cells as fit; a run of boxes under one heading
        // starts a new row rather than being split, when a row holds it.
        QList<CellSpec> row;
        QList<int> widths;
        int used = 0;
        int next = i;
        while (next < cells.size()) {
            const int w = std::min(natural[next], width);
            if (!row.isEmpty() && used + w > width)
                break;
            const QString &heading = cells[next].heading;
            if (!row.isEmpty() && !heading.isEmpty() && heading != cells[next - 1].heading) {
                int run = 0;
                for (int k = next; k < cells.size() && cells[k].heading == heading; ++k)
                    run += std::min(natural[k], width);
                if (used + run > width && run <= width)
                    break;
            }
            row.append(cells[next]);
            widths.append(w);
            used += w;
            ++next;
        }
        // ...then widened to the full width.
        int slack = width - used;
        QList<int> growable;
        for (int k = 0; k < row.size(); ++k) {
            if (!row[k].group || row.size() == 1)
                growable.append(k);
        }
        if (growable.isEmpty())
            growable.append(int(row.size()) - 1);
        for (int k = 0; k < growable.size(); ++k) {
            const int share = slack / int(growable.size() - k);
            widths[growable[k]] += share;
            slack -= share;
        }
        const int h = rowHeightOf(row, widths, rowHeight);
        const int needed = (opened ? 0 : barH) + h;
        if (r.y + needed > r.bottom) {
            regions.removeFirst();
            if (regions.isEmpty())
                throw EOvError(QStringLiteral("Lo spazio della pagina non basta per \"%1\"").arg(title));
            opened = false;
            continue;
        }
        page(r.page);
        if (!opened) {
            if (barH) {
                bar(r.x, r.y, width, continued ? title + QStringLiteral(" (segue)") : title);
                r.y += barH;
            }
            opened = true;
            continued = true;
        }
        drawRow(row, widths, r.x, r.y, h, rowHeight, r.section ? *r.section : section, style);
        r.y += h;
        i = next;
        if (i < cells.size() && r.y + rowHeight > r.bottom)
            opened = false; // continues in the next region with its bar again
    }
    return regions.first().y;
}
