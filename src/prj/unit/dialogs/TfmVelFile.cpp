#include "src/prj/unit/dialogs/TfmVelFile.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/model/VelParametriUtente.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/telematic/VelCorrections.h"
#include "tor/store/torUDBCds.h"
#include "tor/query/torCQueryText.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"
#include "velcu/VelFields.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Generazione del file telematico da inviare all'Agenzia delle Entrate");

QLabel *title(QWidget *page)
{
    auto *l = new QLabel(kTitle, page);
    QFont f = l->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    l->setFont(f);
    return l;
}

// The workgroup of this installation (VelParametri.ini).
int installationWorkgroup()
{
    QSettings ini(VelParametriUtente::fileName(), QSettings::IniFormat);
    return ini.value(QStringLiteral("OVUC_Params/OVUP_DwgId")).toInt();
}

// The grid of "Dipendenti": the CUs flagged for replacement or cancellation
// first, marked, then the others, each group in the order of cdsDip; the
// column of LCUDSOSTITUZIONE says which correction.
class TVelReservedGrid : public QSortFilterProxyModel
{
public:
    TVelReservedGrid(TDataSetModel *source, int correctionColumn, QObject *parent)
        : QSortFilterProxyModel(parent), m_source(source), m_column(correctionColumn)
    {
        setSourceModel(source);
        sort(0);
    }

    VelCorrections::Kind kindAt(int sourceRow) const
    {
        TClientDataSet *ds = m_source->dataSet();
        return ds && sourceRow < ds->recordCount() ? VelCorrections::kindOf(*ds, sourceRow)
                                                   : VelCorrections::Kind::Nessuna;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const int row = mapToSource(index).row();
        const VelCorrections::Kind kind = kindAt(row);
        if (index.column() == m_column && role == Qt::DisplayRole)
            return VelCorrections::kindText(kind);
        if (kind != VelCorrections::Kind::Nessuna) {
            if (role == Qt::FontRole) {
                QFont f;
                f.setBold(true);
                return f;
            }
            if (role == Qt::ToolTipRole && m_source->dataSet())
                return VelCorrections::describeCorrection(*m_source->dataSet(), row);
        }
        return QSortFilterProxyModel::data(index, role);
    }

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        const bool l = kindAt(left.row()) != VelCorrections::Kind::Nessuna;
        const bool r = kindAt(right.row()) != VelCorrections::Kind::Nessuna;
        if (l != r)
            return l;
        return left.row() < right.row();
    }

private:
    TDataSetModel *m_source;
    int m_column;
};

} // namespace

TfmVelFile::TfmVelFile(QWidget *parent, TTorDBCds *store) : TfmVelFile(parent, static_cast<TdmVelFile *>(nullptr))
{
    m_store = store;
}

