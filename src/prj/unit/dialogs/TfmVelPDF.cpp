#include "src/prj/unit/dialogs/TfmVelPDF.h"
#include "src/prj/unit/dialogs/VelAskReplace.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "platform/framework/OvShell.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelPerPayeePrint.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The flag columns show a centred "X" when set, nothing otherwise.
class TVelFlagColumns : public QIdentityProxyModel
{
public:
    TVelFlagColumns(QList<int> columns, QObject *parent) : QIdentityProxyModel(parent), m_columns(std::move(columns)) {}
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!m_columns.contains(index.column()))
            return QIdentityProxyModel::data(index, role);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        if (role == Qt::DisplayRole) {
            const QString t = QIdentityProxyModel::data(index, Qt::EditRole).toString().trimmed();
            return t.isEmpty() || t == QLatin1String("0") ? QString() : QStringLiteral("X");
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    QList<int> m_columns;
};

} // namespace

TfmVelPDF::TfmVelPDF(QWidget *parent, TTorDBCds *store, TdmVelStampePDF *stampe, TdmVelMain *main)
    : TfmOvMultiSelect(parent), m_store(store), m_stampe(stampe), m_main(main)
{
    setObjectName(QStringLiteral("fmVelPDF"));
    setWindowTitle(QStringLiteral("Selezione"));
    buOk->hide();
    buCancel->hide();
    buSelectAll->hide();
    buSelectNone->hide();
    lbInfo->hide();

    auto *options = new QWidget(pnClient);
    auto *grid = new QGridLayout(options);
    grid->setContentsMargins(0, 0, 0, 0);
    auto *laFile = new QLabel(QStringLiteral("&Nome file stampa pdf:"), options);
    grid->addWidget(laFile, 0, 0);
    edPdfFileName = new QLineEdit(options);
    edPdfFileName->setObjectName(QStringLiteral("edPdfFileName"));
    laFile->setBuddy(edPdfFileName);
    grid->addWidget(edPdfFileName, 0, 1);
    auto *selezione = new QGroupBox(options);
    selezione->setObjectName(QStringLiteral("rgSelezione"));
    auto *sl = new QHBoxLayout(selezione);
    rbTutti = new QRadioButton(QStringLiteral("&Tutti"), selezione);
    rbSelezionati = new QRadioButton(QStringLiteral("&Selezionati"), selezione);
    rbTutti->setChecked(true);
    sl->addWidget(rbTutti);
    sl->addWidget(rbSelezionati);
    grid->addWidget(selezione, 0, 2);
    chFronteRetro = new QCheckBox(QStringLiteral("Predisporre il documento per la stampa fronte/&retro"), options);
    chkFirmaOmessa = new QCheckBox(QStringLiteral("Firma &omessa ai sensi di legge"), options);
    chkQuadroCT = new QCheckBox(QStringLiteral("Stampa Quadro CT"), options);
    chkQuadroCT->hide();
    chkBozza = new QCheckBox(QStringLiteral("&Bozza: \"BOZZA\" su ogni pagina, nessun CU segnato come stampato"), options);
    chkBozza->setObjectName(QStringLiteral("chkBozza"));
    grid->addWidget(chFronteRetro, 1, 0, 1, 2);
    grid->addWidget(chkFirmaOmessa, 1, 2);
    grid->addWidget(chkBozza, 2, 0, 1, 3);
    chkPerPercipiente = new QCheckBox(QStringLiteral("Un PDF per &percipiente (CF.pdf) nella cartella:"), options);
    chkPerPercipiente->setObjectName(QStringLiteral("chkPerPercipiente"));
    edCartella = new QLineEdit(options);
    edCartella->setObjectName(QStringLiteral("edCartella"));
    edCartella->setText(QDir(TorFolders::stpDir()).filePath(QStringLiteral("percipienti")));
    edCartella->setEnabled(false);
    grid->addWidget(chkPerPercipiente, 3, 0);
    grid->addWidget(edCartella, 3, 1, 1, 2);
    connect(chkPerPercipiente, &QCheckBox::toggled, edCartella, &QWidget::setEnabled);
    meOut = new QPlainTextEdit(options);
    meOut->setObjectName(QStringLiteral("meOut"));
    meOut->setReadOnly(true);
    meOut->setMaximumHeight(90);
    grid->addWidget(meOut, 4, 0, 1, 3);
    pbAvanzamento = new QProgressBar(options);
    pbAvanzamento->setTextVisible(true);
    pbAvanzamento->setValue(0);
    grid->addWidget(pbAvanzamento, 5, 0, 1, 3);
    pnClient->layout()->addWidget(options);

    buCreatePdf = new QPushButton(QStringLiteral("&Crea stampa dichiarazione"), this);
    buOpenPdf = new QPushButton(QStringLiteral("&Apri stampa dichiarazione"), this);
    buAnnulla = new QPushButton(QStringLiteral("&Interrompi"), this);
    buExit = new QPushButton(QStringLiteral("&Esci"), this);
    buOpenPdf->setEnabled(false);
    buAnnulla->setEnabled(false);
    for (QPushButton *b : {buCreatePdf, buOpenPdf, buAnnulla, buExit})
        pnButtons->addWidget(b);
    connect(buCreatePdf, &QPushButton::clicked, this, [this] { createPdf(); });
    connect(buOpenPdf, &QPushButton::clicked, this, [this] { ovGuarded([this] { openPdf(); }); });
    connect(buAnnulla, &QPushButton::clicked, this, [this] { m_cancel = true; });
    connect(buExit, &QPushButton::clicked, this, [this] {
        if (!m_running)
            reject();
    });
    // the draft has a file of its own, so that it never takes the print's place
    connect(chkBozza, &QCheckBox::toggled, this, [this](bool draft) {
        const bool ordinario = m_stampe && m_stampe->ordinario;
        if (edPdfFileName->text().trimmed() == TVelCuPrint::defaultFileName(ordinario, !draft))
            edPdfFileName->setText(TVelCuPrint::defaultFileName(ordinario, draft));
    });
    connect(this, &TfmOvMultiSelect::selectionCountChanged, this,
            [this](int count) { (count > 0 ? rbSelezionati : rbTutti)->setChecked(true); });
    // Tab and Shift+Tab leave the grid: moving the current row with Tab would
    // select it and switch "Tutti" to "Selezionati" unseen
    grMain->setTabKeyNavigation(false);
    grMain->horizontalHeader()->setSectionsClickable(true);
    connect(grMain->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int c) { ovGuarded([&] { sortByColumn(c); }); });
    resize(900, 620);
}

