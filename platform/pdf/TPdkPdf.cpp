#include "platform/pdf/TPdkPdf.h"
#include "platform/pdf/PdkContent.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/core/OvWinAnsi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <set>
#include <qpdf/QUtil.hh>

#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using namespace PdkContent;

constexpr double kA4Width = 595.27559;  // 210 mm
constexpr double kA4Height = 841.88976; // 297 mm

struct PageRec
{
    QPDFObjectHandle page;  // the page dictionary (indirect)
    std::string ops;        // drawing not yet written into a content stream
    bool ours = false;      // made by the workspace: the content is all ours
    bool wrapped = false;   // a loaded page whose own content is already enclosed in q..Q
    double llx = 0, lly = 0, urx = kA4Width, ury = kA4Height;
};

// What every copy of one model page shares in the target document.
struct SharedForm
{
    QPDFObjectHandle resources; // << /XObject << /Fm0 form >> /Font fonts >>
    QPDFObjectHandle content;   // "q /Fm0 Do Q"
    QPDFObjectHandle mediaBox;
    QPDFObjectHandle cropBox;   // null when the model page has none
    QPDFObjectHandle rotate;    // null when none
    QPDFObjectHandle sourceForm; // made in the source document for the copy, dropped with the target
    double llx = 0, lly = 0, urx = 0, ury = 0;
};

struct Doc
{
    QByteArray bytes; // a loaded file, read whole: qpdf reads its objects from here
    std::unique_ptr<QPDF> q;
    std::vector<PageRec> pages;
    int selected = 0; // 1-based; 0: none
    QPDFObjectHandle fonts;          // << /VelF1 .. /VelF2 .. >>, indirect, made on first use
    QPDFObjectHandle blankResources; // << /Font fonts >>
    std::map<std::pair<int, QPDFObjGen>, SharedForm> forms; // (source document, source page)
};

void readBox(QPDFObjectHandle box, double *llx, double *lly, double *urx, double *ury)
{
    if (!box.isRectangle())
        return;
    const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    *llx = std::min(r.llx, r.urx);
    *urx = std::max(r.llx, r.urx);
    *lly = std::min(r.lly, r.ury);
    *ury = std::max(r.lly, r.ury);
}

} // namespace

struct TPdkPdf::Impl
{
    std::vector<std::unique_ptr<Doc>> docs; // identifier = index + 1
    int selectedDoc = 0;
    bool originTop = false;
    double unit = 1.0; // points per unit
    TPdkFont font = TPdkFont::Helvetica;
    Rgb textColor, lineColor, fillColor;
    double lineWidth = 1.0; // points
    double newPageWidth = kA4Width, newPageHeight = kA4Height;
    QString lastOperation;
    QString lastError;

    Doc *doc(int id) const
    {
        return (id >= 1 && id <= int(docs.size())) ? docs[size_t(id - 1)].get() : nullptr;
    }
    Doc *current() const { return doc(selectedDoc); }
    PageRec *page() const
    {
        Doc *d = current();
        if (!d || d->selected < 1 || d->selected > int(d->pages.size()))
            return nullptr;
        return &d->pages[size_t(d->selected - 1)];
    }

    double px(const PageRec &p, double x) const { return p.llx + x * unit; }
    double py(const PageRec &p, double y) const { return originTop ? p.ury - y * unit : p.lly + y * unit; }

    QPDFObjectHandle fonts(Doc &d)
    {
        if (d.fonts.isInitialized())
            return d.fonts;
        auto font = [&](const char *base) {
            QPDFObjectHandle f = QPDFObjectHandle::newDictionary();
            f.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
            f.replaceKey("/Subtype", QPDFObjectHandle::newName("/Type1"));
            f.replaceKey("/BaseFont", QPDFObjectHandle::newName(base));
            f.replaceKey("/Encoding", QPDFObjectHandle::newName("/WinAnsiEncoding"));
            return d.q->makeIndirectObject(f);
        };
        QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
        dict.replaceKey("/VelF1", font("/Helvetica"));
        dict.replaceKey("/VelF2", font("/Helvetica-Bold"));
        d.fonts = d.q->makeIndirectObject(dict);
        return d.fonts;
    }