TfmVelFile::TfmVelFile(QWidget *parent, TdmVelFile *module) : TfmOvWizard(parent), m_dm(module)
{
    setObjectName(QStringLiteral("fmVelFile"));
    setWindowTitle(QStringLiteral("Generazione file telematico Certificazione Unica"));
    resize(760, 560);

    // ---- page "Dipendenti"
    tsDipendenti = new QWidget;
    auto *l1 = new QVBoxLayout(tsDipendenti);
    l1->addWidget(title(tsDipendenti));
    auto *rg = new QGroupBox(QStringLiteral("Scegliere per chi generare il file telematico"), tsDipendenti);
    auto *rgl = new QVBoxLayout(rg);
    rbTutti = new QRadioButton(QStringLiteral("Tutti"), rg);
    rbPrenotazione = new QRadioButton(QStringLiteral("su Prenotazione        (da usare in caso di annullamento e/o sostituzione)"), rg);
    rbNessuno = new QRadioButton(QStringLiteral("Nessuno"), rg);
    rbTutti->setChecked(true);
    auto *group = new QButtonGroup(rg);
    for (QRadioButton *b : {rbTutti, rbPrenotazione, rbNessuno}) {
        group->addButton(b);
        rgl->addWidget(b);
    }
    l1->addWidget(rg);
    l1->addWidget(new QLabel(QStringLiteral("Selezionare i lavoratori Dipendenti per i quali si vuole generare il file telematico"),
                             tsDipendenti));
    auto *searchRow = new QHBoxLayout;
    auto *lbCerca = new QLabel(QStringLiteral("&Cerca per cognome o codice fiscale:"), tsDipendenti);
    edCerca = new QLineEdit(tsDipendenti);
    edCerca->setObjectName(QStringLiteral("edCerca"));
    edCerca->setClearButtonEnabled(true);
    edCerca->setPlaceholderText(QStringLiteral("Invio: successivo; Spazio nell'elenco: seleziona"));
    edCerca->setMaximumWidth(300);
    edCerca->setEnabled(false);
    lbCerca->setBuddy(edCerca);
    lbTrovato = new QLabel(tsDipendenti);
    lbTrovato->setObjectName(QStringLiteral("lbTrovato"));
    searchRow->addWidget(lbCerca);
    searchRow->addWidget(edCerca, 1);
    searchRow->addWidget(lbTrovato);
    searchRow->addStretch(1);
    l1->addLayout(searchRow);
    dbgDip = new QTableView(tsDipendenti);
    dbgDip->setObjectName(QStringLiteral("dbgDip"));
    dbgDip->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgDip->setSelectionMode(QAbstractItemView::MultiSelection);
    dbgDip->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgDip->setTabKeyNavigation(false); // Tab leaves the list, it never changes the choice
    dbgDip->horizontalHeader()->setSectionsClickable(true);
    dbgDip->horizontalHeader()->setStretchLastSection(true);
    dbgDip->verticalHeader()->hide();
    dbgDip->setEnabled(false);
    l1->addWidget(dbgDip, 1);
    addPage(tsDipendenti, QStringLiteral("tsDipendenti"));

    // ---- page "Crea file"
    tsCreaFile = new QWidget;
    auto *l2 = new QVBoxLayout(tsCreaFile);
    l2->addWidget(title(tsCreaFile));
    buCreaFile = new QPushButton(QStringLiteral("Crea File telematico"), tsCreaFile);
    buCreaFile->setObjectName(QStringLiteral("buCreaFile"));
    l2->addWidget(buCreaFile, 0, Qt::AlignLeft);
    l2->addWidget(new QLabel(QStringLiteral("Indica lo stato della generazione del file telematico:"), tsCreaFile));
    meLog = new QPlainTextEdit(tsCreaFile);
    meLog->setReadOnly(true);
    l2->addWidget(meLog, 1);
    addPage(tsCreaFile, QStringLiteral("tsCreaFile"));

    buOk->setText(QStringLiteral("Salva"));
    buOk->setEnabled(false);

    connect(rbTutti, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            dbgDip->setEnabled(false);
            edCerca->setEnabled(false);
        }
    });
    const auto search = [this](bool next) {
        const QString t = edCerca->text().trimmed();
        lbTrovato->setText(t.isEmpty() || findCu(t, next) ? QString() : QStringLiteral("Nessuna CU trovata"));
    };
    connect(edCerca, &QLineEdit::textEdited, this, [search] { search(false); });
    connect(edCerca, &QLineEdit::returnPressed, this, [search] { search(true); });
    connect(rbPrenotazione, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            choosePrenotazione();
    });
    connect(dbgDip->horizontalHeader(), &QHeaderView::sectionClicked, this, &TfmVelFile::sortByColumn);
    connect(buCreaFile, &QPushButton::clicked, this, &TfmVelFile::creaFile);

    askFileName = [this](const QString &folder, const QString &name) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Salva il file telematico"), QDir(folder).filePath(name));
    };
}

TfmVelFile::~TfmVelFile()
{
    if (m_dm)
        m_dm->log = nullptr;
}

