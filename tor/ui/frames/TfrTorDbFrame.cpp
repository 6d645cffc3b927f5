#include "tor/ui/frames/TfrTorDbFrame.h"

#include "tor/frames/TDataSource.h"
#include "tor/frames/TorDbFormat.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "platform/ui/framework/TOvActionList.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QSet>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kRefusedPost = QStringLiteral("Salvare prima di cambiare modello.");

// The innermost data frame holding the focus.
TfrTorDbFrame *focusFrame()
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        if (auto *f = qobject_cast<TfrTorDbFrame *>(w))
            return f;
    }
    return nullptr;
}

// The frames' keys come before the editing keys of the boxes (Ctrl+Z,
// Ctrl+Home...): a box inside a frame does not claim them.
class FrameKeys : public QObject
{
public:
    QSet<QKeyCombination> keys;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        auto *k = static_cast<QKeyEvent *>(event);
        if (!keys.contains(k->keyCombination()))
            return false;
        for (auto *w = qobject_cast<QWidget *>(watched); w; w = w->parentWidget()) {
            if (qobject_cast<TfrTorDbFrame *>(w)) {
                event->ignore();
                return true;
            }
        }
        return false;
    }
};

// Amount columns of a grid read as the boxes do: "#,##0.00", zero empty.
class AmountDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &) const override
    {
        return value.canConvert<Currency>() ? TorDbFormat::amountDisplay(value.value<Currency>()) : QString();
    }

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant v = index.data(Qt::EditRole);
        option->text = v.isValid() ? displayText(v, QLocale()) : QString();
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
    }
};

FrameKeys *frameKeys()
{
    static FrameKeys *filter = [] {
        auto *f = new FrameKeys;
        f->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(f);
        return f;
    }();
    return filter;
}

} // namespace

