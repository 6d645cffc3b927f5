#include "src/prj/unit/telematic/TdmVelFile.h"

#include "src/prj/unit/model/VelBoundary.h"
#include "src/prj/unit/model/VelError.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/check/VelMandatoryFields.h"
#include "src/prj/unit/telematic/VelFileSupport.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"

#include <QDir>

#include <algorithm>

namespace {

using VelFileSupport::releaseFreedMemory;

} // namespace

const QStringList &TdmVelFile::certificationStructures()
{
    return TVelSupplyStore::certificationStructures();
}

TdmVelFile::TdmVelFile(TTorDBCds &store, TTorQueryText &queries, TdmRagParams *params)
    : m_store(store), m_queries(queries), m_params(params), m_supplyStore(store, queries, m_ws), m_preCheck(m_ws),
      m_notes(store, m_ws),
      m_files(
          m_ws, [this](const QString &line) { say(line); },
          [this](const QString &text) { m_host->notice(text, TVelNotice::Warning); }),
      m_fieldFile(VelFileTables::fieldFilePath()), m_recordFile(VelFileTables::recordFilePath())
{
    m_settingsFile = VelTaxCode::settingsFile();
    information = [this](const QStringList &lines, bool ask) { return m_host->information(lines, ask); };
    m_ws.engine().setMessageSink([this](const QString &text) { m_host->notice(text, TVelNotice::Warning); });
    defaultMatricola = [this] { return m_supplyStore.defaultMatricola(workgroup()); };
    mandatoryCheck = CheckMandatoryFields;
    m_ws.generator().setLog([this](const QString &line) { say(line); });
    m_ws.generator().setPreparation([this](TClientDataSet &d) { prepareAnnotations(d); });
}

TdmVelFile::~TdmVelFile() = default;

void TdmVelFile::setTablePaths(const QString &fieldFile, const QString &recordFile)
{
    m_fieldFile = fieldFile;
    m_recordFile = recordFile;
}

TClientDataSet &TdmVelFile::dip()
{
    return m_ws.dataSet(QLatin1String(VelFileCds::Dip));
}

int TdmVelFile::workgroup() const
{
    return m_params ? m_params->xpmOvuParams.intValue(TdmRagParams::ParDwgId) : m_workgroup;
}

void TdmVelFile::say(const QString &line) const
{
    if (log)
        log(line);
}

TVelSupplyOpened TdmVelFile::open()
{
    // Every dataset but the agent's, read at generation; all of them from one
    // snapshot of the store.
    m_supplyStore.loadAll();
    dip().setIndexFieldNames(fld::SCUDCODFIS.qs());
    dip().first();
    return TVelSupplyOpened(*this);
}

std::optional<TVelSupplyChecked> TVelSupplyOpened::preCheck(const QList<int> &rows) const
{
    // what stops the check before the office is asked: the installation's
    // setting of the producer, or the store unreadable
    if (!VelBoundary::run(TVelStage::Lettura, TVelErrorCode::Configurazione, [&] { return m_dm->preCheck(rows); }))
        return std::nullopt;
    return TVelSupplyChecked(*m_dm, rows);
}

TVelSupplyGeneration TVelSupplyChecked::generate() const
{
    TVelSupplyGeneration g;
    g.failure = m_dm->runGeneration(m_rows);
    g.outcome = m_dm->m_book.outcome();
    if (!g.failure)
        g.supply = TVelSupplyGenerated(*m_dm, m_dm->m_generation, m_dm->m_book.outcome());
    return g;
}

TVelSupplySaved TVelSupplyGenerated::save(const QString &fileName)
{
    if (m_generation != m_dm->m_generation)
        throw EVelError(QStringLiteral("Dati obbligatori mancanti, impossibile creare il file!"),
                        {TVelErrorCode::DatiMancanti, fileName, TVelStage::Scrittura});
    TVelSupplySaved saved;
    try {
        saved.files = VelBoundary::run(TVelStage::Scrittura, TVelErrorCode::Scrittura, [&] { return m_dm->save(fileName); });
    } catch (...) {
        m_outcome = m_dm->m_book.outcome(); // what each certification came to
        throw;
    }
    m_outcome = m_dm->m_book.outcome();
    saved.outcome = m_outcome;
    return saved;
}