    PageRec newBlankPage(Doc &d)
    {
        if (!d.blankResources.isInitialized()) {
            QPDFObjectHandle res = QPDFObjectHandle::newDictionary();
            res.replaceKey("/Font", fonts(d));
            d.blankResources = d.q->makeIndirectObject(res);
        }
        PageRec p;
        p.ours = true;
        p.urx = newPageWidth;
        p.ury = newPageHeight;
        QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/MediaBox", QPDFObjectHandle::newFromRectangle(
                                         QPDFObjectHandle::Rectangle(0, 0, newPageWidth, newPageHeight)));
        page.replaceKey("/Resources", d.blankResources);
        page.replaceKey("/Contents", QPDFObjectHandle::newArray());
        p.page = d.q->makeIndirectObject(page);
        return p;
    }

    // Writes the pending drawing of a page into a content stream of its own.
    void flush(Doc &d, PageRec &p)
    {
        if (p.ops.empty())
            return;
        if (p.ours) {
            p.page.getKey("/Contents").appendItem(d.q->newStream(p.ops));
        } else {
            QPDFPageObjectHelper helper(p.page);
            if (!p.wrapped) {
                // The page's own content may leave the graphics state changed.
                helper.addPageContents(d.q->newStream("q\n"), true);
                p.ops.insert(0, "Q\n");
                p.wrapped = true;
            }
            QPDFObjectHandle resources = p.page.getKey("/Resources");
            if (!resources.isDictionary()) {
                resources = QPDFObjectHandle::newDictionary();
                p.page.replaceKey("/Resources", resources);
            }
            QPDFObjectHandle fontDict = resources.getKey("/Font");
            if (!fontDict.isDictionary()) {
                fontDict = QPDFObjectHandle::newDictionary();
                resources.replaceKey("/Font", fontDict);
            }
            QPDFObjectHandle ours = fonts(d);
            fontDict.replaceKey("/VelF1", ours.getKey("/VelF1"));
            fontDict.replaceKey("/VelF2", ours.getKey("/VelF2"));
            helper.addPageContents(d.q->newStream(p.ops), false);
        }
        p.ops.clear();
        p.ops.shrink_to_fit();
    }

    // Lays the page list out as one flat page tree.
    void rebuildPageTree(Doc &d)
    {
        QPDFObjectHandle root = d.q->getRoot();
        QPDFObjectHandle pages = root.getKey("/Pages");
        if (!pages.isDictionary()) {
            pages = d.q->makeIndirectObject(QPDFObjectHandle::newDictionary());
            pages.replaceKey("/Type", QPDFObjectHandle::newName("/Pages"));
            root.replaceKey("/Pages", pages);
        }
        QPDFObjectHandle kids = QPDFObjectHandle::newArray();
        for (PageRec &p : d.pages) {
            p.page.replaceKey("/Parent", pages);
            kids.appendItem(p.page);
        }
        pages.replaceKey("/Kids", kids);
        pages.replaceKey("/Count", QPDFObjectHandle::newInteger(static_cast<long long>(d.pages.size())));
        d.q->updateAllPagesCache();
    }

    SharedForm &sharedForm(Doc &target, int sourceId, Doc &source, PageRec &sourcePage)
    {
        const auto key = std::make_pair(sourceId, sourcePage.page.getObjGen());
        auto it = target.forms.find(key);
        if (it != target.forms.end())
            return it->second;

        flush(source, sourcePage);
        QPDFObjectHandle form = QPDFPageObjectHelper(sourcePage.page).getFormXObjectForPage(false);
        SharedForm sf;
        if (&source != &target) {
            sf.sourceForm = form;
            form = target.q->copyForeignObject(form);
        }
        QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
        xobjects.replaceKey("/Fm0", form);
        QPDFObjectHandle res = QPDFObjectHandle::newDictionary();
        res.replaceKey("/XObject", xobjects);
        res.replaceKey("/Font", fonts(target));
        sf.resources = target.q->makeIndirectObject(res);
        sf.content = target.q->newStream("q /Fm0 Do Q\n");
        sf.llx = sourcePage.llx;
        sf.lly = sourcePage.lly;
        sf.urx = sourcePage.urx;
        sf.ury = sourcePage.ury;
        sf.mediaBox = QPDFObjectHandle::newFromRectangle(QPDFObjectHandle::Rectangle(sf.llx, sf.lly, sf.urx, sf.ury));
        QPDFObjectHandle crop = sourcePage.page.getKey("/CropBox");
        if (crop.isRectangle())
            sf.cropBox = QPDFObjectHandle::newFromRectangle(crop.getArrayAsRectangle());
        QPDFObjectHandle rotate = sourcePage.page.getKey("/Rotate");
        if (rotate.isInteger() && rotate.getIntValue() % 360 != 0)
            sf.rotate = QPDFObjectHandle::newInteger(rotate.getIntValue());
        return target.forms.emplace(key, sf).first->second;
    }

    PageRec copiedPage(Doc &target, const SharedForm &sf)
    {
        PageRec p;
        p.ours = true;
        p.llx = sf.llx;
        p.lly = sf.lly;
        p.urx = sf.urx;
        p.ury = sf.ury;
        QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
        page.replaceKey("/MediaBox", sf.mediaBox);
        if (sf.cropBox.isInitialized())
            page.replaceKey("/CropBox", sf.cropBox);
        if (sf.rotate.isInitialized())
            page.replaceKey("/Rotate", sf.rotate);
        page.replaceKey("/Resources", sf.resources);
        QPDFObjectHandle contents = QPDFObjectHandle::newArray();
        contents.appendItem(sf.content);
        page.replaceKey("/Contents", contents);
        p.page = target.q->makeIndirectObject(page);
        return p;
    }

    // The pages a range text names ("1", "10,11", "2-4", "4-2"), 1-based;
    // false, with the reason, when any is out of the document's count.
    bool pageList(const QString &ranges, int count, std::vector<int> &list)
    {
        for (const QString &part : ranges.split(QLatin1Char(','))) {
            const QString p = part.trimmed();
            bool ok1 = false, ok2 = false;
            int from = 0, to = 0;
            const int dash = p.indexOf(QLatin1Char('-'));
            if (dash > 0) {
                from = p.left(dash).trimmed().toInt(&ok1);
                to = p.mid(dash + 1).trimmed().toInt(&ok2);
            } else {
                from = to = p.toInt(&ok1);
                ok2 = ok1;
            }
            if (!ok1 || !ok2 || from < 1 || to < 1 || from > count || to > count)
                return fail(QStringLiteral("Pagine non valide: \"%1\" (il documento ne ha %2)").arg(ranges).arg(count));
            for (int i = from; from <= to ? i <= to : i >= to; from <= to ? ++i : --i)
                list.push_back(i);
        }
        return true;
    }

    // Takes a new document into the workspace, selected, with its first page
    // selected: its identifier.
    int adopt(std::unique_ptr<Doc> doc)
    {
        doc->selected = doc->pages.empty() ? 0 : 1;
        docs.push_back(std::move(doc));
        selectedDoc = int(docs.size());
        return selectedDoc;
    }

    int fail(const QString &why)
    {
        lastError = why;
        return 0;
    }
};

