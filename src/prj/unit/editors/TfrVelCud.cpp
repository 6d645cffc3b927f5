#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelTextFit.h"
#include "src/prj/unit/editors/VelCorrectionBoxes.h"

#include "src/prj/unit/editors/TfmVelCudIns.h"
#include "src/prj/unit/editors/TfmVelNote.h"
#include "src/prj/unit/editors/VelLookup.h"
#include "src/prj/unit/editors/VelPageBuilder.h"
#include "src/prj/unit/check/VelSupplyRules.h"
#include "src/prj/unit/model/VelCuByMonth.h"
#include "src/prj/unit/model/VelRecordModel.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "platform/ui/framework/TOvActionList.h"
#include "tor/frames/TDataSource.h"
#include "tor/ui/frames/TorDbControls.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QShortcut>
#include <QLineEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

const QString kStato = fld::iCudStato.qs();
const QString kCodFis = fld::SCUDCODFIS.qs();
const QString kMese = fld::SCUDMESE.qs();
const QString kDefaultOrder = QStringLiteral("SCUDCOGNOME;SCUDNOME;SCUDMESE");

// Flag columns of the grid: a centred "X" when the flag is set, nothing otherwise.
class FlagDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString v = index.data(Qt::EditRole).toString();
        option->text = !v.isEmpty() && v != QLatin1String("0") ? QStringLiteral("X") : QString();
        option->displayAlignment = Qt::AlignCenter;
    }
};

class CenterDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = Qt::AlignCenter;
    }
};

// Restores the store's wait window however the block ends.
struct WaitShown
{
    bool active;
    explicit WaitShown(bool on) : active(on)
    {
        if (active)
            torWaitIndicator().begin();
    }
    ~WaitShown()
    {
        if (active)
            torWaitIndicator().end();
    }
};

} // namespace

TfrVelCud::TfrVelCud(QWidget *parent)
    : TfrTorBase(parent)
{
    setObjectName(QStringLiteral("frVelCud"));
    setTitle(QStringLiteral("Modello CU"));
    cdsSost = new TClientDataSet(this);
    cdsSost->setObjectName(QStringLiteral("cdsSost"));
    const VelRecordModel &model = VelRecordModel::instance();
    model.createDataSet(structureName(), *cdsMain);
    model.createDataSet(agentStructure(), *cdsSost);

    acStato = alFrame->add(QStringLiteral("acStato"), QStringLiteral("&Sblocca"),
                           images.add(ovMakeIcon(OvGlyph::Letter, OvColors::Red, QStringLiteral("S"))));
    acStato->setToolTip(QStringLiteral("Sblocca il modello stampato"));
    tbFrame->addSeparator();
    addFrameAction(acStato);
    connect(acStato, &QAction::triggered, this, [this] { ovGuarded([this] { unlock(); }); });

    // Grid.
    const VelStructureDesc &s = model.structure(structureName());
    QList<TModelColumn> cols;
    for (const VelGridColumn &c : s.grid)
        cols.append({c.field, VelPageBuilder::headerCaption(c.caption), c.width});
    grModel->setColumns(cols);
    grModel->setRowColor([](TClientDataSet &ds) {
        return ds.fieldByName(kStato).asInteger() > 0 ? QColor(Qt::red) : QColor();
    });
    for (int i = 0; i < s.grid.size(); ++i) {
        const VelGridColumn &c = s.grid.at(i);
        // The model's width, or more when the font needs it for a full value.
        const VelFieldDesc *fd = s.field(c.field);
        const int text = fd && fd->size > 2 ? grMain->fontMetrics().horizontalAdvance(QString(qMin(fd->size, 16), u'N')) + 12 : 0;
        const int title = grMain->fontMetrics().horizontalAdvance(c.caption) + 24;
        grMain->setColumnWidth(i, std::max({c.width > 0 ? c.width : 60, c.width > 0 ? text : qMax(text, title),
                                            grMain->horizontalHeader()->sectionSizeHint(i)}));
        if (c.align == QLatin1String("center")) {
            const VelFieldDesc *f = s.field(c.field);
            if (f && f->isFlag())
                grMain->setItemDelegateForColumn(i, new FlagDelegate(grMain));
            else
                grMain->setItemDelegateForColumn(i, new CenterDelegate(grMain));
        }
    }
    grMain->horizontalHeader()->setSectionsClickable(true);
    grMain->horizontalHeader()->setSortIndicatorShown(true);
    grMain->installEventFilter(this);

    buildSearch();
    buildDetail();
    // A new CU starts on its first page, in its first field.
    connect(this, &TfrTorDbFrame::dataSetStateChanged, this, [this] {
        if (cdsMain->state() == TDataSetState::Insert && detailShown()) {
            pcCud->setCurrentIndex(0);
            VelPageBuilder::focusFirstField(pcCud->currentWidget());
        }
    });
    connect(pcMain, &QTabWidget::currentChanged, this, [this] { ovGuarded([this] { loadActiveSection(); }); });
    buildKeys();
    connect(pcCud, &QTabWidget::currentChanged, this, [this] { ovGuarded([this] { loadActiveSection(); }); });
    afterOpen();
}

