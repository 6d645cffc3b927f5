#include "src/prj/unit/editors/TfrVelSections.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelTextFit.h"

#include "src/prj/unit/model/VelRecordModel.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "tor/frames/TDataSource.h"
#include "tor/ui/frames/TorDbControls.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QGridLayout>
#include <QSignalBlocker>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString question(const char *section)
{
    return QStringLiteral("Confermi la cancellazione della sezione \"%1\"?").arg(QString::fromUtf8(section));
}

// Restores the store's wait window however the load ends.
struct NoWait
{
    TTorDBCds *store;
    bool was;
    explicit NoWait(TTorDBCds *s) : store(s), was(s->showWait()) { s->setShowWait(false); }
    ~NoWait() { store->setShowWait(was); }
};

// The first child's share is kept as text ("50.00", or "C"); it is shown with
// the decimal comma of every other figure of the page, and what is typed with
// a comma is kept with the point the stored text has.
class PercentText : public TTorDbEdit
{
public:
    using TTorDbEdit::TTorDbEdit;

    void refresh() override
    {
        TTorDbEdit::refresh();
        showComma();
    }
    bool commit() override
    {
        if (text().contains(u',')) {
            const QSignalBlocker quiet(this);
            setText(QString(text()).replace(u',', u'.'));
        }
        const bool ok = TTorDbEdit::commit();
        showComma();
        return ok;
    }

protected:
    void focusOutEvent(QFocusEvent *e) override
    {
        TTorDbEdit::focusOutEvent(e);
        showComma();
    }

private:
    void showComma()
    {
        if (!text().contains(u'.'))
            return;
        const QSignalBlocker quiet(this);
        const int at = cursorPosition();
        setText(QString(text()).replace(u'.', u','));
        setCursorPosition(at);
    }
};

} // namespace

TfrVelSection::TfrVelSection(const QString &structure, const QStringList &pages, const QString &deleteQuestion,
                             QWidget *parent)
    : TfrVefBase(parent)
    , m_structure(structure)
    , m_pages(pages)
    , m_deleteQuestion(deleteQuestion)
{
    const VelStructureDesc &s = VelRecordModel::instance().structure(structure);
    VelRecordModel::instance().createDataSet(structure, *cdsMain);
    // Grid: the model's columns, else the first fields of the first page.
    QList<TModelColumn> cols;
    for (const VelGridColumn &c : s.grid) {
        if (!c.hidden)
            cols.append({c.field, c.caption, c.width});
    }
    if (cols.isEmpty()) {
        for (const VelFieldDesc *f : s.pageFields(pages.value(0))) {
            // A caption of a letter or two is a mark of the paper model's
            // table, not a title for a column.
            if (f->kind == VelFieldKind::Memo || f->isFlag() || f->label.trimmed().size() < 3)
                continue;
            QString t = f->caption();
            if (!f->box.isEmpty())
                t = f->box + QStringLiteral(" ") + t;
            cols.append({f->name, VelPageBuilder::headerCaption(t), 0});
            if (cols.size() == 5)
                break;
        }
    }
    setGridColumns(cols);
    buildDetail();
    afterOpen();
}

void TfrVelSection::setGridColumns(const QList<TModelColumn> &cols)
{
    grModel->setColumns(cols);
    // As wide as the title needs, two lines at most.
    for (int i = 0; i < cols.size(); ++i)
        grMain->setColumnWidth(i, qMax(120, grMain->horizontalHeader()->sectionSizeHint(i)));
    grMain->horizontalHeader()->setStretchLastSection(true);
}

void TfrVelSection::buildDetail()
{
    const VelStructureDesc &s = VelRecordModel::instance().structure(m_structure);
    auto *l = new QVBoxLayout(tsDettaglio);
    l->setContentsMargins(0, 0, 0, 0);
    const auto lookup = [this](TTorDbEdit *e, const VelFieldDesc &f) {
        if (m_host)
            m_host->lookup(e, f);
    };
    if (m_pages.size() == 1) {
        l->addWidget(VelPageBuilder::build(s, m_pages.first(), dsMain, lookup, tsDettaglio));
        return;
    }
    pcPagine = new QTabWidget(tsDettaglio);
    pcPagine->setObjectName(QStringLiteral("pcPagine"));
    for (const QString &p : m_pages) {
        const VelPageDesc *pd = s.page(p);
        pcPagine->addTab(VelPageBuilder::build(s, p, dsMain, lookup, pcPagine), pd ? pd->caption : p);
    }
    l->addWidget(pcPagine);
}