TPdkPdf::TPdkPdf() : d(std::make_unique<Impl>()) {}

TPdkPdf::~TPdkPdf() = default;

QString TPdkPdf::transliterate(const QString &text)
{
    return ovWinAnsiText(text);
}

std::string TPdkPdf::toWinAnsi(const QString &text)
{
    std::string out = QUtil::utf8_to_win_ansi(transliterate(text).toStdString(), '?');
    for (char &c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    }
    return out;
}

// ---- documents ----

int TPdkPdf::LoadFromFile(const QString &path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return d->fail(QStringLiteral("File non trovato: %1").arg(path));
    auto doc = std::make_unique<Doc>();
    try {
        // Read whole once: objects are then read from memory, not each with
        // a seek and a read of the file (a document cut into thousands of
        // parts is read object by object).
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return d->fail(QStringLiteral("Impossibile leggere il file %1: %2").arg(path, file.errorString()));
        doc->bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return d->fail(QStringLiteral("Impossibile leggere il file %1: %2").arg(path, file.errorString()));
        doc->q = std::make_unique<QPDF>();
        doc->q->setSuppressWarnings(true);
        doc->q->processMemoryFile(QFile::encodeName(path).constData(), doc->bytes.constData(),
                                  size_t(doc->bytes.size()));
        QPDFPageDocumentHelper helper(*doc->q);
        helper.pushInheritedAttributesToPage();
        for (QPDFPageObjectHelper &ph : helper.getAllPages()) {
            PageRec p;
            p.page = ph.getObjectHandle();
            readBox(ph.getMediaBox(), &p.llx, &p.lly, &p.urx, &p.ury);
            doc->pages.push_back(std::move(p));
        }
    } catch (const std::exception &e) {
        return d->fail(QString::fromStdString(e.what()));
    }
    return d->adopt(std::move(doc));
}

