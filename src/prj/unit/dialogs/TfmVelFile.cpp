#include "src/prj/unit/dialogs/TfmVelFile.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/model/VelParametriUtente.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "tor/store/torUDBCds.h"
#include "tor/query/torCQueryText.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
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
    dbgDip = new QTableView(tsDipendenti);
    dbgDip->setObjectName(QStringLiteral("dbgDip"));
    dbgDip->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgDip->setSelectionMode(QAbstractItemView::MultiSelection);
    dbgDip->setEditTriggers(QAbstractItemView::NoEditTriggers);
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
        if (on)
            dbgDip->setEnabled(false);
    });
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
    m_dm->log = [this](const QString &line) {
        meLog->appendPlainText(line);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    m_dm->open();
    m_opened = true;
    m_model = new TDataSetModel(&m_dm->dip(), this);
    // widths set on the view: a width hint of the model would give the header no height
    m_model->setColumns({{QStringLiteral("SCUDCODFIS"), QStringLiteral("Codice fiscale")},
                         {QStringLiteral("SCUDCOGNOME"), QStringLiteral("Cognome")},
                         {QStringLiteral("SCUDNOME"), QStringLiteral("Nome")},
                         {QStringLiteral("DCUDDATANAS"), QStringLiteral("Data di nascita")}});
    dbgDip->setModel(m_model);
    const int widths[] = {160, 200, 160, 110};
    for (int c = 0; c < 4; ++c)
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
    if (m_dm->dip().isEmpty()) {
        OvMessageDlg(QStringLiteral("Non sono presenti percipienti per il modello scelto"), mtInformation, mbOK);
        dbgDip->setEnabled(false);
        rbTutti->setChecked(true);
    }
}

QList<int> TfmVelFile::visitedRows() const
{
    if (rbNessuno->isChecked())
        return m_dm->visitedRows(TdmVelFile::None);
    if (rbTutti->isChecked())
        return m_dm->visitedRows(TdmVelFile::All);
    QList<int> selected;
    for (const QModelIndex &i : dbgDip->selectionModel()->selectedRows())
        selected << i.row() + 1;
    std::sort(selected.begin(), selected.end()); // the order of the grid
    return m_dm->visitedRows(TdmVelFile::Reserved, selected);
}

void TfmVelFile::afterChangePage(QWidget *to)
{
    if (to == tsCreaFile) {
        m_dm->clearDataComplete();
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
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QList<int> rows = visitedRows();
    bool go = false;
    try {
        go = m_dm->preCheck(rows);
    } catch (const EOvException &e) {
        QApplication::restoreOverrideCursor();
        OvMessageDlg(e.message(), mtError, mbOK);
        return;
    }
    QApplication::restoreOverrideCursor();
    if (!go) {
        reject();
        return;
    }
    setBusy(true);
    const bool ok = m_dm->runGeneration(rows);
    setBusy(false);
    buNext->setEnabled(false);
    buOk->setEnabled(ok && m_dm->dataComplete());
}

void TfmVelFile::salva()
{
    if (!m_dm->dataComplete()) {
        OvMessageDlg(QStringLiteral("Dati obbligatori mancanti, impossibile creare il file!"), mtError, mbOK);
        return;
    }
    const QString file = askFileName ? askFileName(TdmVelFile::defaultFolder(), TdmVelFile::proposedName()) : QString();
    if (file.isEmpty()) {
        m_dm->closeDataSets();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_dm->save(file);
        QApplication::restoreOverrideCursor();
    } catch (const EOvException &e) {
        QApplication::restoreOverrideCursor();
        for (const QString &line : TdmVelFile::summaryLines(m_dm->outcome()))
            meLog->appendPlainText(line);
        OvMessageDlg(e.message(), mtError, mbOK);
        return;
    }
    // the end of the log: what the file holds, from the run's outcome
    for (const QString &line : TdmVelFile::summaryLines(m_dm->outcome()))
        meLog->appendPlainText(line);
    if (!m_dm->outcome().fatal.isEmpty()) {
        // the file is there, the database did not take its count: the window
        // stays open on the log
        OvMessageDlg(m_dm->outcome().fatal, mtError, mbOK);
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