bool TfrVelSection::canInsert() const
{
    return TfrVefBase::canInsert() && m_host && m_host->currentAfiId() > 0;
}

void TfrVelSection::clearSection()
{
    if (cdsMain->modified())
        cdsMain->cancel();
    cdsMain->emptyDataSet();
    m_loadedFor = -1;
    afterOpen();
}

void TfrVelSection::loadFor(qint64 afiId)
{
    if (!m_host || !m_host->store())
        return;
    if (afiId <= 0) {
        clearSection();
        return;
    }
    TTorDBCds *store = m_host->store();
    const bool ro = cdsMain->readOnly();
    {
        NoWait quiet(store);
        cdsMain->setReadOnly(false);
        try {
            m_host->countLoad();
            VelCuRepository(*store).load(*cdsMain, m_structure, TTorDBCds::AllMonths, TTorDBCds::Default, afiId);
        } catch (...) {
            cdsMain->setReadOnly(ro);
            throw;
        }
        cdsMain->setReadOnly(ro);
    }
    m_loadedFor = afiId;
    afterLoad();
    afterOpen();
    dsMain->refresh();
}

void TfrVelSection::newRecord(TClientDataSet &ds)
{
    if (!m_host || m_host->currentAfiId() <= 0)
        throw EOvWarning(QStringLiteral("Nessun modello CU corrente"));
    ds.fieldByName(fld::iAfiID.qs()).setAsInteger(m_host->currentAfiId());
    ds.fieldByName(fld::SCUDCODFIS.qs()).setAsString(m_host->currentCodFis());
    ds.fieldByName(fld::SCUDMESE.qs()).setAsString(m_host->currentMese());
    const VelStructureDesc &s = VelRecordModel::instance().structure(m_structure);
    for (const VelFieldDesc &f : s.fields) {
        if (f.isFlag() && !f.page.isEmpty())
            ds.fieldByName(f.name).setAsString(QStringLiteral("0"));
    }
}

void TfrVelSection::saveData()
{
    if (!m_host || !m_host->store())
        return;
    m_host->saveSection(*cdsMain, m_structure);
}

// ---- the nine frames -----------------------------------------------------

TfrVelInps::TfrVelInps(QWidget *parent)
    : TfrVelSection(rec::TCUDI_INPS::id.qs(), {QStringLiteral("INPS")}, question("INPS"), parent)
{
    setObjectName(QStringLiteral("frVelInps"));
}

void TfrVelInps::newRecord(TClientDataSet &ds)
{
    TfrVelSection::newRecord(ds);
    // Every flag of the INPS rows starts unset, shown or not.
    for (const TFieldDef &d : ds.fieldDefs()) {
        if (d.name.startsWith(u'L', Qt::CaseInsensitive) && d.type == TFieldType::String)
            ds.fieldByName(d.name).setAsString(QStringLiteral("0"));
    }
}