int TPdkPdf::NewDocument()
{
    auto doc = std::make_unique<Doc>();
    try {
        doc->q = std::make_unique<QPDF>();
        doc->q->emptyPDF();
        doc->pages.push_back(d->newBlankPage(*doc));
    } catch (const std::exception &e) {
        return d->fail(QString::fromStdString(e.what()));
    }
    return d->adopt(std::move(doc));
}

int TPdkPdf::CloseDocument(int documentId)
{
    if (!d->doc(documentId))
        return d->fail(QStringLiteral("Documento sconosciuto: %1").arg(documentId));
    // The forms made in other documents to copy their pages here go too:
    // the copies read them until this document goes.
    Doc *doc = d->doc(documentId);
    for (const auto &[key, form] : doc->forms)
        if (Doc *source = d->doc(key.first); source && form.sourceForm.isInitialized())
            source->q->replaceObject(form.sourceForm.getObjGen(), QPDFObjectHandle::newNull());
    d->docs[size_t(documentId - 1)].reset();
    if (d->selectedDoc == documentId)
        d->selectedDoc = 0;
    return 1;
}

int TPdkPdf::SelectedDocument() const
{
    return d->selectedDoc;
}

int TPdkPdf::SelectDocument(int documentId)
{
    if (!d->doc(documentId))
        return d->fail(QStringLiteral("Documento sconosciuto: %1").arg(documentId));
    d->selectedDoc = documentId;
    return 1;
}

int TPdkPdf::SaveToFile(const QString &path)
{
    return save([&path](const char *data, qint64 size) {
        TOvSafeFile file(path);
        file.open();
        file.write(data, size);
        file.commit();
    });
}

int TPdkPdf::SaveToBatch(TOvSafeFileBatch &batch, const QString &path)
{
    // The streams a cut copies were compressed when the document was saved:
    // they go as they are, not inflated and compressed again. A part's few
    // objects are written plainly, not packed into compressed object
    // streams: a fifth of the time of each file for 7% more bytes.
    return save([&](const char *data, qint64 size) { batch.add(path, data, size); }, true);
}

int TPdkPdf::save(const std::function<void(const char *data, qint64 size)> &write, bool streamsAsTheyAre)
{
    Doc *doc = d->current();
    if (!doc)
        return d->fail(QStringLiteral("Nessun documento selezionato"));
    std::shared_ptr<Buffer> bytes;
    try {
        for (PageRec &p : doc->pages)
            d->flush(*doc, p);
        d->rebuildPageTree(*doc);
        QPDFWriter writer(*doc->q);
        writer.setOutputMemory();
        writer.setObjectStreamMode(streamsAsTheyAre ? qpdf_o_disable : qpdf_o_generate);
        writer.setCompressStreams(true);
        writer.setDeterministicID(true);
        if (streamsAsTheyAre)
            writer.setDecodeLevel(qpdf_dl_none);
        writer.write();
        bytes = writer.getBufferSharedPointer();
    } catch (const std::exception &e) {
        return d->fail(QString::fromStdString(e.what()));
    }
    try {
        write(reinterpret_cast<const char *>(bytes->getBuffer()), qint64(bytes->getSize()));
    } catch (const EOvException &e) {
        return d->fail(e.message());
    }
    return 1;
}