TfrTorDbFrame::TfrTorDbFrame(QWidget *parent)
    : TfrOvBase(parent)
{
    cdsMain = new TClientDataSet(this);
    cdsMain->setObjectName(QStringLiteral("cdsMain"));
    dsMain = new TDataSource(this);
    dsMain->setObjectName(QStringLiteral("dsMain"));
    dsMain->setDataSet(cdsMain);

    const int iPrimo = images.addNamed(QStringLiteral("PRIMO"));
    const int iPrec = images.addNamed(QStringLiteral("PRECEDENTE"));
    const int iSucc = images.addNamed(QStringLiteral("SUCCESSIVO"));
    const int iUlt = images.addNamed(QStringLiteral("ULTIMO"));
    const int iNuovo = images.addNamed(QStringLiteral("NUOVO"));
    const int iElimina = images.addNamed(QStringLiteral("ELIMINA"));
    const int iModifica = images.add(ovMakeIcon(OvGlyph::Pen, OvColors::Blue));
    const int iConferma = images.addNamed(QStringLiteral("CONFERMA"));
    const int iAnnulla = images.addNamed(QStringLiteral("ANNULLA"));

    const auto make = [this](const char *name, const char *caption, int image, const char *hint,
                             const QKeySequence &seq, void (TfrTorDbFrame::*slot)()) {
        QAction *a = alFrame->add(QLatin1String(name), QString::fromUtf8(caption), image);
        const QString h = QString::fromUtf8(hint);
        a->setStatusTip(h);
        a->setToolTip(seq.isEmpty() ? h : h + QStringLiteral(" (") + seq.toString(QKeySequence::NativeText) + u')');
        a->setProperty("hint", h);
        connect(a, &QAction::triggered, this, [this, slot] { ovGuarded([&] { (this->*slot)(); }); });
        addFrameAction(a);
        addShortcut(a, seq);
        return a;
    };
    acPrimo = make("acPrimo", "&Primo", iPrimo, "Primo elemento", QKeySequence(Qt::CTRL | Qt::Key_Home),
                   &TfrTorDbFrame::first);
    acPrecedente = make("acPrecedente", "Pre&cedente", iPrec, "Elemento precedente",
                        QKeySequence(Qt::CTRL | Qt::Key_Up), &TfrTorDbFrame::prior);
    acSuccessivo = make("acSuccessivo", "&Successivo", iSucc, "Elemento successivo",
                        QKeySequence(Qt::CTRL | Qt::Key_Down), &TfrTorDbFrame::next);
    acUltimo = make("acUltimo", "&Ultimo", iUlt, "Ultimo elemento", QKeySequence(Qt::CTRL | Qt::Key_End),
                    &TfrTorDbFrame::last);
    tbFrame->addSeparator();
    acInserisci = make("acInserisci", "&Inserisci", iNuovo, "Nuovo elemento", QKeySequence(Qt::CTRL | Qt::Key_Insert),
                       &TfrTorDbFrame::insertRow);
    acCancella = make("acCancella", "C&ancella", iElimina, "Cancella elemento", QKeySequence(Qt::CTRL | Qt::Key_Delete),
                      &TfrTorDbFrame::deleteRow);
    acModifica = make("acModifica", "&Modifica", iModifica, "Modifica elemento", QKeySequence(Qt::Key_F2),
                      &TfrTorDbFrame::editRow);
    tbFrame->addSeparator();
    acConferma = make("acConferma", "C&onferma", iConferma, "Conferma modifiche", QKeySequence(Qt::CTRL | Qt::Key_Return),
                      &TfrTorDbFrame::confirm);
    acAnnulla = make("acAnnulla", "A&nnulla", iAnnulla, "Annulla modifiche ", QKeySequence(Qt::CTRL | Qt::Key_Z),
                     &TfrTorDbFrame::cancelRow);
    addShortcut(acConferma, QKeySequence(Qt::CTRL | Qt::Key_Enter));

    auto *client = new QVBoxLayout(pnClient);
    client->setContentsMargins(0, 0, 0, 0);
    pcMain = new QTabWidget(pnClient);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    tsGriglia = new QWidget;
    tsGriglia->setObjectName(QStringLiteral("tsGriglia"));
    tsDettaglio = new QWidget;
    tsDettaglio->setObjectName(QStringLiteral("tsDettaglio"));
    pcMain->addTab(tsGriglia, QStringLiteral("Griglia"));
    pcMain->addTab(tsDettaglio, QStringLiteral("Dettaglio"));
    client->addWidget(pcMain);

    auto *gl = new QVBoxLayout(tsGriglia);
    gl->setContentsMargins(0, 0, 0, 0);
    grMain = new QTableView(tsGriglia);
    grMain->setObjectName(QStringLiteral("grMain"));
    grMain->setSelectionBehavior(QAbstractItemView::SelectRows);
    grMain->setSelectionMode(QAbstractItemView::SingleSelection);
    grMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grMain->verticalHeader()->setDefaultSectionSize(22);
    grMain->verticalHeader()->hide();
    grMain->setAlternatingRowColors(true);
    grModel = new TDataSetModel(cdsMain, this);
    grMain->setModel(grModel);
    gl->addWidget(grMain);
    connect(grMain->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { ovGuarded([&] { gridTitleClicked(column); }); });
    connect(grMain->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_syncing && current.isValid())
                    gridRowChosen(current.row());
            });
    connect(grMain, &QTableView::doubleClicked, this, [this] { showDetail(); });

    connect(cdsMain, &TClientDataSet::cursorMoved, this, [this] {
        syncGridToCursor();
        updateCounter();
    });
    connect(cdsMain, &TClientDataSet::dataSetReset, this, [this] {
        syncGridToCursor();
        updateCounter();
        updateActions();
    });
    connect(cdsMain, &TClientDataSet::rowInserted, this, [this] { updateCounter(); });
    connect(cdsMain, &TClientDataSet::rowRemoved, this, [this] { updateCounter(); });
    connect(cdsMain, &TClientDataSet::stateChanged, this, [this](TDataSetState s) {
        updateActions();
        updateCounter();
        if ((s == TDataSetState::Edit || s == TDataSetState::Insert) && m_goToDetail)
            showDetail();
        stateChangedHook(s);
        emit dataSetStateChanged();
    });
    attachRules();
    updateActions();
    updateCounter();
}

TfrTorDbFrame::~TfrTorDbFrame()
{
    // Views go before the dataset they show.
    grMain->setModel(nullptr);
    if (cdsMain)
        cdsMain->attachEvents(TDataSetEvents());
}

