#include "FormDrawer.h"

#include "platform/core/OvExceptions.h"
#include "tor/util/TorCampagna.h"

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

// The label of a box: number in bold, then the text, on up to two lines.
void FormDrawer::cellLabel(double x, double y, double w, const QString &box, const QString &label, bool twoLines)
{
    constexpr double size = 4.5;
    double left = x + 0.7;
    double avail = w - 1.4;
    if (!box.isEmpty()) {
        text(left, y + 2.1, size, box, true);
        m_pdf.SelectFont(TPdkFont::HelveticaBold);
        m_pdf.SetTextSize(size);
        const double bw = m_pdf.GetTextWidth(box) + 0.8;
        left += bw;
        avail -= bw;
    }
    if (label.isEmpty())
        return;
    // First line: as many words as fit; second line: the rest, cut to fit.
    m_pdf.SelectFont(TPdkFont::Helvetica);
    m_pdf.SetTextSize(size);
    const QStringList words = label.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString first;
    int used = 0;
    for (; used < words.size(); ++used) {
        const QString candidate = first.isEmpty() ? words[used] : first + QLatin1Char(' ') + words[used];
        if (m_pdf.GetTextWidth(candidate) > avail)
            break;
        first = candidate;
    }
    if (first.isEmpty()) { // one long word
        text(left, y + 2.1, size, fitted(label, avail, size, false), false, 0.15);
        return;
    }
    text(left, y + 2.1, size, first, false, 0.15);
    if (used < words.size()) {
        const QString rest = QStringList(words.mid(used)).join(QLatin1Char(' '));
        if (twoLines)
            text(x + 0.7, y + 3.8, size, fitted(rest, w - 1.4, size, false), false, 0.15);
    }
}

void FormDrawer::labelBox(double x, double y, double w, double h, const QString &label, const QString &box)
{
    rect(x, y, w, h);
    cellLabel(x, y, w, box, label, true);
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

QString FormDrawer::labelText(const VelFieldDesc &f)
{
    // The editor shows this flag under its group's heading; on paper the box
    // needs its own name.
    if (f.name == QLatin1String("LCUDANNULLAMENTO"))
        return QStringLiteral("Annullamento");
    QString l = f.label;
    l.replace(QStringLiteral("%s"), QStringLiteral("…"));
    return l.simplified();
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
    if (size <= 40) return 60;
    return 80;
}

int FormDrawer::naturalWidth(const CellSpec &spec)
{
    int w = 0;
    for (const VelFieldDesc *f : spec.fields)
        w += subWidth(*f, spec.group);
    return w;
}

QList<CellSpec> FormDrawer::cellsOf(const QList<const VelFieldDesc *> &fields, bool numbered)
{
    QList<CellSpec> out;
    for (const VelFieldDesc *f : fields) {
        if (numbered && !f->box.isEmpty() && !out.isEmpty() && out.last().box == f->box) {
            out.last().fields.append(f);
            out.last().group = true;
            continue;
        }
        CellSpec c;
        c.fields.append(f);
        c.box = numbered ? f->box : QString();
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
void FormDrawer::subCell(const VelFieldDesc &f, const QString &box, int x, int y, int w, int h, SectionRec &section,
                         ValueStyle style)
{
    rect(x, y, w, h);
    cellLabel(x, y, w, box, labelText(f), w >= 16);
    const int base = y + h - 2; // value baseline
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
        line((dayEnd + monthStart) / 2, base - 3, (dayEnd + monthStart) / 2, base + 1);
        line((monthEnd + yearStart) / 2, base - 3, (monthEnd + yearStart) / 2, base + 1);
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

void FormDrawer::cell(const CellSpec &spec, int x, int y, int w, int h, SectionRec &section, ValueStyle style)
{
    if (!spec.group) {
        subCell(*spec.fields.first(), spec.box, x, y, w, h, section, style);
        return;
    }
    // Sub-boxes share the slack; the first carries the box number.
    const int natural = naturalWidth(spec);
    int extra = w - natural;
    int cx = x;
    for (int i = 0; i < spec.fields.size(); ++i) {
        const VelFieldDesc &f = *spec.fields[i];
        int sw = subWidth(f, true);
        const int share = extra / (spec.fields.size() - i);
        sw += share;
        extra -= share;
        subCell(f, i == 0 ? spec.box : QString(), cx, y, sw, h, section, style);
        cx += sw;
    }
}

void FormDrawer::drawRow(const QList<CellSpec> &row, const QList<int> &widths, int x, int y, int h,
                         SectionRec &section, ValueStyle style)
{
    int cx = x;
    for (int i = 0; i < row.size(); ++i) {
        cell(row[i], cx, y, widths[i], h, section, style);
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
    bool opened = false;
    bool continued = false;
    int i = 0;
    while (i < cells.size()) {
        Region &r = regions.first();
        const int width = r.right - r.x;
        const int barH = title.isEmpty() ? 0 : 4;
        const int needed = (opened ? 0 : barH) + rowHeight;
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
        // Fill one row with as many cells as fit, then widen them to the full width.
        QList<CellSpec> row;
        QList<int> widths;
        int used = 0;
        while (i < cells.size()) {
            const int w = std::min(naturalWidth(cells[i]), width);
            if (!row.isEmpty() && used + w > width)
                break;
            row.append(cells[i]);
            widths.append(w);
            used += w;
            ++i;
        }
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
        drawRow(row, widths, r.x, r.y, rowHeight, r.section ? *r.section : section, style);
        r.y += rowHeight;
        if (i < cells.size() && r.y + rowHeight > r.bottom)
            opened = false; // continues in the next region with its bar again
    }
    return regions.first().y;
}