int TPdkPdf::SetDocumentInfo(const QString &title, const QString &author, const QString &creator,
                             const QDateTime &created)
{
    Doc *doc = d->current();
    if (!doc)
        return d->fail(QStringLiteral("Nessun documento selezionato"));
    try {
        QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
        const auto put = [&info](const char *key, const QString &value) {
            if (!value.isEmpty())
                info.replaceKey(key, QPDFObjectHandle::newUnicodeString(value.toStdString()));
        };
        put("/Title", title);
        put("/Author", author);
        put("/Creator", creator);
        if (created.isValid()) {
            // D:YYYYMMDDHHmmSS+HH'mm'
            const int offset = created.offsetFromUtc() / 60;
            const QString date = QStringLiteral("D:%1%2%3'%4'")
                                     .arg(created.toString(QStringLiteral("yyyyMMddHHmmss")))
                                     .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                     .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                                     .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
            info.replaceKey("/CreationDate", QPDFObjectHandle::newString(date.toStdString()));
        }
        doc->q->getTrailer().replaceKey("/Info", doc->q->makeIndirectObject(info));
    } catch (const std::exception &e) {
        return d->fail(QString::fromStdString(e.what()));
    }
    return 1;
}

// ---- coordinates ----

int TPdkPdf::SetOrigin(int origin)
{
    if (origin != 0 && origin != 1)
        return d->fail(QStringLiteral("Origine non ammessa: %1").arg(origin));
    d->originTop = origin == 1;
    return 1;
}

int TPdkPdf::SetMeasurementUnits(int units)
{
    switch (units) {
    case 0: d->unit = 1.0; return 1;
    case 1: d->unit = 72.0 / 25.4; return 1;
    case 2: d->unit = 72.0; return 1;
    default: return d->fail(QStringLiteral("Unità di misura non ammessa: %1").arg(units));
    }
}

// ---- pages ----

int TPdkPdf::CopyPageRanges(int sourceDocumentId, const QString &ranges)
{
    Doc *target = d->current();
    Doc *source = d->doc(sourceDocumentId);
    if (!target || !source)
        return d->fail(QStringLiteral("Documento sconosciuto: %1").arg(sourceDocumentId));
    std::vector<int> list;
    if (!d->pageList(ranges, int(source->pages.size()), list))
        return 0;
    try {
        std::vector<PageRec> added;
        for (int i : list) {
            PageRec &sp = source->pages[size_t(i - 1)];
            const SharedForm &sf = d->sharedForm(*target, sourceDocumentId, *source, sp);
            added.push_back(d->copiedPage(*target, sf));
        }
        for (PageRec &p : added)
            target->pages.push_back(std::move(p));
    } catch (const std::exception &e) {
        return d->fail(QString::fromStdString(e.what()));
    }
    if (target->selected == 0 && !target->pages.empty())
        target->selected = 1;
    return 1;
}

int TPdkPdf::ExtractPageRanges(int sourceDocumentId, const QString &ranges)
{
    Doc *source = d->doc(sourceDocumentId);
    if (!source)
        return d->fail(QStringLiteral("Documento sconosciuto: %1").arg(sourceDocumentId));
    std::vector<int> list;
    if (!d->pageList(ranges, int(source->pages.size()), list))
        return 0;
    auto doc = std::make_unique<Doc>();
    try {
        doc->q = std::make_unique<QPDF>();
        doc->q->emptyPDF();
        for (int i : list) {
            PageRec &sp = source->pages[size_t(i - 1)];
            d->flush(*source, sp);
            // The page itself, with its resources and its content streams as
            // they are; the source's page tree is not copied (the copy's
            // parent is set when the document is saved, where a page named
            // twice becomes two).
            PageRec p = sp;
            p.page = doc->q->copyForeignObject(sp.page);
            p.page.removeKey("/Parent");
            doc->pages.push_back(std::move(p));
        }
    } catch (const std::exception &e) {
        return d->fail(QString::fromStdString(e.what()));
    }
    return d->adopt(std::move(doc));
}