TfmVelPDF::~TfmVelPDF() = default;

void TfmVelPDF::formCreate()
{
    if (!m_store || !m_stampe || !m_main)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
    m_run = std::make_unique<TVelCuPrint>(*m_store, *m_stampe, *m_main);
    m_run->log = [this](const QString &line) { meOut->appendPlainText(line); };
    m_run->warning = [this](const QString &message) {
        meOut->appendPlainText(message);
        OvMessageDlg(message, mtWarning, mbOK);
    };
    m_run->progress = [this](int done, int total) {
        pbAvanzamento->setMaximum(qMax(total, 1));
        pbAvanzamento->setValue(done);
        QApplication::processEvents();
        return !m_cancel;
    };
    m_run->open();

    m_model = new TDataSetModel(&m_run->cdsMultiSelect, this);
    m_model->setColumns({{fld::SCUDCOGNOME.qs(), QStringLiteral("Cognome")},
                         {fld::SCUDNOME.qs(), QStringLiteral("Nome")},
                         {fld::SCUDCODFIS.qs(), QStringLiteral("Codice fiscale")},
                         {fld::SCUDMESE.qs(), QStringLiteral("Mese")},
                         {fld::LCUDCONGUAGLIO.qs(), QStringLiteral("Conguaglio")},
                         {fld::LCUDCOMPRENSIVO.qs(), QStringLiteral("Comprensivo")}});
    m_model->setRowColor([](TClientDataSet &ds) {
        const TField f = ds.findField(fld::iCudStato.qs());
        return f && f.asString().toInt() > 0 ? QColor(Qt::red) : QColor();
    });
    auto *flags = new TVelFlagColumns({4, 5}, this);
    flags->setSourceModel(m_model);
    setModel(flags);
    setRowKey([this](int row) { return QVariant::fromValue(m_run->cdsMultiSelect.bookmarkAt(row)); });
    const int widths[] = {200, 160, 160, 60, 90, 100};
    for (int c = 0; c < 6; ++c)
        grMain->setColumnWidth(c, widths[c]);
}

void TfmVelPDF::formShow()
{
    m_run->cdsMultiSelect.setIndexFieldNames(QStringLiteral("SCUDCOGNOME;SCUDNOME;SCUDMESE"));
    edPdfFileName->setText(TVelCuPrint::defaultFileName(m_stampe->ordinario, chkBozza->isChecked()));
}

void TfmVelPDF::formCloseQuery(bool &canClose)
{
    if (!m_running)
        return;
    m_cancel = true;
    canClose = false;
}

void TfmVelPDF::formClose()
{
    if (m_run)
        m_run->close();
}

void TfmVelPDF::sortByColumn(int column)
{
    if (!m_model || column < 0 || column >= m_model->columns().size())
        return;
    const QString field = m_model->columns().at(column).fieldName;
    QString index = QStringLiteral("SCUDCOGNOME;SCUDNOME;SCUDMESE");
    if (field == fld::SCUDNOME.l1())
        index = QStringLiteral("SCUDNOME;SCUDCOGNOME;SCUDMESE");
    else if (field == fld::SCUDMESE.l1())
        index = QStringLiteral("SCUDMESE;SCUDCOGNOME;SCUDNOME");
    else if (field == fld::SCUDCODFIS.l1())
        index = fld::SCUDCODFIS.qs();
    m_run->cdsMultiSelect.setIndexFieldNames(index);
}