void TfmVelFile::formCreate()
{
    if (!m_dm) {
        if (!m_store)
            throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
        m_owned = std::make_unique<TdmVelFile>(*m_store, QueryText());
        m_owned->setWorkgroup(installationWorkgroup());
        m_dm = m_owned.get();
    }
    // what the supply meets on its way is said in this window's boxes
    m_dm->setRunHost(TVelBoxRunHost::instance());
    m_dm->log = [this](const QString &line) {
        meLog->appendPlainText(line);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    m_supply = m_dm->open();
    m_opened = true;
    m_model = new TDataSetModel(&m_dm->dip(), this);
    // widths set on the view: a width hint of the model would give the header no height
    m_model->setColumns({{fld::SCUDCODFIS.qs(), QStringLiteral("Codice fiscale")},
                         {fld::SCUDCOGNOME.qs(), QStringLiteral("Cognome")},
                         {fld::SCUDNOME.qs(), QStringLiteral("Nome")},
                         {fld::DCUDDATANAS.qs(), QStringLiteral("Data di nascita")},
                         {fld::LCUDSOSTITUZIONE.qs(), QStringLiteral("Correzione")}});
    m_grid = new TVelReservedGrid(m_model, 4, this);
    dbgDip->setModel(m_grid);
    const int widths[] = {160, 180, 140, 100, 110};
    for (int c = 0; c < 5; ++c)
        dbgDip->setColumnWidth(c, widths[c]);
}

void TfmVelFile::sortByColumn(int column)
{
    if (!m_model || column < 0 || column >= m_model->columns().size())
        return;
    dbgDip->clearSelection();
    m_dm->setOrder(m_model->columns()[column].fieldName);
}

void TfmVelFile::choosePrenotazione()
{
    dbgDip->setEnabled(true);
    edCerca->setEnabled(true);
    if (m_dm->dip().isEmpty()) {
        OvMessageDlg(QStringLiteral("Non sono presenti percipienti per il modello scelto"), mtInformation, mbOK);
        dbgDip->setEnabled(false);
        edCerca->setEnabled(false);
        rbTutti->setChecked(true);
        return;
    }
    if (!dbgDip->selectionModel()->hasSelection())
        selectCorrections();
}

void TfmVelFile::selectCorrections()
{
    if (!m_grid)
        return;
    QItemSelection flagged;
    for (int row = 0; row < m_grid->rowCount(); ++row) {
        const QModelIndex i = m_grid->index(row, 0);
        if (static_cast<TVelReservedGrid *>(m_grid)->kindAt(m_grid->mapToSource(i).row()) == VelCorrections::Kind::Nessuna)
            break; // they stand first
        flagged.select(i, m_grid->index(row, m_grid->columnCount() - 1));
    }
    dbgDip->selectionModel()->select(flagged, QItemSelectionModel::ClearAndSelect);
    if (!flagged.isEmpty())
        dbgDip->selectionModel()->setCurrentIndex(m_grid->index(0, 0), QItemSelectionModel::NoUpdate);
}

bool TfmVelFile::findCu(const QString &text, bool next)
{
    TClientDataSet &dip = m_dm->dip();
    const QString t = text.trimmed();
    if (!m_grid || !dip.active() || t.isEmpty())
        return false;
    const int fCognome = dip.fieldIndex(fld::SCUDCOGNOME.qs());
    const int fNome = dip.fieldIndex(fld::SCUDNOME.qs());
    const int fCodFis = dip.fieldIndex(fld::SCUDCODFIS.qs());
    const int n = m_grid->rowCount();
    const QModelIndex current = dbgDip->currentIndex();
    const int start = next && current.isValid() ? current.row() + 1 : 0;
    for (int i = 0; i < n; ++i) {
        const QModelIndex at = m_grid->index((start + i) % n, 0);
        const int row = m_grid->mapToSource(at).row();
        const QString cognome = dip.valueAt(row, fCognome).toString().trimmed();
        const QString nome = dip.valueAt(row, fNome).toString().trimmed();
        if (cognome.startsWith(t, Qt::CaseInsensitive) || (cognome + u' ' + nome).startsWith(t, Qt::CaseInsensitive)
            || dip.valueAt(row, fCodFis).toString().startsWith(t, Qt::CaseInsensitive)) {
            // the selection is the office's: only the current row moves
            dbgDip->selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
            dbgDip->scrollTo(at);
            return true;
        }
    }
    return false;
}

QList<int> TfmVelFile::visitedRows() const
{
    if (rbNessuno->isChecked())
        return m_dm->visitedRows(TdmVelFile::None);
    if (rbTutti->isChecked())
        return m_dm->visitedRows(TdmVelFile::All);
    QList<int> gridRows;
    for (const QModelIndex &i : dbgDip->selectionModel()->selectedRows())
        gridRows << i.row();
    std::sort(gridRows.begin(), gridRows.end()); // the order of the grid
    QList<int> selected;
    for (const int r : gridRows)
        selected << m_grid->mapToSource(m_grid->index(r, 0)).row() + 1;
    return m_dm->visitedRows(TdmVelFile::Reserved, selected);
}

void TfmVelFile::afterChangePage(QWidget *to)
{
    if (to == tsCreaFile) {
        m_generated.reset();
        buNext->setEnabled(false);
        buOk->setEnabled(false);
        buCreaFile->setEnabled(true);
        buCreaFile->setFocus();
        m_backToStart = true;
    } else if (to == tsDipendenti && m_backToStart) {
        // back on the choice: the certifications as they are now in the store
        dbgDip->clearSelection();
        m_dm->reloadCertifications();
        m_backToStart = false;
        if (rbPrenotazione->isChecked())
            selectCorrections();
    }
}

void TfmVelFile::setBusy(bool busy)
{
    for (QPushButton *b : {buPrior, buNext, buOk, buCreaFile})
        b->setEnabled(!busy);
    buCancel->setEnabled(true);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfmVelFile::creaFile()
{
    const QList<int> rows = visitedRows();
    // corrections and ordinary CUs in one supply: the office decides, knowing which
    const bool correction = rbPrenotazione->isChecked();
    const QStringList mixed = VelCorrections::mixedSupply(m_dm->dip(), rows, correction);
    if (!mixed.isEmpty()
        && OvMessageDlg(VelCorrections::mixedQuestion(mixed, correction) + QStringLiteral("\n\nProseguire comunque?"),
                        mtConfirmation, mbYesNo)
               != mrYes) {
        meLog->appendPlainText(QStringLiteral("Fornitura non generata: CU ordinari e correzioni insieme."));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::optional<TVelSupplyChecked> checked;
    try {
        checked = m_supply->preCheck(rows);
    } catch (const EOvException &e) {
        QApplication::restoreOverrideCursor();
        OvMessageDlg(e.message(), mtError, mbOK);
        return;
    }
    QApplication::restoreOverrideCursor();
    if (!checked) {
        reject();
        return;
    }
    setBusy(true);
    TVelSupplyGeneration generation = checked->generate();
    setBusy(false);
    m_generated = std::move(generation.supply);
    buNext->setEnabled(false);
    buOk->setEnabled(m_generated.has_value());
}

void TfmVelFile::salva()
{
    if (!m_generated) {
        OvMessageDlg(QStringLiteral("Dati obbligatori mancanti, impossibile creare il file!"), mtError, mbOK);
        return;
    }
    const QString file = askFileName ? askFileName(TdmVelFile::defaultFolder(), TdmVelFile::proposedName()) : QString();
    if (file.isEmpty()) {
        m_dm->closeDataSets();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::optional<TVelSupplySaved> saved;
    try {
        saved = m_generated->save(file);
        QApplication::restoreOverrideCursor();
    } catch (const EOvException &e) {
        QApplication::restoreOverrideCursor();
        for (const QString &line : TdmVelFile::summaryLines(m_generated->outcome()))
            meLog->appendPlainText(line);
        OvMessageDlg(e.message(), mtError, mbOK);
        return;
    }
    // the end of the log: what the file holds, from the run's outcome
    for (const QString &line : TdmVelFile::summaryLines(saved->outcome))
        meLog->appendPlainText(line);
    if (!saved->outcome.fatal.isEmpty()) {
        // the file is there, the database did not take its count: the window
        // stays open on the log
        OvMessageDlg(saved->outcome.fatal, mtError, mbOK);
        return;
    }
    accept();
}

bool TfmVelFile::formCheckOk()
{
    salva();
    return false; // salva closes the wizard itself when the file is written
}

void TfmVelFile::reject()
{
    if (m_opened)
        m_dm->closeDataSets();
    TfmOvWizard::reject();
}