void TfrTorDbFrame::addShortcut(QAction *action, const QKeySequence &seq)
{
    if (seq.isEmpty())
        return;
    frameKeys()->keys.insert(seq[0]);
    auto *sc = new QShortcut(seq, this);
    sc->setContext(Qt::WidgetWithChildrenShortcut);
    const QString name = action->objectName();
    connect(sc, &QShortcut::activated, this, [action] {
        if (action->isEnabled())
            action->trigger();
    });
    // Frames inside frames share the keys: the one holding the focus acts.
    connect(sc, &QShortcut::activatedAmbiguously, this, [this, name] {
        TfrTorDbFrame *f = focusFrame();
        if (!f)
            f = this;
        if (QAction *a = f->alFrame->action(name); a && a->isEnabled())
            a->trigger();
    });
}

void TfrTorDbFrame::keyPressEvent(QKeyEvent *e)
{
    TfrOvBase::keyPressEvent(e);
}

void TfrTorDbFrame::attachRules()
{
    TDataSetEvents ev;
    ev.beforePost = [this](TClientDataSet &ds) {
        if (m_confirmOnly && !m_allowPost) {
            OvMessageBox(kRefusedPost, MB_OK | MB_ICONWARNING);
            throw EAbort();
        }
        validatePost(ds);
    };
    ev.afterPost = [this](TClientDataSet &) { saveData(); };
    ev.beforeDelete = [this](TClientDataSet &ds) {
        beforeDeleteCheck(ds);
        const QString q = deleteQuestion();
        if (!q.isEmpty() && OvMessageBox(q, MB_YESNO | MB_ICONWARNING) != IDYES)
            throw EAbort();
    };
    ev.afterDelete = [this](TClientDataSet &) { saveData(); };
    ev.beforeEdit = [this](TClientDataSet &ds) { beforeEditCheck(ds); };
    ev.onNewRecord = [this](TClientDataSet &ds) { newRecord(ds); };
    ev.beforeScroll = [this](TClientDataSet &ds) { beforeScrollCheck(ds); };
    ev.afterScroll = [this](TClientDataSet &) {
        rowChangedHook();
        emit currentRowChanged();
    };
    ev.afterOpen = [this](TClientDataSet &) { rowChangedHook(); };
    cdsMain->attachEvents(ev);
}

void TfrTorDbFrame::afterOpen()
{
    attachRules();
    // Amount columns without a delegate of their own get the amount format.
    for (int c = 0; c < grModel->columnCount(); ++c) {
        const int f = grModel->fieldOfColumn(c);
        if (f < 0 || f >= cdsMain->fieldCount() || cdsMain->fieldDefs().at(f).type != TFieldType::Currency)
            continue;
        if (!grMain->itemDelegateForColumn(c))
            grMain->setItemDelegateForColumn(c, new AmountDelegate(grMain));
    }
    syncGridToCursor();
    updateActions();
    updateCounter();
    rowChangedHook();
    emit currentRowChanged();
}

// ---- actions -------------------------------------------------------------

void TfrTorDbFrame::first()
{
    cdsMain->first();
}

void TfrTorDbFrame::prior()
{
    cdsMain->prior();
}

void TfrTorDbFrame::next()
{
    cdsMain->next();
}

void TfrTorDbFrame::last()
{
    cdsMain->last();
}

bool TfrTorDbFrame::canInsert() const
{
    return cdsMain->active() && !cdsMain->readOnly();
}

void TfrTorDbFrame::insertRow()
{
    if (!canInsert())
        return;
    if (m_goToDetail)
        showDetail();
    cdsMain->append();
}

void TfrTorDbFrame::deleteRow()
{
    if (!cdsMain->active() || cdsMain->readOnly() || cdsMain->isEmpty())
        return;
    if (cdsMain->state() == TDataSetState::Insert) {
        cdsMain->cancel();
        return;
    }
    if (cdsMain->modified())
        cdsMain->cancel();
    cdsMain->deleteRecord();
}

void TfrTorDbFrame::editRow()
{
    if (!cdsMain->active() || cdsMain->readOnly())
        return;
    cdsMain->edit();
}