void TdmVelFile::reloadCertifications()
{
    const QString order = dip().active() ? dip().indexFieldNames() : QString();
    m_supplyStore.reloadCertifications();
    dip().setIndexFieldNames(order.isEmpty() ? fld::SCUDCODFIS.qs() : order);
    dip().first();
}

void TdmVelFile::setOrder(const QString &column)
{
    dip().setIndexFieldNames(column);
    dip().first();
}

void TdmVelFile::closeDataSets()
{
    dip().close();
    m_ws.dataSet(QLatin1String(VelFileCds::Forn)).close();
    // the supply is done (or given up): what its steps freed goes back to
    // the system now, not between them
    releaseFreedMemory();
}

QList<int> TdmVelFile::visitedRows(Selection selection, const QList<int> &selected)
{
    switch (selection) {
    case All:
        return TVelFileGenerator::allRows(dip());
    case Reserved:
        return selected;
    case None:
        break;
    }
    return {};
}

void TdmVelFile::generate(const QList<int> &rows)
{
    ++m_generation;
    m_generated = false;
    m_fieldRowsKept = false;
    m_dataComplete = true;
    m_book.start(rows, dip(), m_preCheckWarnings);
    QStringList refused = m_preCheck.repeatedTaxCodes(rows);
    refused << m_preCheck.unsendableFields(rows);
    if (const QStringList &repeated = refused; !repeated.isEmpty()) {
        m_dataComplete = false;
        throw EVelError(repeated.join(QLatin1Char(' ')), {TVelErrorCode::Fornitura, QString(), TVelStage::Decisione});
    }
    VelFileTables::openFieldTableForGeneration(m_ws.fieldTable());
    VelFileTables::openRecordTableForGeneration(m_ws.recordTable());
    try {
        m_supplyStore.readSupplier();
        m_supplyStore.readAgent();
    } catch (...) {
        m_dataComplete = false;
        throw;
    }
    try {
        m_ws.engine().setSoftwareProducer(VelTaxCode::checkedSoftwareProducer(m_settingsFile));
    } catch (const EOvError &) {
        m_dataComplete = false;
        throw;
    }
    // What earlier work freed is not given back to the system here, nor
    // between the passes: the next step reuses it, where memory given back
    // is faulted in page by page again (a supply of 10,000 spent a tenth of
    // its time so, to hold 3 MB less at its peak). The field table's large
    // blocks are mappings of their own; it all goes back at closeDataSets().
    m_ws.loadTemplates(m_templateDir);
    say(QStringLiteral("ATTENDERE... Pulitura del file in corso..."));
    m_ws.fieldTable().emptyDataSet();
    m_ws.recordTable().emptyDataSet();
    m_ws.fieldTable().reserveRows(int(std::min(m_fieldRowsPerCertification * double(rows.size()) * 1.1, 5e7)));
    m_ws.engine().setDefaultInpsMatricola(defaultMatricola ? defaultMatricola() : QString());
    m_notes.begin();
    try {
        m_ws.generator().generate(rows);
    } catch (...) {
        // annotation rows rebuilt but not saved are dropped: the next generation rebuilds them
        m_notes.drop();
        throw;
    }
    // which certifications have records in the field rows, and which had nothing to send
    m_book.generated(m_ws.generator().rowsWithRecords());
    if (!rows.isEmpty() && m_ws.fieldTable().recordCount() > 0)
        m_fieldRowsPerCertification = double(m_ws.fieldTable().recordCount()) / double(rows.size());
    if (const QString line = m_notes.save(); !line.isEmpty()) {
        m_book.outcome().warn(TVelWarningCode::AnnotazioniNonSalvate, line);
        say(line);
    }
    // the field table's file text goes out a block at a time
    VelFileTables::saveTable(m_ws.fieldTable(), m_fieldFile);
    VelFileTables::saveTable(m_ws.recordTable(), m_recordFile);
    // the field rows stay as they were written to their file: "Salva" makes
    // the records from them without reading the file again (a second copy of
    // a million rows while the first is freed)
    m_fieldRowsKept = true;
    if (closingLines)
        say(QStringLiteral("Operazione terminata con successo."));
    m_generated = true;
}