TfrVelCud::~TfrVelCud()
{
    // The pages go with the children, after this body: nothing may load then.
    m_opening = true;
    pcCud->disconnect(this);
    pcMain->disconnect(this);
    for (TfrVelSection *sec : m_sections)
        sec->setHost(nullptr);
}

void TfrVelCud::buildKeys()
{
    // Ctrl+F: the search, from wherever the focus is in the window.
    auto *find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    find->setContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        showGrid();
        edCerca->setFocus(Qt::ShortcutFocusReason);
        edCerca->selectAll();
    });
    // Ctrl+Tab: from the grid to the CU's detail and back, the focus with it.
    auto *swap = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Tab), this);
    swap->setContext(Qt::WidgetWithChildrenShortcut);
    connect(swap, &QShortcut::activated, this, [this] { toggleGridDetail(); });
}

void TfrVelCud::toggleGridDetail()
{
    if (detailShown()) {
        showGrid();
        grMain->setFocus(Qt::TabFocusReason);
        return;
    }
    showDetail();
    if (!detailShown())
        return;
    if (TfrVelSection *sec = activeSection())
        sec->setFocus(Qt::TabFocusReason);
    else if (!VelPageBuilder::focusFirstField(pcCud->currentWidget()))
        pcCud->setFocus(Qt::TabFocusReason);
}

void TfrVelCud::buildSearch()
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(4, 4, 4, 2);
    lbCerca = new QLabel(QStringLiteral("&Cerca per cognome o codice fiscale:"), tsGriglia);
    edCerca = new QLineEdit(tsGriglia);
    edCerca->setObjectName(QStringLiteral("edCerca"));
    edCerca->setClearButtonEnabled(true);
    edCerca->setPlaceholderText(QStringLiteral("Invio: successivo"));
    edCerca->setMaximumWidth(260);
    lbCerca->setBuddy(edCerca);
    auto *found = new QLabel(tsGriglia);
    found->setObjectName(QStringLiteral("lbTrovato"));
    row->addWidget(lbCerca);
    row->addWidget(edCerca, 1);
    row->addWidget(found);
    row->addStretch(1);
    if (auto *l = qobject_cast<QVBoxLayout *>(tsGriglia->layout()))
        l->insertLayout(0, row);
    const auto search = [this, found](bool next) {
        const QString t = edCerca->text().trimmed();
        found->setText(t.isEmpty() || findCu(t, next) ? QString() : QStringLiteral("Nessuna CU trovata"));
    };
    connect(edCerca, &QLineEdit::textEdited, this, [search] { search(false); });
    connect(edCerca, &QLineEdit::returnPressed, this, [search] { search(true); });
    setTabOrder(edCerca, grMain);
}

bool TfrVelCud::moveTo(int row)
{
    if (row + 1 != cdsMain->recNo())
        ovGuarded([&] { cdsMain->setRecNo(row + 1); });
    return cdsMain->recNo() == row + 1;
}

