#pragma once
// The PDF workspace's own state, shared by its source files (documents and
// pages in TPdkPdf.cpp, drawing in TPdkPdfDraw.cpp): the documents it holds,
// their pages and what a page's copies share. Not for use outside the
// workspace.
#include "platform/pdf/TPdkPdf.h"
#include "platform/pdf/PdkContent.h"

#include <QString>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pdkinternal {

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

inline void readBox(QPDFObjectHandle box, double *llx, double *lly, double *urx, double *ury)
{
    if (!box.isRectangle())
        return;
    const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    *llx = std::min(r.llx, r.urx);
    *urx = std::max(r.llx, r.urx);
    *lly = std::min(r.lly, r.ury);
    *ury = std::max(r.lly, r.ury);
}

} // namespace pdkinternal

struct TPdkPdf::Impl
{
    using Doc = pdkinternal::Doc;
    using PageRec = pdkinternal::PageRec;
    using SharedForm = pdkinternal::SharedForm;
    using Rgb = PdkContent::Rgb;

    std::vector<std::unique_ptr<Doc>> docs; // identifier = index + 1
    int selectedDoc = 0;
    bool originTop = false;
    double unit = 1.0; // points per unit
    TPdkFont font = TPdkFont::Helvetica;
    Rgb textColor, lineColor, fillColor;
    double lineWidth = 1.0; // points
    double newPageWidth = pdkinternal::kA4Width, newPageHeight = pdkinternal::kA4Height;
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