std::optional<TVelErrorContext> TdmVelFile::runGeneration(const QList<int> &rows)
{
    std::optional<TVelErrorContext> failure;
    try {
        generate(rows);
        return failure;
    } catch (const std::exception &e) {
        // A failure not raised typed is the making of the records': the
        // store's and the server's by their kind.
        const auto *ov = dynamic_cast<const EOvException *>(&e);
        const QString text = ov ? ov->message() : QString::fromLocal8Bit(e.what());
        if (const auto *vel = dynamic_cast<const EVelError *>(&e))
            failure = vel->context();
        else
            failure = TVelErrorContext(VelBoundary::codeOf(e, TVelErrorCode::Generico), QString(),
                                       TVelStage::Costruzione);
        m_dataComplete = false;
        m_book.stop(text);
        say(QStringLiteral("***** ") + text);
    }
    m_host->notice(QStringLiteral("Operazione terminata con errore"), TVelNotice::ErrorAlert);
    return failure;
}

QString TdmVelFile::defaultFolder()
{
    const QString dir = TorFolders::dichCuDir();
    ovTryMakePath(dir);
    return dir;
}

QString TdmVelFile::proposedName()
{
    return QStringLiteral("CUR") + QString::number(Campagna::AnnoInvio % 100).rightJustified(2, QLatin1Char('0'));
}

void TdmVelFile::verifySupply(const QStringList &staged, const QStringList &names) const
{
    m_files.verify(staged, names, m_preCheck.confirmable());
}

QStringList TdmVelFile::save(const QString &fileName)
{
    if (!m_dataComplete || !m_generated)
        throw EVelError(QStringLiteral("Dati obbligatori mancanti, impossibile creare il file!"),
                        {TVelErrorCode::DatiMancanti, fileName, TVelStage::Scrittura});
    // the records are made from the field rows and the supplier's and agent's
    // rows only: the certifications need not stay in memory meanwhile (the
    // page "Dipendenti" loads them again)
    for (const VelFileCds::Source &src : TVelSupplyStore::certifications()) {
        TClientDataSet &ds = m_ws.dataSet(QLatin1String(src.cds));
        if (ds.active())
            ds.emptyDataSet(); // closing alone would keep the rows
        ds.close();
    }
    if (!m_fieldRowsKept)
        VelFileTables::loadFieldTable(m_ws.fieldTable(), m_fieldFile,
                                      [this](const QString &text) { m_host->notice(text, TVelNotice::Warning); });
    m_fieldRowsKept = false;
    m_ws.generator().assemble();
    m_ws.fieldTable().emptyDataSet(); // the records hold it all now
    const int certifications = m_ws.generator().certificationsInSupply();
    TVelSupplyFiles::Written written;
    try {
        written = m_files.write(fileName, certifications, m_preCheck.confirmable());
    } catch (const EOvException &e) {
        m_book.notWritten(e);
        throw;
    }
    // what the files hold, certification by certification
    m_book.written(written.inFile);
    const QStringList &files = written.files;
    const QString &asideLine = written.asideLine;
    // the agent keeps the number of certifications of its last supply; the
    // files are complete under their names whatever happens here, and a
    // failure says so and where they are
    try {
        m_supplyStore.recordCertifications(certifications);
    } catch (const EOvException &e) {
        QStringList shown;
        for (const QString &f : std::as_const(files))
            shown << QDir::toNativeSeparators(f);
        TVelRunOutcome &outcome = m_book.outcome();
        outcome.fatal = QStringLiteral("Il file della fornitura è stato scritto ed è completo: %1. Non è stato "
                                       "però possibile registrare nel database il numero delle certificazioni "
                                       "inviate: %2")
                            .arg(shown.join(QStringLiteral(", ")), e.message());
        say(QStringLiteral("***** ") + outcome.fatal);
        closeDataSets();
        return files;
    }
    closeDataSets();
    if (information)
        information(asideLine.isEmpty()
                        ? QStringList{QStringLiteral("Generazione file completata con successo. Il file è presente in:\n\r")
                                      + QDir::toNativeSeparators(files.value(0))}
                        : QStringList{QStringLiteral("Generazione file completata con successo. Il file è presente in:\n\r")
                                          + QDir::toNativeSeparators(files.value(0)),
                                      asideLine},
                    false);
    return files;
}

QStringList TdmVelFile::summaryLines(const TVelRunOutcome &outcome)
{
    return TVelSupplyOutcomeBook::summaryLines(outcome);
}

void TdmVelFile::prepareAnnotations(TClientDataSet &dip)
{
    m_notes.prepare(dip, m_supplyStore.versions(), *m_host);
}