bool TfrVelCud::findCu(const QString &text, bool next)
{
    if (!cdsMain->active() || cdsMain->isEmpty() || text.trimmed().isEmpty())
        return false;
    const QString t = text.trimmed();
    const int fCognome = cdsMain->fieldIndex(fld::SCUDCOGNOME.qs());
    const int fNome = cdsMain->fieldIndex(fld::SCUDNOME.qs());
    const int fCodFis = cdsMain->fieldIndex(kCodFis);
    const int n = cdsMain->recordCount();
    const int start = next ? cdsMain->recNo() : 0;   // the row after the current one
    for (int i = 0; i < n; ++i) {
        const int row = (start + i) % n;
        const QString cognome = cdsMain->valueAt(row, fCognome).toString().trimmed();
        const QString nome = cdsMain->valueAt(row, fNome).toString().trimmed();
        if (cognome.startsWith(t, Qt::CaseInsensitive)
            || (cognome + u' ' + nome).startsWith(t, Qt::CaseInsensitive)
            || cdsMain->valueAt(row, fCodFis).toString().startsWith(t, Qt::CaseInsensitive))
            return moveTo(row);
    }
    return false;
}

int TfrVelCud::sortColumn() const
{
    const QString first = cdsMain->indexFieldNames().section(u';', 0, 0);
    const QList<TModelColumn> cols = grModel->columns();
    for (int i = 0; i < cols.size(); ++i)
        if (cols.at(i).fieldName.compare(first, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TfrVelCud::findInSortColumn(const QString &text)
{
    const int col = sortColumn();
    if (col < 0 || !cdsMain->active())
        return false;
    const int f = cdsMain->fieldIndex(grModel->columns().at(col).fieldName);
    for (int row = 0; row < cdsMain->recordCount(); ++row)
        if (cdsMain->valueAt(row, f).toString().trimmed().startsWith(text, Qt::CaseInsensitive))
            return moveTo(row);
    return false;
}

bool TfrVelCud::eventFilter(QObject *watched, QEvent *event)
{
    // Type-ahead on the grid follows the column the rows are sorted by.
    if (watched == grMain && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        const QString t = k->text();
        if (!t.isEmpty() && t.at(0).isPrint() && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (now - m_typedAt > QApplication::keyboardInputInterval())
                m_typed.clear();
            m_typedAt = now;
            m_typed += t;
            findInSortColumn(m_typed);
            return true;
        }
    }
    return TfrTorBase::eventFilter(watched, event);
}

void TfrVelCud::buildDetail()
{
    const VelRecordModel &model = VelRecordModel::instance();
    const VelStructureDesc &s = model.structure(structureName());
    const auto lookupFn = [this](TTorDbEdit *e, const VelFieldDesc &f) { lookup(e, f); };

    auto *l = new QVBoxLayout(tsDettaglio);
    l->setContentsMargins(4, 4, 4, 4);
    // Above the pages: surname, name, month and the other agent.
    auto *head = new QHBoxLayout;
    const auto addText = [&](const char *field, const char *caption, int width) {
        auto *lb = new QLabel(QString::fromUtf8(caption), tsDettaglio);
        auto *e = new TTorDbEdit(dsMain, QLatin1String(field), TorDbKind::Text, 0, tsDettaglio);
        e->setObjectName(QStringLiteral("hd") + QLatin1String(field));
        e->setFixedWidth(width);
        lb->setBuddy(e);
        head->addWidget(lb);
        head->addWidget(e);
    };
    addText(fld::SCUDCOGNOME.name, "Cognome", 200);
    addText(fld::SCUDNOME.name, "Nome", 160);
    addText(fld::SCUDMESE.name, "Mese", 40);
    if (const VelFieldDesc *altro = s.field(fld::SCUDALTROSOSCODFIS.qs())) {
        auto *lb = new QLabel(altro->caption(), tsDettaglio);
        auto *lk = new TTorDbLookup(dsMain, altro->name, tsDettaglio);
        lk->setFixedWidth(190);
        lk->edit()->onLookup = [this, altro](TTorDbEdit *e) { lookup(e, *altro); };
        head->addWidget(lb);
        head->addWidget(lk);
    }
    // Said while the CU is being changed, so that nobody leaves it half done.
    lbStato = new QLabel(tsDettaglio);
    lbStato->setObjectName(QStringLiteral("lbStato"));
    lbStato->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    head->addWidget(lbStato);
    head->addStretch(1);
    l->addLayout(head);

    pcCud = new QTabWidget(tsDettaglio);
    pcCud->setObjectName(QStringLiteral("pcCud"));
    pcCud->setUsesScrollButtons(true);
    l->addWidget(pcCud, 1);

    for (const VelEditorTab &tab : model.cuEditor()) {
        QWidget *page = nullptr;
        if (tab.structure.compare(structureName(), Qt::CaseInsensitive) == 0) {
            page = VelPageBuilder::build(s, tab.page, dsMain, lookupFn, pcCud);
            VelCorrectionBoxes::explain(page);
            if (tab.page == QLatin1String("ANNOTAZIONI")) {
                auto *holder = new QWidget(pcCud);
                auto *v = new QVBoxLayout(holder);
                v->setContentsMargins(0, 0, 0, 0);
                buAnnotazioni = new QPushButton(QStringLiteral("Annotazioni..."), holder);
                buAnnotazioni->setObjectName(QStringLiteral("buAnnotazioni"));
                connect(buAnnotazioni, &QPushButton::clicked, this, [this] { ovGuarded([this] { addAnnotation(); }); });
                auto *row = new QHBoxLayout;
                row->addWidget(buAnnotazioni);
                row->addStretch(1);
                v->addLayout(row);
                v->addWidget(page, 1);
                page = holder;
            }
        } else {
            TfrVelSection *f = nullptr;
            const QString st = tab.structure.toUpper();
            if (st == rec::TCUDI_INPS::id.l1() && tab.page == QLatin1String("INPS"))
                f = frVelInps = new TfrVelInps(pcCud);
            else if (st == rec::TCUDI_INPS::id.l1())
                f = frVelInpsSez3 = new TfrVelInpsSez3(pcCud);
            else if (st == rec::TCUDN_INPDAP::id.l1())
                f = frVelInpdap = new TfrVelInpdap(pcCud);
            else if (st == rec::TCUDCA_COOPART::id.l1())
                f = frVelCoopArt = new TfrVelCoopArt(pcCud);
            else if (st == rec::TCUDAE_ALTRIENTI::id.l1())
                f = frVelAltrienti = new TfrVelAltrienti(pcCud);
            else if (st == rec::TCUIN_INAIL::id.l1())
                f = frVelInail = new TfrVelInail(pcCud);
            else if (st == rec::TCUDT_TFR::id.l1())
                f = frVelTFR = new TfrVelTFR(pcCud);
            else if (st == rec::TASE_AUTSOMMEEROGATE::id.l1())
                f = frVelAutonomo = new TfrVelAutonomo(pcCud);
            else if (st == rec::TCUDC_CONFAMCARICO::id.l1())
                f = frVelConFamCar = new TfrVelConFamCar(pcCud);
            if (!f)
                continue;
            f->setHost(this);
            f->setTitle(tab.caption);
            m_sections.append(f);
            page = f;
        }
        pcCud->addTab(page, tab.caption);
    }
}

void TfrVelCud::open()
{
    if (!m_store)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
    m_opening = true;
    try {
        VelCuRepository(*m_store).load(*cdsSost, agentStructure(), TTorDBCds::AllMonths);
        ++m_loads;
        loadCus();
        ++m_loads;
    } catch (...) {
        m_opening = false;
        throw;
    }
    cdsMain->setIndexFieldNames(kDefaultOrder);
    QHeaderView *header = grMain->horizontalHeader();
    header->setSortIndicator(sortColumn(), Qt::AscendingOrder);
    // Every title whole, the sort arrow included, now that the grid has its style.
    for (int i = 0; i < header->count(); ++i)
        grMain->setColumnWidth(i, qMax(grMain->columnWidth(i), header->sectionSizeHint(i)));
    // Surname and name share what the other columns leave: no sideways scroll.
    const QList<TModelColumn> cols = grModel->columns();
    for (int i = 0; i < cols.size(); ++i)
        if (cols.at(i).fieldName == fld::SCUDCOGNOME.l1() || cols.at(i).fieldName == fld::SCUDNOME.l1())
            header->setSectionResizeMode(i, QHeaderView::Stretch);
    afterOpen();
    try {
        syncSignature();
    } catch (const ETorChangedMeanwhile &) {
        // a CU written meanwhile by another workstation: read as it is now,
        // the signature aligned at the next opening
        loadCus();
    }
    m_opening = false;
    cdsMain->first();
    showGrid();
    pcCud->setCurrentIndex(0);
    rowChangedHook();
}

void TfrVelCud::syncSignature()
{
    // Without an agent there is nothing to align the CUs with.
    if (!cdsSost->active() || cdsSost->isEmpty() || cdsMain->isEmpty())
        return;
    const QString firma = cdsSost->fieldByName(fld::SSOSFIRMACOM.qs()).asString();
    const TDataSetEvents saved = cdsMain->detachEvents();
    WaitShown wait(m_store && m_store->showWait());
    cdsMain->disableControls();
    // Each CU is written in the store period of its own month, as the editor
    // writes it: the CUs of one month at a time.
    QStringList months;
    try {
        const TField sign = cdsMain->fieldByName(fld::SCUDDATIANAFIRMA.qs());
        for (cdsMain->first(); !cdsMain->eof(); cdsMain->next()) {
            if (sign.asString() == firma)
                continue;
            const QString mese = cdsMain->fieldByName(kMese).asString();
            if (!months.contains(mese))
                months.append(mese);
            cdsMain->edit();
            sign.setValue(firma.isEmpty() ? QVariant() : QVariant(firma)); // iCudStato stays as it is
            cdsMain->post();
        }
        TTorVersionedWrites over(*m_store, m_versions);
        if (!months.isEmpty())
            velSaveCuByMonth(*m_store, structureName(), [&firma](TClientDataSet &one) {
                const TField oneSign = one.fieldByName(fld::SCUDDATIANAFIRMA.qs());
                if (oneSign.asString() == firma)
                    return false;
                one.edit();
                oneSign.setValue(firma.isEmpty() ? QVariant() : QVariant(firma));
                one.post();
                return true;
            });
        if (!months.isEmpty())
            cdsMain->mergeChangeLog();
    } catch (...) {
        if (cdsMain->changeCount() > 0)
            cdsMain->cancelUpdates();
        cdsMain->enableControls();
        cdsMain->attachEvents(saved);
        throw;
    }
    cdsMain->enableControls();
    cdsMain->attachEvents(saved);
    cdsMain->first();
}

int TfrVelCud::monthOf(const QString &mese)
{
    bool ok = false;
    const int m = mese.trimmed().toInt(&ok);
    return ok && m >= 1 && m <= 12 ? m : -1;
}

void TfrVelCud::rowChangedHook()
{
    if (m_opening || !cdsMain->active())
        return;
    const bool any = !cdsMain->isEmpty() || cdsMain->state() == TDataSetState::Insert;
    m_afiId = any ? cdsMain->fieldByName(fld::iAfiID.qs()).asInteger() : 0;
    m_codFis = any ? cdsMain->fieldByName(kCodFis).asString() : QString();
    m_mese = any ? cdsMain->fieldByName(kMese).asString() : QString();
    if (cdsMain->state() == TDataSetState::Browse)
        m_lock = any ? int(cdsMain->fieldByName(kStato).asInteger()) : 0;
    m_saveMonth = monthOf(m_mese);
    updateStato();
    loadActiveSection();
}

void TfrVelCud::updateStato()
{
    if (!acStato)
        return;
    const bool rows = cdsMain->active() && !cdsMain->isEmpty();
    const bool printed = rows && cdsMain->state() == TDataSetState::Browse && cdsMain->fieldByName(kStato).asInteger() > 0;
    acStato->setEnabled(printed);
    // A printed CU opens for reading, and says so: a key in its boxes is
    // answered with how to unlock it.
    if (lbStato && cdsMain->state() == TDataSetState::Browse)
        lbStato->setText(printed ? readOnlyText() : QString());
}

QString TfrVelCud::readOnlyText()
{
    return QStringLiteral("CU stampata: sola lettura");
}

TfrVelSection *TfrVelCud::activeSection() const
{
    if (!pcCud)
        return nullptr;
    return qobject_cast<TfrVelSection *>(pcCud->currentWidget());
}

void TfrVelCud::loadActiveSection()
{
    if (m_opening || !pcCud || !detailShown())
        return;
    TfrVelSection *sec = activeSection();
    if (!sec)
        return;
    // A pending change of the section is never dropped by a reload.
    if (sec->cdsMain->modified())
        return;
    if (cdsMain->state() == TDataSetState::Insert || m_afiId <= 0) {
        sec->clearSection();
        return;
    }
    sec->loadFor(m_afiId);
}

void TfrVelCud::showPage(const QString &caption)
{
    for (int i = 0; i < pcCud->count(); ++i) {
        if (pcCud->tabText(i) == caption) {
            showDetail();
            pcCud->setCurrentIndex(i);
            return;
        }
    }
}

void TfrVelCud::stateChangedHook(TDataSetState state)
{
    // The lock is taken again from the row when browsing resumes, so that a
    // cancelled insert does not leave a printed CU editable.
    m_lock = 0;
    if (state == TDataSetState::Browse && cdsMain->active() && !cdsMain->isEmpty())
        m_lock = int(cdsMain->fieldByName(kStato).asInteger());
    if (lbStato)
        lbStato->setText(state == TDataSetState::Insert ? QStringLiteral("Nuova CU: confermare o annullare")
                         : state == TDataSetState::Edit ? QStringLiteral("In modifica: confermare o annullare")
                                                        : QString());
    const bool ro = state != TDataSetState::Browse;
    for (TfrVelSection *sec : m_sections) {
        if (sec->cdsMain->modified() && ro)
            continue;
        sec->cdsMain->setReadOnly(ro);
        sec->updateActions();
        sec->dsMain->refresh();
    }
    updateStato();
}

void TfrVelCud::beforeEditCheck(TClientDataSet &)
{
    if (m_lock > 0)
        throw EOvWarning(printedText());
}

QString TfrVelCud::printedText()
{
    return QStringLiteral("Il modello è già stato stampato e non può essere modificato.\r\n"
                          "Per modificarlo sbloccarlo con il pulsante \"S\" (Sblocca) della barra in alto.\r\n")
           + VelCorrectionBoxes::lockedNote();
}

QString TfrVelCud::deleteQuestion() const
{
    return m_lock > 0 ? QStringLiteral("IL MODELLO E' GIA STATO STAMPATO. Confermi la cancellazione?")
                      : QStringLiteral("Confermi la cancellazione del modello corrente?");
}

void TfrVelCud::newRecord(TClientDataSet &ds)
{
    showDetail();
    std::unique_ptr<TfmVelCudIns> dlg(new TfmVelCudIns(this));
    if (dlg->ShowModal() != mrOk)
        throw EAbort();
    m_conguaglio = dlg->adjustmentFlag();
    const VelStructureDesc &s = VelRecordModel::instance().structure(structureName());
    for (const VelFieldDesc &f : s.fields) {
        if (f.isFlag() && !f.page.isEmpty())
            ds.fieldByName(f.name).setAsString(QStringLiteral("0"));
    }
    ds.fieldByName(kMese).setAsString(dlg->month());
    ds.fieldByName(fld::LCUDCONGUAGLIO.qs()).setAsString(m_conguaglio);
    ds.fieldByName(fld::LCUDCOMPRENSIVO.qs()).setAsString(QStringLiteral("X"));
}

void TfrVelCud::validatePost(TClientDataSet &ds)
{
    if (ds.state() == TDataSetState::Insert && ds.fieldByName(kCodFis).asString().trimmed().isEmpty())
        throw EOvWarning(QStringLiteral("Codice fiscale obbligatorio"));
    if (ds.state() == TDataSetState::Edit) {
        if (m_lock > 0)
            ds.fieldByName(kStato).setAsInteger(m_lock);
        else if (!ds.fieldByName(kStato).isNull())
            ds.fieldByName(kStato).setAsInteger(0);
    }
    refuseBrokenRules(ds);
    // The CU is written in the store period of its own month.
    m_saveMonth = monthOf(ds.fieldByName(kMese).asString());
}

void TfrVelCud::refuseBrokenRules(TClientDataSet &ds)
{
    // What the supply would refuse is refused when the CU is confirmed (tax
    // codes, provinces, municipalities' codes, the protocol of a CU replaced,
    // a birth date to come); a value that contradicts another (the tax code
    // against birth date and sex) is the office's to confirm.
    QStringList wrong;
    for (const VelFieldDesc &f : VelRecordModel::instance().structure(structureName()).fields) {
        const int i = ds.fieldIndex(f.name);
        if (i < 0 || f.page.isEmpty())
            continue;
        if (const QString why = VelSupplyRules::checkColumn(f.name, ds.field(i).asString()); !why.isEmpty())
            wrong << QStringLiteral(" - %1: %2").arg(f.caption().simplified(), why);
    }
    const TField birthField = ds.findField(fld::DCUDDATANAS.qs());
    const QDate birth = birthField && !birthField.isNull() ? birthField.asDate() : QDate();
    if (const QString why = VelSupplyRules::birthDate(birth, QDate::currentDate()); !why.isEmpty())
        wrong << QStringLiteral(" - Data di nascita: ") + why;
    if (!wrong.isEmpty()) {
        OvMessageBox(QStringLiteral("Valori che la fornitura non ammette:\n") + wrong.join(QLatin1Char('\n'))
                         + QStringLiteral("\nCorreggerli prima di salvare."),
                     MB_OK | MB_ICONWARNING);
        throw EAbort();
    }
    const QString code = ds.fieldByName(kCodFis).asString();
    QStringList doubtful;
    if (const QString why = VelSupplyRules::taxCodeAgainstBirth(code, birth, ds.fieldByName(fld::SCUDSEX.qs()).asString());
        !why.isEmpty())
        doubtful << QStringLiteral(" - ") + why;
    if (const QString why = VelSupplyRules::birthProvinceAgainstCode(ds.fieldByName(fld::SCUDPROVNAS.qs()).asString(), code);
        !why.isEmpty())
        doubtful << QStringLiteral(" - ") + why;
    if (!doubtful.isEmpty()
        && OvMessageBox(QStringLiteral("Dati in contrasto tra loro:\n") + doubtful.join(QLatin1Char('\n'))
                            + QStringLiteral("\nSalvare comunque?"),
                        MB_YESNO | MB_ICONWARNING)
               != IDYES)
        throw EAbort();
}

void TfrVelCud::saveData()
{
    if (m_store)
        saveOverVersion(*cdsMain, structureName());
    rowChangedHook();
}

void TfrVelCud::saveSection(TClientDataSet &ds, const QString &structure)
{
    if (m_store)
        saveOverVersion(ds, structure);
}

void TfrVelCud::beforeScrollCheck(TClientDataSet &)
{
    for (TfrVelSection *sec : m_sections) {
        if (sec->cdsMain->modified()) {
            OvMessageBox(QStringLiteral("Salvare prima di cambiare modello."), MB_OK | MB_ICONWARNING);
            throw EAbort();
        }
    }
}

void TfrVelCud::gridTitleClicked(int column)
{
    const QString field = grModel->columns().value(column).fieldName.toUpper();
    QString order = kDefaultOrder;
    if (field == fld::SCUDNOME.l1())
        order = QStringLiteral("SCUDNOME;SCUDCOGNOME;SCUDMESE");
    else if (field == fld::SCUDMESE.l1())
        order = QStringLiteral("SCUDMESE;SCUDCOGNOME;SCUDNOME");
    else if (field == fld::SCUDCODFIS.l1())
        order = fld::SCUDCODFIS.qs();
    cdsMain->setIndexFieldNames(order);
    grMain->horizontalHeader()->setSortIndicator(sortColumn(), Qt::AscendingOrder);
    m_typed.clear();
}

void TfrVelCud::unlock()
{
    if (!cdsMain->active() || cdsMain->isEmpty() || cdsMain->fieldByName(kStato).asInteger() <= 0)
        return;
    if (OvMessageBox(QStringLiteral("Il modello è gia stato stampato, si desidera modificarlo?"),
                     MB_YESNO | MB_ICONWARNING) != IDYES)
        return;
    m_lock = 0;
    cdsMain->edit();
    cdsMain->fieldByName(kStato).setAsInteger(0);
    confirm();
}

void TfrVelCud::addAnnotation()
{
    if (!cdsMain->active() || cdsMain->isEmpty() || cdsMain->readOnly())
        return;
    // A printed CU is not changed, not even by a note.
    if (!cdsMain->modified() && m_lock > 0)
        throw EOvWarning(printedText());
    std::unique_ptr<TfmVelNote> fm(new TfmVelNote(this));
    fm->loadNotes();
    QVariant code;
    if (!fm->choose(&code))
        return;
    const QString annotation = fm->currentAnnotation();
    cdsMain->edit();
    if (!cdsMain->modified())
        return;
    const TField f = cdsMain->fieldByName(fld::SCUDANNOTAZIONI.qs());
    const QString old = f.asString();
    const QString added = QStringLiteral("(") + code.toString() + QStringLiteral(") ") + annotation;
    // A first note does not start with an empty line.
    f.setAsString(old.isEmpty() ? added : old + QStringLiteral("\r\n") + added);
}

void TfrVelCud::lookup(TTorDbEdit *edit, const VelFieldDesc &field)
{
    VelLookup::run(edit, field, m_store, this);
}
