#include "src/prj/unit/editors/TfrVelSostituti.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelCuByMonth.h"

#include "src/prj/unit/editors/VelAskToProceed.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/editors/VelLookup.h"
#include "src/prj/unit/check/VelMandatoryFields.h"
#include "src/prj/unit/check/VelSupplyRules.h"
#include "src/prj/unit/editors/VelPageBuilder.h"
#include "src/prj/unit/model/VelRecordModel.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "tor/frames/TDataSource.h"
#include "tor/ui/frames/TorDbControls.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QAction>
#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QValidator>
#include <QVBoxLayout>

namespace {

// Every text box of these editors turns what is typed to capitals.
class UpperCase : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

// The boxes that hold a tax code and get the check-character mark.
bool isCodFisField(const QString &name)
{
    static const QStringList kFields = {
        fld::SSOSCODFIS.qs(),       fld::SSOSCODFISSOSSUB.qs(), fld::SSOSCFRAPPR.qs(),
        fld::SSOSCFSOCENTE.qs(),    fld::SSOSCODFISINTERM.qs(), fld::SCTCODFIS.qs(),
        fld::SCTCODFISINTERM.qs(),  fld::SFORCODFIS.qs()};
    return kFields.contains(name.toUpper());
}

const QString kCudStructure = rec::TCUD_DATICUD::id.qs();
const QString kAltroSost = fld::SCUDALTROSOSCODFIS.qs();

QString text(TClientDataSet &ds, const char *field)
{
    return ds.fieldByName(QLatin1String(field)).asString();
}

} // namespace

// ---- common ----------------------------------------------------------------

TfrVelAgentBase::TfrVelAgentBase(const QString &structure, bool oneRow, QWidget *parent)
    : TfrVefBase(parent)
    , m_structure(structure)
    , m_oneRow(oneRow)
{
    const VelRecordModel &model = VelRecordModel::instance();
    model.createDataSet(m_structure, *cdsMain);
    const VelStructureDesc &s = model.structure(m_structure);
    setTitle(s.caption);

    // Grid: the model's columns; when it has no visible one, the agent's
    // code and name come first.
    QList<TModelColumn> cols;
    QList<bool> hidden;
    bool visible = false;
    for (const VelGridColumn &c : s.grid)
        visible = visible || !c.hidden;
    if (!visible) {
        for (const char *f : {fld::SSOSCODFIS.name, fld::SSOSDENOM.name, fld::SSOSNOME.name}) {
            if (const VelFieldDesc *fd = s.field(QLatin1String(f))) {
                cols.append({fd->name, fd->label, 0});
                hidden.append(false);
            }
        }
    }
    for (const VelGridColumn &c : s.grid) {
        cols.append({c.field, c.caption, c.width});
        hidden.append(c.hidden);
    }
    grModel->setColumns(cols);
    for (int i = 0; i < cols.size(); ++i) {
        grMain->setColumnHidden(i, hidden.at(i));
        const VelFieldDesc *fd = s.field(cols.at(i).fieldName);
        const int wide = fd && fd->size >= 40 ? 460 : 160;
        grMain->setColumnWidth(i, qMax(wide, grMain->fontMetrics().horizontalAdvance(cols.at(i).title) + 30));
    }

    if (m_oneRow) {
        // No navigation in a one-row editor: the buttons and their separator go.
        const QList<QAction *> bar = tbFrame->actions();
        for (int i = 0; i < bar.size(); ++i) {
            QAction *a = bar.at(i);
            if (a == acPrimo || a == acPrecedente || a == acSuccessivo || a == acUltimo) {
                a->setVisible(false);
                if (i + 1 < bar.size() && bar.at(i + 1)->isSeparator() && a == acUltimo)
                    bar.at(i + 1)->setVisible(false);
            }
        }
    }
    connect(dsMain, &TDataSource::dataChanged, this, [this] { updateMarks(); });
}