QString TfmVelPDF::lockQuestion(int count, int total)
{
    return QStringLiteral("La stampa segnerà come stampati %1 CU su %2: un'importazione non li sostituirà più e per "
                          "modificarli occorrerà sbloccarli (\"Sblocca\" nei Dati CU).\n"
                          "Per una prova che non segna nulla scegliere \"Bozza\".\n\nProseguire con la stampa?")
        .arg(count)
        .arg(total);
}

QString TfmVelPDF::noCuToPrint()
{
    return QStringLiteral("Nessun CU da stampare: selezionare almeno un CU nell'elenco o scegliere \"Tutti\".");
}

bool TfmVelPDF::createPdf()
{
    if (m_running)
        return false;
    QString path;
    ovGuarded([&] { path = print(); });
    if (path.isEmpty())
        return false;
    m_lastFile = path;
    m_lastIsFolder = chkPerPercipiente->isChecked();
    buOpenPdf->setEnabled(true);
    buOpenPdf->setFocus();
    return true;
}

bool TfmVelPDF::lockAgreed(const QList<TBookmark> &rows)
{
    if (m_run->draft)
        return true;
    // the CUs already printed stay as they are: only the others are asked for
    const int count = m_run->toLock(rows);
    if (count > 0 && OvMessageDlg(lockQuestion(count, int(rows.size())), mtConfirmation, mbYesNo) != mrYes) {
        meOut->appendPlainText(QStringLiteral("Stampa non eseguita: nessun CU segnato come stampato."));
        return false;
    }
    return true;
}

QList<TBookmark> TfmVelPDF::chosenRows()
{
    QList<TBookmark> rows;
    if (rbSelezionati->isChecked()) {
        for (const QVariant &k : selectedKeys())
            rows << k.value<TBookmark>();
    } else {
        rows = m_run->allRows();
    }
    return rows;
}

QString TfmVelPDF::print()
{
    const QList<TBookmark> rows = chosenRows();
    if (rows.isEmpty()) {
        OvMessageBox(noCuToPrint(), MB_OK | MB_ICONINFORMATION);
        return QString();
    }
    m_run->draft = chkBozza->isChecked();
    if (chkPerPercipiente->isChecked())
        return printPerPayee(rows);
    const QString folder = m_run->outputFolder.isEmpty() ? TorFolders::stpDir() : m_run->outputFolder;
    QString said;
    if (!VelAskReplace::mayWrite(QDir(folder).filePath(edPdfFileName->text().trimmed() + QStringLiteral(".pdf")),
                                 m_run->draft, &said)) {
        meOut->appendPlainText(said);
        return QString();
    }
    if (!lockAgreed(rows))
        return QString();
    // However the run ends, the window is ready for the next one before its
    // error is shown.
    const Busy busy(this);
    const TVelPrintResult result = m_run->print(rows, edPdfFileName->text().trimmed());
    if (result.kind == TVelPrintResult::Annullato) {
        meOut->appendPlainText(QStringLiteral("Stampa interrotta: nessun CU segnato come stampato."));
        return QString();
    }
    const QString &path = result.path;
    // What the run committed, CU by CU: the count and every CU not printed.
    const TVelRunOutcome &o = result.outcome;
    if (const int done = o.count(TVelResult::Fatto))
        meOut->appendPlainText(m_run->draft
                                   ? QStringLiteral("Bozza: %1 CU, nessuno segnato come stampato.").arg(done)
                                   : QStringLiteral("CU stampati: %1 (segnati come stampati ora: %2).")
                                         .arg(done)
                                         .arg(m_run->newlyLocked()));
    for (const QString &line : o.problemLines())
        meOut->appendPlainText(QStringLiteral("Non stampato: ") + line);
    return path;
}

void TfmVelPDF::openPdf()
{
    if (m_lastIsFolder) {
        ovShell()->openDocument(m_lastFile, QString(), QString(), false);
        return;
    }
    const QString folder = m_run->outputFolder.isEmpty() ? TorFolders::stpDir() : m_run->outputFolder;
    const QString file = edPdfFileName->text().trimmed() + QStringLiteral(".pdf");
    ovShell()->openDocument(QDir(folder).filePath(file), QString(), folder, false);
}

TfmVelPDF::Busy::Busy(TfmVelPDF *form) : fm(form)
{
    fm->m_run->twoSided = fm->chFronteRetro->isChecked();
    fm->m_run->signatureOmitted = fm->chkFirmaOmessa->isChecked();
    fm->m_running = true;
    fm->m_cancel = false;
    fm->buCreatePdf->setEnabled(false);
    fm->buAnnulla->setEnabled(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TfmVelPDF::Busy::~Busy()
{
    QApplication::restoreOverrideCursor();
    fm->m_running = false;
    fm->buCreatePdf->setEnabled(true);
    fm->buAnnulla->setEnabled(false);
}