void TfrTorDbFrame::confirm()
{
    if (!cdsMain->modified())
        return;
    dsMain->updateRecord();
    // What was typed, for when the database refuses the save: the store
    // then cancels the change, and the row goes back to the office as it
    // was typed, to confirm again or to drop.
    const bool inserting = cdsMain->state() == TDataSetState::Insert;
    const TBookmark row = inserting ? InvalidBookmark : cdsMain->bookmark();
    QVariantList typed;
    for (int i = 0; i < cdsMain->fieldCount(); ++i)
        typed << cdsMain->field(i).value();
    m_allowPost = true;
    try {
        cdsMain->post();
    } catch (const EDatabaseError &) {
        m_allowPost = false;
        putBackTyped(inserting, row, typed);
        updateActions();
        throw;
    } catch (...) {
        m_allowPost = false;
        updateActions();
        throw;
    }
    m_allowPost = false;
    updateActions();
}

void TfrTorDbFrame::putBackTyped(bool inserting, TBookmark row, const QVariantList &typed)
{
    if (cdsMain->modified() || cdsMain->changeCount() > 0 || cdsMain->readOnly())
        return; // still there (refused before it was posted, or kept pending)
    try {
        if (inserting) {
            cdsMain->append();
        } else {
            if (!cdsMain->bookmarkValid(row))
                return;
            cdsMain->gotoBookmark(row);
            cdsMain->edit();
        }
        for (int i = 0; i < typed.size() && i < cdsMain->fieldCount(); ++i)
            if (cdsMain->field(i).value() != typed.at(i))
                cdsMain->field(i).setValue(typed.at(i));
    } catch (const EOvException &) {
        // The row cannot be edited again (a rule of the frame refused it):
        // the change stays cancelled, as the store left it.
    }
}

void TfrTorDbFrame::cancelRow()
{
    if (cdsMain->modified())
        cdsMain->cancel();
}

// ---- pages and grid ------------------------------------------------------

void TfrTorDbFrame::showGrid()
{
    pcMain->setCurrentWidget(tsGriglia);
}

void TfrTorDbFrame::showDetail()
{
    if (pcMain->indexOf(tsDettaglio) >= 0 && pcMain->isTabVisible(pcMain->indexOf(tsDettaglio)))
        pcMain->setCurrentWidget(tsDettaglio);
}

bool TfrTorDbFrame::detailShown() const
{
    return pcMain->currentWidget() == tsDettaglio;
}

void TfrTorDbFrame::gridTitleClicked(int column)
{
    grModel->toggleSort(column);
}

void TfrTorDbFrame::syncGridToCursor()
{
    m_syncing = true;
    const int row = cdsMain->active() ? cdsMain->recNo() - 1 : -1;
    if (row >= 0 && row < grModel->rowCount()) {
        const QModelIndex idx = grModel->index(row, 0);
        grMain->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
        grMain->scrollTo(idx);
    } else {
        grMain->selectionModel()->clearSelection();
    }
    m_syncing = false;
}

void TfrTorDbFrame::gridRowChosen(int row)
{
    if (!cdsMain->active() || row + 1 == cdsMain->recNo())
        return;
    ovGuarded([&] { cdsMain->setRecNo(row + 1); });
    // Refused (a pending change): the grid goes back to the current row.
    if (cdsMain->recNo() != row + 1)
        syncGridToCursor();
}

// ---- state ---------------------------------------------------------------

void TfrTorDbFrame::setTitle(const QString &title)
{
    m_title = title;
    updateCounter();
}

QString TfrTorDbFrame::counterText() const
{
    if (!cdsMain->active())
        return QString();
    if (cdsMain->state() == TDataSetState::Insert)
        return QStringLiteral("Ins.");
    return QStringLiteral("%1 di %2").arg(cdsMain->recNo()).arg(cdsMain->recordCount());
}

void TfrTorDbFrame::updateCounter()
{
    const QString c = counterText();
    setContextCaption(m_title.isEmpty() ? c : c.isEmpty() ? m_title : m_title + QStringLiteral("    ") + c);
}

void TfrTorDbFrame::updateActions()
{
    const bool active = cdsMain->active();
    const bool editing = active && cdsMain->modified();
    const bool writable = active && !cdsMain->readOnly();
    const bool rows = active && !cdsMain->isEmpty();
    acPrimo->setEnabled(rows);
    acPrecedente->setEnabled(rows);
    acSuccessivo->setEnabled(rows);
    acUltimo->setEnabled(rows);
    acInserisci->setEnabled(writable && !editing);
    acCancella->setEnabled(writable && (rows || editing));
    acModifica->setEnabled(writable && rows && !editing);
    acConferma->setEnabled(editing);
    acAnnulla->setEnabled(editing);
}