void TfrVelAgentBase::buildPage(const QString &heading, const QList<QList<Group>> &columns)
{
    const VelStructureDesc &s = VelRecordModel::instance().structure(m_structure);
    const auto lookupFn = [this](TTorDbEdit *e, const VelFieldDesc &f) { lookup(e, f); };

    auto *outer = new QVBoxLayout(tsDettaglio);
    outer->setContentsMargins(4, 4, 4, 4);
    auto *scroll = new QScrollArea(tsDettaglio);
    scroll->setObjectName(QStringLiteral("scDettaglio"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *content = new QWidget;
    auto *v = new QVBoxLayout(content);
    v->setContentsMargins(6, 6, 6, 6);
    lbHeading = new QLabel(heading, content);
    lbHeading->setObjectName(QStringLiteral("lbHeading"));
    QFont hf = lbHeading->font();
    hf.setBold(true);
    hf.setPointSizeF(hf.pointSizeF() + 1);
    lbHeading->setFont(hf);
    v->addWidget(lbHeading);
    auto *cols = new QBoxLayout(QBoxLayout::LeftToRight);
    cols->setSpacing(10);
    v->addLayout(cols);
    m_columns = cols;
    v->addStretch(1);

    // Long boxes are capped so that the columns fit a 1280-pixel window: a
    // full-length value scrolls inside its box.
    const int many = int(columns.size());
    int colIndex = 0;
    for (const QList<Group> &column : columns) {
        const int cap = many == 1 ? 560 : colIndex == 0 ? 430 : 290;
        ++colIndex;
        auto *cv = new QVBoxLayout;
        cv->setSpacing(8);
        for (const Group &g : column) {
            auto *box = new QGroupBox(g.title, content);
            box->setObjectName(QStringLiteral("gb") + QString::number(m_controls.size()));
            auto *grid = new QGridLayout(box);
            grid->setContentsMargins(8, 6, 8, 6);
            grid->setHorizontalSpacing(8);
            grid->setVerticalSpacing(4);
            int row = 0;
            if (!g.note.isEmpty()) {
                auto *note = new QLabel(g.note, box);
                note->setWordWrap(true);
                QFont nf = note->font();
                nf.setItalic(true);
                note->setFont(nf);
                grid->addWidget(note, row++, 0, 1, 3);
            }
            for (const QString &name : g.fields) {
                const VelFieldDesc *f = s.field(name);
                if (!f)
                    continue;
                QWidget *w = VelPageBuilder::fieldWidget(*f, dsMain, lookupFn, box, f->isFlag());
                w->setObjectName(QStringLiteral("ed") + f->name);
                m_controls.insert(f->name.toUpper(), w);
                TTorDbEdit *edit = qobject_cast<TTorDbEdit *>(w);
                if (auto *lk = qobject_cast<TTorDbLookup *>(w))
                    edit = lk->edit();
                if (edit && (edit->kind() == TorDbKind::Text || edit->kind() == TorDbKind::Lookup))
                    edit->setValidator(new UpperCase(edit));
                if (w->maximumWidth() > cap && w->maximumWidth() < QWIDGETSIZE_MAX)
                    w->setFixedWidth(cap);
                if (f->isFlag()) {
                    grid->addWidget(w, row, 0, 1, 3);
                    ++row;
                    continue;
                }
                auto *lb = new QLabel(f->label, box);
                lb->setToolTip(f->name);
                lb->setWordWrap(true);
                lb->setMaximumWidth(many == 1 ? 320 : 210);
                lb->setMinimumWidth(many == 1 ? 150 : 180);
                lb->setBuddy(w);
                grid->addWidget(lb, row, 0);
                grid->addWidget(w, row, 1, Qt::AlignLeft);
                if (f->kind == VelFieldKind::Lookup && !f->table.isEmpty() && edit) {
                    // A code with its description under it.
                    auto *desc = new QLabel(box);
                    desc->setObjectName(QStringLiteral("ds") + f->name);
                    desc->setWordWrap(true);
                    desc->setMinimumHeight(desc->fontMetrics().height());
                    m_descriptions.insert(f->name.toUpper(), {desc, f->table});
                    grid->addWidget(desc, ++row, 1, 1, 2);
                    connect(edit, &QLineEdit::textChanged, this, [this] { updateMarks(); });
                } else if (isCodFisField(f->name) && edit) {
                    // Under the box, on a line of its own that is always
                    // there: the note comes and goes without moving the page.
                    auto *mark = new QLabel(box);
                    mark->setObjectName(QStringLiteral("mk") + f->name);
                    mark->setStyleSheet(QStringLiteral("color: #c00000;"));
                    mark->setFixedHeight(mark->fontMetrics().height());
                    mark->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
                    m_marks.insert(f->name.toUpper(), mark);
                    grid->addWidget(mark, ++row, 1, 1, 2);
                    connect(edit, &QLineEdit::textChanged, this, [this] { updateMarks(); });
                }
                ++row;
            }
            grid->setColumnStretch(2, 1);
            cv->addWidget(box);
        }
        cv->addStretch(1);
        cols->addLayout(cv, 1);
    }
    scroll->setWidget(content);
    VelPageBuilder::flowColumns(scroll, cols);
    outer->addWidget(scroll);
    updateMarks();
}

bool TfrVelAgentBase::columnsSideBySide() const
{
    return m_columns && m_columns->direction() == QBoxLayout::LeftToRight;
}

QString TfrVelAgentBase::codeDescription(const QString &table, const QString &code)
{
    if (!m_tables.contains(table)) {
        QHash<QString, QString> rows;
        try {
            TClientDataSet ds;
            VelCodeTables::load(ds, table);
            const int c = ds.fieldIndex(QStringLiteral("Codice"));
            const int d = ds.fieldIndex(QStringLiteral("Descrizione"));
            for (int r = 0; c >= 0 && d >= 0 && r < ds.recordCount(); ++r)
                rows.insert(ds.valueAt(r, c).toString().trimmed().toUpper(), ds.valueAt(r, d).toString().trimmed());
        } catch (const std::exception &) {
            // A table that cannot be read leaves the codes without descriptions.
        }
        m_tables.insert(table, rows);
    }
    return m_tables.value(table).value(code.trimmed().toUpper());
}

void TfrVelAgentBase::updateMarks()
{
    for (auto it = m_descriptions.begin(); it != m_descriptions.end(); ++it) {
        QString code;
        if (auto *lk = qobject_cast<TTorDbLookup *>(control(it.key())))
            code = lk->edit()->text();
        const QString d = code.trimmed().isEmpty() ? QString() : codeDescription(it.value().second, code);
        // A table still to be filled in has no word on its codes.
        const bool unknown = d.isEmpty() && !code.trimmed().isEmpty() && !m_tables.value(it.value().second).isEmpty();
        it.value().first->setText(unknown ? QStringLiteral("Codice non in tabella") : d);
    }
    for (auto it = m_marks.begin(); it != m_marks.end(); ++it) {
        QString code;
        if (auto *e = qobject_cast<QLineEdit *>(control(it.key())))
            code = e->text();
        const QString p = VelCodFis::problem(code);
        it.value()->setText(p);
        it.value()->setToolTip(p.isEmpty() ? QString()
                                           : QStringLiteral("Controllare il codice fiscale: ") + p.toLower());
    }
}

void TfrVelAgentBase::open()
{
    if (!m_store)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
    VelCuRepository(*m_store).load(*cdsMain, m_structure, TTorDBCds::AllMonths);
    afterOpen();
    cdsMain->first();
    dsMain->refresh();
    rowChangedHook();
    updateActions();
    updateMarks();
}

void TfrVelAgentBase::close()
{
    if (cdsMain->active() && cdsMain->modified())
        cdsMain->cancel();
    cdsMain->close();
    updateActions();
}

bool TfrVelAgentBase::canInsert() const
{
    if (m_oneRow && cdsMain->active() && !cdsMain->isEmpty())
        return false;
    return TfrVefBase::canInsert();
}

void TfrVelAgentBase::updateActions()
{
    TfrVefBase::updateActions();
    if (m_hideDelete)
        acCancella->setVisible(false);
    if (!m_oneRow)
        return;
    const bool active = cdsMain->active();
    const bool inserting = active && cdsMain->state() == TDataSetState::Insert;
    const bool rows = active && !cdsMain->isEmpty() && !inserting;
    for (QAction *a : {acPrimo, acPrecedente, acSuccessivo, acUltimo})
        a->setEnabled(false);
    acInserisci->setVisible(!rows);
    if (rows)
        acInserisci->setEnabled(false);
    // The only row of the agent cannot go: its delete is not offered.
    if (m_keepOnlyRow && rows && cdsMain->recordCount() <= 1)
        acCancella->setEnabled(false);
    if (!rows)
        acModifica->setEnabled(false);
}

void TfrVelAgentBase::newRecord(TClientDataSet &ds)
{
    const VelStructureDesc &s = VelRecordModel::instance().structure(m_structure);
    for (const VelFieldDesc &f : s.fields) {
        if (f.isFlag() && !f.page.isEmpty())
            ds.fieldByName(f.name).setAsString(QStringLiteral("0"));
    }
}

void TfrVelAgentBase::rowChangedHook()
{
    updateMarks();
}

void TfrVelAgentBase::lookup(TTorDbEdit *edit, const VelFieldDesc &field)
{
    VelLookup::run(edit, field, m_store, this);
}

void TfrVelAgentBase::saveData()
{
    if (m_store)
        VelCuRepository(*m_store).write(*cdsMain, m_structure);
    updateActions();
}

// ---- withholding agent -------------------------------------------------------

TfrVelSost::TfrVelSost(QWidget *parent)
    : TfrVelAgentBase(structure(), true, parent)
{
    setObjectName(QStringLiteral("frVelSost"));
    m_keepOnlyRow = true;
    // The groups of the certification's frontispiece.
    buildPage(QStringLiteral("DATI RELATIVI AL SOSTITUTO"),
              {{{QString(),
                 {fld::SSOSCODFIS.qs(), fld::SSOSDENOM.qs(), fld::SSOSNOME.qs(),
                  fld::SSOSTELFAX.qs(), fld::SSOSEMAIL.qs(), fld::SSOSINDIRIZZO.qs(),
                  fld::SSOSCAP.qs(), fld::SSOSPROV.qs(), fld::SSOSCOMUNE.qs(),
                  fld::SSOSCODATTIVITA.qs(), fld::SSOSCODSEDE.qs(), fld::SSOSEVECC.qs(),
                  fld::LSOSCASIPARTICOLARI.qs(), fld::SSOSCODFISSOSSUB.qs()},
                 {}},
                {QStringLiteral("TIPO DI COMUNICAZIONE"),
                 {fld::LSOSANNULLAMENTO.qs(), fld::LSOSSOSTITUZIONE.qs()},
                 {}}},
               {{QStringLiteral("DATI RELATIVI AL RAPPRESENTANTE FIRMATARIO DELLA COMUNICAZIONE"),
                 {fld::SSOSCFRAPPR.qs(), fld::SCARCODICE.qs(), fld::SSOSCOGNRAPPR.qs(),
                  fld::SSOSNOMERAPPR.qs(), fld::SSOSCFSOCENTE.qs()},
                 {}},
                {QStringLiteral("FIRMA DELLA COMUNICAZIONE"),
                 {fld::ISOSNDIP.qs(), fld::LSOSCT.qs(), fld::SSOSFIRMACOM.qs()},
                 {}},
                {QStringLiteral("IMPEGNO ALLA PRESENTAZIONE TELEMATICA"),
                 {fld::SSOSCODFISINTERM.qs(), fld::LSOSDICHCONTRIB.qs(),
                  fld::DSOSDTIMPEGNO.qs(), fld::SSOSINTERMEDIARIO.qs()},
                 QStringLiteral("Riservato all'incaricato")}}});
    if (QWidget *n = control(fld::ISOSNDIP.qs()))
        n->setToolTip(QStringLiteral("Somma delle certificazioni di lavoro dipendente e di lavoro autonomo della fornitura"));
    afterOpen();
}

void TfrVelAgentBase::refuseBrokenRules(TClientDataSet &ds)
{
    QStringList wrong;
    for (const VelFieldDesc &f : VelRecordModel::instance().structure(m_structure).fields) {
        const int i = ds.fieldIndex(f.name);
        if (i < 0)
            continue;
        if (const QString why = VelSupplyRules::checkColumn(f.name, ds.field(i).asString()); !why.isEmpty())
            wrong << QStringLiteral(" - %1: %2").arg(f.caption().simplified(), why);
    }
    if (wrong.isEmpty())
        return;
    OvMessageBox(QStringLiteral("Valori che la fornitura non ammette:\n") + wrong.join(QLatin1Char('\n'))
                     + QStringLiteral("\nCorreggerli prima di salvare."),
                 MB_OK | MB_ICONWARNING);
    throw EAbort();
}

void TfrVelSost::validatePost(TClientDataSet &ds)
{
    refuseBrokenRules(ds);
}

void TfrVelSost::beforeDeleteCheck(TClientDataSet &ds)
{
    if (ds.recordCount() <= 1) {
        OvMessageBox(QStringLiteral("Presenza di un unico rigo per il sostituto, non è possibile cancellarlo!"),
                     MB_OK | MB_ICONWARNING);
        throw EAbort();
    }
}

// ---- other agents ------------------------------------------------------------

TfrVelAltriSost::TfrVelAltriSost(QWidget *parent)
    : TfrVelAgentBase(structure(), false, parent)
{
    setObjectName(QStringLiteral("frVelAltriSost"));
    cdsCud = new TClientDataSet(this);
    cdsCud->setObjectName(QStringLiteral("cdsCud"));
    VelRecordModel::instance().createDataSet(kCudStructure, *cdsCud);
    buildPage(QStringLiteral("DATI RELATIVI AL DATORE DI LAVORO, ENTE PENSIONISTICO O ALTRO SOSTITUTO D'IMPOSTA"),
              {{{QString(),
                 {fld::SSOSCODFIS.qs(), fld::SSOSDENOM.qs(), fld::SSOSNOME.qs(),
                  fld::SSOSINDIRIZZO.qs(), fld::SSOSCAP.qs(), fld::SSOSPROV.qs(),
                  fld::SSOSCOMUNE.qs()},
                 {}}},
               {{QString(),
                 {fld::SSOSTELFAX.qs(), fld::SSOSFIRMA.qs(), fld::SSOSEMAIL.qs(),
                  fld::SSOSCODATTIVITA.qs(), fld::SSOSCODSEDE.qs()},
                 {}}}});
    afterOpen();
}

void TfrVelAltriSost::reloadCud()
{
    // Read again each time: the CU editor may have changed the CUs since.
    VelCuRepository(*m_store).load(*cdsCud, kCudStructure, TTorDBCds::AllMonths);
}

void TfrVelAltriSost::open()
{
    if (!m_store)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
    reloadCud();
    TfrVelAgentBase::open();
}

void TfrVelAltriSost::close()
{
    cdsCud->close();
    TfrVelAgentBase::close();
}

void TfrVelAltriSost::rowChangedHook()
{
    if (cdsMain->active() && cdsMain->state() == TDataSetState::Browse)
        m_oldCode = cdsMain->isEmpty() ? QString() : text(*cdsMain, fld::SSOSCODFIS.name);
    TfrVelAgentBase::rowChangedHook();
}

void TfrVelAltriSost::stateChangedHook(TDataSetState state)
{
    // A new row has no code of its own to move CUs from.
    if (state == TDataSetState::Insert)
        m_oldCode.clear();
    else if (state == TDataSetState::Browse && cdsMain->active())
        m_oldCode = cdsMain->isEmpty() ? QString() : text(*cdsMain, fld::SSOSCODFIS.name);
}

void TfrVelAltriSost::validatePost(TClientDataSet &ds)
{
    const QString code = text(ds, fld::SSOSCODFIS.name).trimmed();
    if (code.isEmpty()) {
        OvMessageBox(QStringLiteral("ATTENZIONE: E' necessario specificare il codice fiscale del sostituto."),
                     MB_OK | MB_ICONWARNING);
        throw EAbort();
    }
    refuseBrokenRules(ds);
    m_moves.clear();
    m_newCode.clear();
    // The CUs that named the old code are to name the new one. An agent
    // without a code before (a new row) moves nothing: the CUs without an
    // other agent stay without one.
    const QString old = m_oldCode.trimmed();
    if (old.isEmpty() || old == text(ds, fld::SSOSCODFIS.name))
        return;
    reloadCud();
    const TDataSetEvents saved = cdsCud->detachEvents();
    const TField altro = cdsCud->fieldByName(kAltroSost);
    for (cdsCud->first(); !cdsCud->eof(); cdsCud->next()) {
        if (altro.asString().trimmed() != old)
            continue;
        const QString mese = text(*cdsCud, fld::SCUDMESE.name);
        if (!m_moves.contains(mese))
            m_moves.append(mese);
    }
    cdsCud->attachEvents(saved);
    m_movedFrom = old;
    m_newCode = text(ds, fld::SSOSCODFIS.name);
}

void TfrVelAltriSost::saveData()
{
    // Taken first: a failed save of the agents must not leave moves behind
    // for the next post.
    const QStringList months = m_moves;
    m_moves.clear();
    if (months.isEmpty() || !m_store) {
        TfrVelAgentBase::saveData();
    } else {
        // The agent and the CUs that name it change together or not at all:
        // no CU may be left naming a code that no agent has.
        TOvTransaction tr(m_store->connection());
        tr.StartTransaction();
        try {
            TfrVelAgentBase::saveData();
            const QString from = m_movedFrom;
            const QString to = m_newCode;
            velSaveCuByMonth(*m_store, kCudStructure, [&from, &to](TClientDataSet &ds) {
                const TField altro = ds.fieldByName(kAltroSost);
                if (altro.asString().trimmed() != from)
                    return false;
                ds.edit();
                altro.setAsString(to);
                ds.post();
                return true;
            });
            tr.Commit();
        } catch (...) {
            tr.Rollback();
            // The agents' save had already been taken into the window: show
            // again what the store holds, the old code on the old row.
            const QString old = m_movedFrom;
            try {
                VelCuRepository(*m_store).load(*cdsMain, structureName(), TTorDBCds::AllMonths);
                if (!old.isEmpty())
                    cdsMain->locate(fld::SSOSCODFIS.qs(), old);
                reloadCud();
            } catch (...) {
            }
            throw;
        }
        reloadCud();
    }
    if (cdsMain->state() == TDataSetState::Browse)
        m_oldCode = cdsMain->isEmpty() ? QString() : text(*cdsMain, fld::SSOSCODFIS.name);
}

void TfrVelAltriSost::beforeDeleteCheck(TClientDataSet &ds)
{
    const QString code = text(ds, fld::SSOSCODFIS.name).trimmed();
    if (code.isEmpty())
        return;
    reloadCud();
    bool named = false;
    const TDataSetEvents saved = cdsCud->detachEvents();
    const TField altro = cdsCud->fieldByName(kAltroSost);
    for (cdsCud->first(); !cdsCud->eof() && !named; cdsCud->next())
        named = altro.asString().trimmed() == code;
    cdsCud->attachEvents(saved);
    if (named) {
        OvMessageBox(QStringLiteral("Impossibile cancellare il sostituto, risultano associati dei Dati Cud."),
                     MB_OK | MB_ICONWARNING);
        throw EAbort();
    }
}

// ---- Quadro CT ---------------------------------------------------------------

TfrVelQuaCt::TfrVelQuaCt(QWidget *parent)
    : TfrVelAgentBase(structure(), true, parent)
{
    setObjectName(QStringLiteral("frVelQuaCt"));
    m_hideDelete = true;
    cdsSost = new TClientDataSet(this);
    cdsSost->setObjectName(QStringLiteral("cdsSost"));
    VelRecordModel::instance().createDataSet(TfrVelSost::structure(), *cdsSost);
    buildPage(QStringLiteral("DATI DEL SOTITUTO D'IMPOSTA RICHIEDENTE"),
              {{{QString(), {fld::SCTCODFIS.qs()}, {}},
                {QStringLiteral("SEZIONE A"),
                 {fld::LCTFISCONLINE.qs(), fld::SCTCELL.qs(), fld::SCTEMAIL.qs(),
                  fld::SCTSEDEENT.qs()},
                 QStringLiteral("Richiesta che i dati relativi ai mod. 730-4 siano resi disponibili direttamente "
                                "all'indirizzo telematico del sostituto.\nSenza la spunta: UTENTI ABILITATI AL "
                                "SERVIZIO ENTRATEL")}},
               {{QStringLiteral("SEZIONE B - Intermediario incaricato"),
                 {fld::SCTCODFISINTERM.qs(), fld::SCTSEDEENTINTERM.qs(),
                  fld::SCTCELLINTERM.qs(), fld::SCTEMAILINTERM.qs()},
                 {}},
                {QString(), {fld::SCTFIRMA.qs()}, {}}}});
    afterOpen();
}

void TfrVelQuaCt::open()
{
    if (!m_store)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
    VelCuRepository(*m_store).load(*cdsSost, TfrVelSost::structure(), TTorDBCds::AllMonths);
    TfrVelAgentBase::open();
}

void TfrVelQuaCt::close()
{
    cdsSost->close();
    TfrVelAgentBase::close();
}

void TfrVelQuaCt::validatePost(TClientDataSet &)
{
    m_posting = true;
}

void TfrVelQuaCt::saveData()
{
    const bool posted = m_posting;
    m_posting = false;
    TfrVelAgentBase::saveData();
    if (!posted || !m_store)
        return;
    // The agent's "Quadro CT" box: whether the request gives a mobile number
    // or an e-mail address. The agent is read again, so that a change made
    // meanwhile in its own editor is not overwritten.
    VelCuRepository(*m_store).load(*cdsSost, TfrVelSost::structure(), TTorDBCds::AllMonths);
    if (cdsSost->isEmpty())
        return;
    const bool any = !text(*cdsMain, fld::SCTCELL.name).trimmed().isEmpty() || !text(*cdsMain, fld::SCTEMAIL.name).trimmed().isEmpty();
    const TDataSetEvents saved = cdsSost->detachEvents();
    cdsSost->first();
    cdsSost->edit();
    cdsSost->fieldByName(fld::LSOSCT.qs()).setAsString(any ? QStringLiteral("1") : QStringLiteral("0"));
    cdsSost->post();
    cdsSost->attachEvents(saved);
    VelCuRepository(*m_store).write(*cdsSost, TfrVelSost::structure());
}

// ---- supplier ----------------------------------------------------------------

TfrVelFornitore::TfrVelFornitore(QWidget *parent)
    : TfrVelAgentBase(structure(), true, parent)
{
    setObjectName(QStringLiteral("frVelFornitore"));
    askToProceed = velAskToProceed;
    buildPage(QStringLiteral("Dati Fornitore"),
              {{{QString(), {fld::SFORCODFIS.qs(), fld::STFOCODICE.qs()}, {}}}});
    afterOpen();
}

QString TfrVelFornitore::deleteQuestion() const
{
    return QStringLiteral("Confermi la cancellazione del modello corrente ?");
}

void TfrVelFornitore::validatePost(TClientDataSet &ds)
{
    if (ds.state() == TDataSetState::Insert && text(ds, fld::SFORCODFIS.name).trimmed().isEmpty())
        throw EOvError(QStringLiteral("Codice fiscale obbligatorio"));
    refuseBrokenRules(ds);
    m_problems.clear();
    if (!CheckMandatoryFields(m_problems, {&ds})) {
        if (!askToProceed || !askToProceed(m_problems))
            throw EAbort();
    }
}