int TPdkPdf::DeletePages(int firstPage, int count)
{
    Doc *doc = d->current();
    if (!doc)
        return d->fail(QStringLiteral("Nessun documento selezionato"));
    const int n = int(doc->pages.size());
    if (firstPage < 1 || count < 1 || firstPage > n || firstPage - 1 + count > n)
        return d->fail(QStringLiteral("Pagine da eliminare non valide: %1, %2").arg(firstPage).arg(count));
    doc->pages.erase(doc->pages.begin() + (firstPage - 1), doc->pages.begin() + (firstPage - 1 + count));
    const int left = int(doc->pages.size());
    if (doc->selected > left)
        doc->selected = left;
    return 1;
}

int TPdkPdf::PageCount() const
{
    Doc *doc = d->current();
    return doc ? int(doc->pages.size()) : 0;
}

int TPdkPdf::SelectPage(int page)
{
    Doc *doc = d->current();
    if (!doc || page < 1 || page > int(doc->pages.size()))
        return d->fail(QStringLiteral("Pagina inesistente: %1").arg(page));
    doc->selected = page;
    return 1;
}

int TPdkPdf::SelectedPage() const
{
    Doc *doc = d->current();
    return doc ? doc->selected : 0;
}

int TPdkPdf::NewPage()
{
    Doc *doc = d->current();
    if (!doc)
        return d->fail(QStringLiteral("Nessun documento selezionato"));
    try {
        doc->pages.push_back(d->newBlankPage(*doc));
    } catch (const std::exception &e) {
        return d->fail(QString::fromStdString(e.what()));
    }
    doc->selected = int(doc->pages.size());
    return 1;
}

int TPdkPdf::SetPageDimensions(double width, double height)
{
    if (!(width > 0) || !(height > 0))
        return d->fail(QStringLiteral("Dimensioni di pagina non valide"));
    d->newPageWidth = width * d->unit;
    d->newPageHeight = height * d->unit;
    return 1;
}

double TPdkPdf::PageWidth() const
{
    const PageRec *p = d->page();
    return p ? (p->urx - p->llx) / d->unit : 0.0;
}

double TPdkPdf::PageHeight() const
{
    const PageRec *p = d->page();
    return p ? (p->ury - p->lly) / d->unit : 0.0;
}

// ---- drawing ----

int TPdkPdf::SetTextSize(double points)
{
    if (!(points > 0) || points > 1000)
        return d->fail(QStringLiteral("Dimensione del testo non valida: %1").arg(points));
    m_textSize = points;
    return 1;
}

int TPdkPdf::SelectFont(TPdkFont font)
{
    d->font = font;
    return 1;
}

static bool validColor(double r, double g, double b)
{
    return r >= 0 && r <= 1 && g >= 0 && g <= 1 && b >= 0 && b <= 1;
}

int TPdkPdf::SetTextColor(double r, double g, double b)
{
    if (!validColor(r, g, b))
        return d->fail(QStringLiteral("Colore non valido"));
    d->textColor = {r, g, b};
    return 1;
}

int TPdkPdf::SetLineColor(double r, double g, double b)
{
    if (!validColor(r, g, b))
        return d->fail(QStringLiteral("Colore non valido"));
    d->lineColor = {r, g, b};
    return 1;
}

int TPdkPdf::SetFillColor(double r, double g, double b)
{
    if (!validColor(r, g, b))
        return d->fail(QStringLiteral("Colore non valido"));
    d->fillColor = {r, g, b};
    return 1;
}

int TPdkPdf::SetLineWidth(double width)
{
    if (!(width >= 0))
        return d->fail(QStringLiteral("Spessore della linea non valido"));
    d->lineWidth = width * d->unit;
    return 1;
}

int TPdkPdf::DrawText(double x, double y, const QString &text)
{
    return DrawRotatedText(x, y, 0.0, text);
}