TfrVelInpsSez3::TfrVelInpsSez3(QWidget *parent)
    : TfrVelInps(parent)
{
    setObjectName(QStringLiteral("frVelInpsSez3"));
    // Same structure, the third section's page.
    m_pages = {QStringLiteral("INPS - Sezione 3")};
    QLayout *old = tsDettaglio->layout();
    while (QLayoutItem *item = old->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    delete old;
    buildDetail();
}

TfrVelInpdap::TfrVelInpdap(QWidget *parent)
    : TfrVelSection(rec::TCUDN_INPDAP::id.qs(), {QStringLiteral("INPDAP")}, question("INPDAP"), parent)
{
    setObjectName(QStringLiteral("frVelInpdap"));
}

void TfrVelInpdap::afterLoad()
{
    // Rows by year of reference: the index "AnnoRif" of the structure.
    const VelStructureDesc &s = VelRecordModel::instance().structure(m_structure);
    for (const VelIndexDesc &i : s.indexes) {
        if (i.name == QLatin1String("AnnoRif"))
            cdsMain->setIndexFieldNames(i.fields);
    }
    cdsMain->first();
}

TfrVelInail::TfrVelInail(QWidget *parent)
    : TfrVelSection(rec::TCUIN_INAIL::id.qs(), {QStringLiteral("INAIL")}, question("INAIL"), parent)
{
    setObjectName(QStringLiteral("frVelInail"));
}

TfrVelAltrienti::TfrVelAltrienti(QWidget *parent)
    : TfrVelSection(rec::TCUDAE_ALTRIENTI::id.qs(), {QStringLiteral("ALTRI ENTI")}, question("ALTRI ENTI"), parent)
{
    setObjectName(QStringLiteral("frVelAltrienti"));
}

TfrVelCoopArt::TfrVelCoopArt(QWidget *parent)
    : TfrVelSection(rec::TCUDCA_COOPART::id.qs(), {QStringLiteral("CoopArt")}, question("CoopArt"), parent)
{
    setObjectName(QStringLiteral("frVelCoopArt"));
}

TfrVelConFamCar::TfrVelConFamCar(QWidget *parent)
    : TfrVelSection(rec::TCUDC_CONFAMCARICO::id.qs(), {QStringLiteral("Familiari a carico")},
                    question("congiuge e familiari a carico"), parent)
{
    setObjectName(QStringLiteral("frVelConFamCar"));
    // The grid names whose data each column holds.
    setGridColumns({{fld::SCUDCODFISCON.qs(), QStringLiteral("Coniuge\nCodice fiscale"), 0},
                    {fld::SCUDMESICARCON.qs(), QStringLiteral("Coniuge\nMesi a carico"), 0},
                    {fld::SCUDCODFISPRIFIGL.qs(), QStringLiteral("Primo figlio\nCodice fiscale"), 0},
                    {fld::SCUDCODFISFIGL.qs(), QStringLiteral("Altri figli / familiari\nCodice fiscale"), 0}});
    buildFamilyPage();
    for (const QString &name : monthFields()) {
        auto *e = findChild<TTorDbEdit *>(QStringLiteral("ed") + name);
        if (!e)
            continue;
        e->onExit = [](TTorDbEdit *box) {
            const QString message = checkMonth(box->text());
            if (message.isEmpty())
                return;
            OvMessageBox(message, MB_OK | MB_ICONWARNING);
            QTimer::singleShot(0, box, [box] { box->setFocus(); });
        };
    }
}

void TfrVelConFamCar::buildFamilyPage()
{
    // Laid out as the model's table of dependants: one line for the spouse,
    // one for the first child, one for the further child or other dependant.
    QLayout *old = tsDettaglio->layout();
    while (QLayoutItem *item = old->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const VelStructureDesc &s = VelRecordModel::instance().structure(m_structure);
    const auto lookup = [this](TTorDbEdit *e, const VelFieldDesc &f) {
        if (m_host)
            m_host->lookup(e, f);
    };
    auto *page = new QWidget(tsDettaglio);
    auto *grid = new QGridLayout(page);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    const QStringList heads = {QString(), QStringLiteral("Relazione di parentela"), QStringLiteral("Codice fiscale"),
                               QStringLiteral("N. mesi a carico"), QStringLiteral("Percentuale di detrazione spettante"),
                               QStringLiteral("Detrazione 100% affidamento figli"), QStringLiteral("Mesi")};
    for (int c = 0; c < heads.size(); ++c) {
        auto *lb = new QLabel(heads.at(c), page);
        lb->setWordWrap(true);
        QFont f = lb->font();
        f.setBold(true);
        lb->setFont(f);
        grid->addWidget(lb, 0, c, Qt::AlignBottom | Qt::AlignLeft);
    }
    struct Line
    {
        const char *caption;
        QStringList flags;
        const char *codfis, *mesi, *perc, *affido, *mesi21;
    };
    const QList<Line> lines = {
        {"Coniuge", {fld::LCUDRELPARCON.qs()}, fld::SCUDCODFISCON.name, fld::SCUDMESICARCON.name, nullptr, nullptr, nullptr},
        {"Primo figlio", {fld::LCUDRELPARPRIFIGL.qs(), fld::LCUDRELPARPRIFIGLDIS.qs()},
         fld::SCUDCODFISPRIFIGL.name, fld::SCUDMESICARPRIFIGL.name, fld::SCUDDETRSPETTPRIFIGL.name, fld::LCUDDET100X100PRIFIGL.name,
         fld::SCUDMESIDETRM21PRIFIGL.name},
        {"Altri figli / familiari",
         {fld::LCUDRELPARFIGL.qs(), fld::LCUDRELPARFIGLDIS.qs(), fld::LCUDRELPARFIGLALTRFAM.qs(),
          fld::LCUDRELPARNONASCEND.qs()},
         fld::SCUDCODFISFIGL.name, fld::SCUDMESICARFIGL.name, fld::FCUDDETRSPETTFIGL.name, fld::LCUDDET100X100FIGL.name, fld::SCUDMESIDETRM21FIGL.name},
    };
    int row = 1;
    for (const Line &line : lines) {
        auto *lb = new QLabel(QString::fromUtf8(line.caption), page);
        grid->addWidget(lb, row, 0);
        auto *flags = new QWidget(page);
        auto *h = new QHBoxLayout(flags);
        h->setContentsMargins(0, 0, 0, 0);
        for (const QString &name : line.flags) {
            if (const VelFieldDesc *f = s.field(name)) {
                QWidget *w = VelPageBuilder::fieldWidget(*f, dsMain, lookup, flags, true);
                w->setToolTip(name);
                h->addWidget(w);
            }
        }
        h->addStretch(1);
        grid->addWidget(flags, row, 1);
        const char *cols[] = {line.codfis, line.mesi, line.perc, line.affido, line.mesi21};
        for (int c = 0; c < 5; ++c) {
            if (!cols[c])
                continue;
            if (const VelFieldDesc *f = s.field(QLatin1String(cols[c]))) {
                QWidget *w = nullptr;
                if (f->name == fld::SCUDDETRSPETTPRIFIGL.l1()) {
                    auto *e = new PercentText(dsMain, f->name, TorDbKind::Text, 0, page);
                    e->setFixedWidth(130);   // as the other child's share beside it
                    w = e;
                } else {
                    w = VelPageBuilder::fieldWidget(*f, dsMain, lookup, page);
                }
                w->setToolTip(f->name);
                grid->addWidget(w, row, c + 2, Qt::AlignLeft);
            }
        }
        ++row;
    }
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(heads.size(), 1);
    old->addWidget(page);
}

QStringList TfrVelConFamCar::monthFields()
{
    return {fld::SCUDMESICARCON.qs(), fld::SCUDMESICARPRIFIGL.qs(), fld::SCUDMESICARFIGL.qs(),
            fld::SCUDMESIDETRM21FIGL.qs(), fld::SCUDMESIDETRM21PRIFIGL.qs()};
}

QString TfrVelConFamCar::checkMonth(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QString();
    bool ok = false;
    const int n = t.toInt(&ok);
    if (ok && n >= 1 && n <= 12)
        return t.size() == 2 ? QString() : QStringLiteral("Il mese deve essere di 2 cifre");
    return QStringLiteral("Mese non valido, deve essere compreso tra 01 e 12");
}

TfrVelTFR::TfrVelTFR(QWidget *parent)
    : TfrVelSection(rec::TCUDT_TFR::id.qs(),
                    {QStringLiteral("Rapporto di lavoro"), QStringLiteral("TFR al 31/12/2000"),
                     QStringLiteral("TFR dal 01/01/2001"), QStringLiteral("Prestazioni"),
                     QStringLiteral("Dati riepilogativi")},
                    question("TFR"), parent)
{
    setObjectName(QStringLiteral("frVelTFR"));
    // Its own pages instead of the grid and detail tabs.
    pcMain->tabBar()->hide();
    setGoToDetail(true);
    showDetail();
}

TfrVelAutonomo::TfrVelAutonomo(QWidget *parent)
    : TfrVelSection(rec::TASE_AUTSOMMEEROGATE::id.qs(), {QStringLiteral("Autonomo")}, question("Autonomo"), parent)
{
    setObjectName(QStringLiteral("frVelAutonomo"));
}