int TPdkPdf::DrawRotatedText(double x, double y, double angle, const QString &text)
{
    PageRec *p = d->page();
    if (!p)
        return d->fail(QStringLiteral("Nessuna pagina selezionata"));
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(angle))
        return d->fail(QStringLiteral("Coordinate non valide"));
    const std::string bytes = toWinAnsi(text);
    if (bytes.empty())
        return 1;
    std::string &o = p->ops;
    const bool colored = !d->textColor.isBlack();
    if (colored)
        o += "q ";
    o += "BT ";
    o += fontResource(d->font);
    o += ' ';
    appendNumber(o, m_textSize);
    o += " Tf ";
    if (colored)
        appendColor(o, d->textColor, "rg");
    const double tx = d->px(*p, x);
    const double ty = d->py(*p, y);
    if (angle == 0.0) {
        appendNumber(o, tx);
        o += ' ';
        appendNumber(o, ty);
        o += " Td ";
    } else {
        const double rad = angle * M_PI / 180.0;
        const double c = std::cos(rad), s = std::sin(rad);
        for (double v : {c, s, -s, c, tx, ty}) {
            appendNumber(o, v);
            o += ' ';
        }
        o += "Tm ";
    }
    appendPdfString(o, bytes);
    o += colored ? " Tj ET Q\n" : " Tj ET\n";
    return 1;
}

int TPdkPdf::DrawBox(double left, double top, double width, double height, int options)
{
    PageRec *p = d->page();
    if (!p)
        return d->fail(QStringLiteral("Nessuna pagina selezionata"));
    if (options < 0 || options > 2 || !std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width)
        || !std::isfinite(height))
        return d->fail(QStringLiteral("Rettangolo non valido"));
    const double x = d->px(*p, left);
    const double yTop = d->py(*p, top);
    const double w = width * d->unit;
    const double h = height * d->unit;
    std::string &o = p->ops;
    o += "q ";
    appendNumber(o, d->lineWidth);
    o += " w ";
    appendColor(o, d->lineColor, "RG");
    appendColor(o, d->fillColor, "rg");
    appendNumber(o, x);
    o += ' ';
    appendNumber(o, yTop - h);
    o += ' ';
    appendNumber(o, w);
    o += ' ';
    appendNumber(o, h);
    o += options == 0 ? " re S Q\n" : options == 1 ? " re f Q\n" : " re B Q\n";
    return 1;
}

int TPdkPdf::DrawLine(double x1, double y1, double x2, double y2)
{
    PageRec *p = d->page();
    if (!p)
        return d->fail(QStringLiteral("Nessuna pagina selezionata"));
    std::string &o = p->ops;
    o += "q ";
    appendNumber(o, d->lineWidth);
    o += " w ";
    appendColor(o, d->lineColor, "RG");
    appendNumber(o, d->px(*p, x1));
    o += ' ';
    appendNumber(o, d->py(*p, y1));
    o += " m ";
    appendNumber(o, d->px(*p, x2));
    o += ' ';
    appendNumber(o, d->py(*p, y2));
    o += " l S Q\n";
    return 1;
}

double TPdkPdf::GetTextWidth(const QString &text) const
{
    return PdkFontMetrics::of(d->font).width(toWinAnsi(text)) * m_textSize / 1000.0 / d->unit;
}

int TPdkPdf::OvDrawText(int x, int y, const QString &text, double width, TPdkAlign align)
{
    double left = x;
    if (align != TPdkAlign::Left && !text.isEmpty()) {
        const double w = GetTextWidth(text);
        left = align == TPdkAlign::Right ? x + width - w : x + (width - w) / 2.0;
    }
    return DrawText(left, y, text);
}

TPdkAlign TPdkPdf::alignmentFromText(const QString &alignment)
{
    const QString a = alignment.toUpper();
    if (a == QLatin1String("TACENTER"))
        return TPdkAlign::Center;
    if (a == QLatin1String("TARIGHTJUSTIFY"))
        return TPdkAlign::Right;
    return TPdkAlign::Left;
}

// ---- labels ----

void TPdkPdf::SetLastOperation(const QString &label)
{
    d->lastOperation = label;
}

QString TPdkPdf::LastOperation() const
{
    return d->lastOperation;
}

void TPdkPdf::Check(int result, const QString &label) const
{
    if (result != 0)
        return;
    throw EOvError(label.isEmpty() ? d->lastOperation : label);
}

QString TPdkPdf::LastErrorText() const
{
    return d->lastError;
}
