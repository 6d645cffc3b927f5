#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelTextFit.h"

#include "src/prj/unit/model/VelBoundary.h"
#include "src/prj/unit/model/VelError.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/sql/OvSQLQuery.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/check/VelCoherence.h"
#include "src/prj/unit/check/VelMandatoryFields.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/telematic/VelAnnotationCodes.h"
#include "src/prj/unit/telematic/VelFileSupport.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QDir>
#include <QRegularExpression>
#include <QFileInfo>

#include <algorithm>


namespace {

using VelFileSupport::releaseFreedMemory;
using VelFileSupport::text;

// The certification structures and their datasets, reloaded on page "Dipendenti".
using Source = VelFileCds::Source;
const Source kCertifications[] = {
    {VelFileCds::Dip, rec::TCUD_DATICUD::id.name},          {VelFileCds::Inail, rec::TCUIN_INAIL::id.name},
    {VelFileCds::AltriEnti, rec::TCUDAE_ALTRIENTI::id.name}, {VelFileCds::Inps, rec::TCUDI_INPS::id.name},
    {VelFileCds::Inpdap, rec::TCUDN_INPDAP::id.name},       {VelFileCds::AutSe, rec::TASE_AUTSOMMEEROGATE::id.name},
    {VelFileCds::ConFamCar, rec::TCUDC_CONFAMCARICO::id.name}, {VelFileCds::Tfr, rec::TCUDT_TFR::id.name},
    {VelFileCds::Annotazioni, rec::TCUDA_ANNOTAZIONI::id.name}, {VelFileCds::CoopArt, rec::TCUDCA_COOPART::id.name},
};

constexpr const char *kAnnotationStructure = VelAnnotationRows::Structure;
constexpr int kCodesPerRow = VelAnnotationRows::CodesPerRow;



} // namespace

const QStringList &TdmVelFile::certificationStructures()
{
    static const QStringList names = [] {
        QStringList n;
        for (const Source &s : kCertifications)
            n << QLatin1String(s.structure);
        return n;
    }();
    return names;
}

TdmVelFile::TdmVelFile(TTorDBCds &store, TTorQueryText &queries, TdmRagParams *params)
    : m_store(store), m_queries(queries), m_params(params), m_fieldFile(VelFileTables::fieldFilePath()),
      m_recordFile(VelFileTables::recordFilePath())
{
    m_settingsFile = VelTaxCode::settingsFile();
    information = [this](const QStringList &lines, bool ask) { return m_host->information(lines, ask); };
    m_ws.engine().setMessageSink([this](const QString &text) { m_host->notice(text, TVelNotice::Warning); });
    defaultMatricola = [this] { return readDefaultMatricola(); };
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

void TdmVelFile::say(const QString &line) const
{
    if (log)
        log(line);
}

void TdmVelFile::load(TClientDataSet &ds, const QString &structure)
{
    ds.setFiltered(false);
    VelCuRepository(m_store).load(ds, structure, TTorDBCds::AllMonths);
}

TVelSupplyOpened TdmVelFile::open()
{
    // Every dataset but the agent's, read at generation; all of them from one
    // snapshot of the store.
    VelReadSnapshot snapshot(m_store.connection());
    for (const Source &s : VelFileCds::Sources)
        if (QLatin1String(s.cds) != QLatin1String(VelFileCds::Sost))
            load(m_ws.dataSet(QLatin1String(s.cds)), QLatin1String(s.structure));
    m_versions = VelCuRepository(m_store).versions();
    snapshot.end();
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
    const bool generated = m_dm->runGeneration(m_rows);
    g.outcome = m_dm->m_outcome;
    if (generated)
        g.supply = TVelSupplyGenerated(*m_dm, m_dm->m_generation, m_dm->m_outcome);
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
        m_outcome = m_dm->m_outcome; // what each certification came to
        throw;
    }
    m_outcome = m_dm->m_outcome;
    saved.outcome = m_outcome;
    return saved;
}

void TdmVelFile::reloadCertifications()
{
    const QString order = dip().active() ? dip().indexFieldNames() : QString();
    VelReadSnapshot snapshot(m_store.connection());
    for (const Source &s : kCertifications)
        load(m_ws.dataSet(QLatin1String(s.cds)), QLatin1String(s.structure));
    m_versions = VelCuRepository(m_store).versions();
    snapshot.end();
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

QString TdmVelFile::readDefaultMatricola()
{
    TOvSQLConnection *conn = m_store.connection();
    if (!conn)
        return QString();
    TOvSQLQuery q(conn);
    m_queries.SetQuery(QStringLiteral("QRY_PACO"), q, 0, QStringLiteral("SELECT"));
    const int workgroup = m_params ? m_params->xpmOvuParams.intValue(TdmRagParams::ParDwgId) : m_workgroup;
    if (q.params().findParam(QStringLiteral("IDWGID")))
        q.paramByName(QStringLiteral("IDWGID")).setAsInteger(workgroup);
    q.open();
    const QString m = q.isEmpty() ? QString() : q.fieldByName(QStringLiteral("SPACOMATRAZIENDA")).asString().trimmed();
    q.close();
    return m;
}

void TdmVelFile::startOutcome(const QList<int> &rows)
{
    m_outcome = TVelRunOutcome();
    m_outcome.warnings = m_preCheckWarnings;
    m_outcomeRows = rows;
    TClientDataSet &d = dip();
    const int keep = d.recNo();
    for (int r : rows) {
        TVelPayeeOutcome p;
        if (d.active() && r >= 1 && r <= d.recordCount()) {
            d.setRecNo(r);
            p.codFis = text(d, fld::SCUDCODFIS.name).trimmed().toUpper();
            p.nome = (text(d, fld::SCUDCOGNOME.name) + QLatin1Char(' ') + text(d, fld::SCUDNOME.name)).simplified();
            p.mese = text(d, fld::SCUDMESE.name).trimmed();
        }
        p.reason = QStringLiteral("non raggiunta");
        m_outcome.add(p);
    }
    if (keep > 0 && d.active())
        d.setRecNo(keep);
}

void TdmVelFile::stopOutcome(const QString &why)
{
    m_outcome.fatal = why;
    for (TVelPayeeOutcome &p : m_outcome.payees)
        if (p.result == TVelResult::NonEseguito)
            p.reason = QStringLiteral("fornitura non completata");
}

void TdmVelFile::generate(const QList<int> &rows)
{
    ++m_generation;
    m_generated = false;
    m_fieldRowsKept = false;
    m_dataComplete = true;
    startOutcome(rows);
    QStringList refused = repeatedTaxCodes(rows);
    refused << unsendableFields(rows);
    if (const QStringList &repeated = refused; !repeated.isEmpty()) {
        m_dataComplete = false;
        throw EVelError(repeated.join(QLatin1Char(' ')), {TVelErrorCode::Fornitura, QString(), TVelStage::Decisione});
    }
    VelFileTables::openFieldTableForGeneration(m_ws.fieldTable());
    VelFileTables::openRecordTableForGeneration(m_ws.recordTable());
    checkSupplier();
    checkAgent();
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
    m_notesIndexed = false;
    m_pendingNotes.clear();
    try {
        m_ws.generator().generate(rows);
    } catch (...) {
        // annotation rows rebuilt but not saved are dropped: the next generation rebuilds them
        m_ws.dataSet(QLatin1String(VelFileCds::Annotazioni)).cancelUpdates();
        m_pendingNotes.clear();
        throw;
    }
    // which certifications have records in the field rows, and which had nothing to send
    const QSet<int> &withRecords = m_ws.generator().rowsWithRecords();
    for (qsizetype i = 0; i < m_outcome.payees.size(); ++i) {
        TVelPayeeOutcome &p = m_outcome.payees[i];
        if (withRecords.contains(m_outcomeRows.at(i))) {
            p.stage = TVelStage::Costruzione;
            p.reason = QStringLiteral("file non ancora salvato");
        } else {
            p.stage = TVelStage::Decisione;
            p.result = TVelResult::Scartato;
            p.reason = QStringLiteral("nessun dato da inviare (nessun importo e nessuna sezione compilata)");
        }
    }
    if (!rows.isEmpty() && m_ws.fieldTable().recordCount() > 0)
        m_fieldRowsPerCertification = double(m_ws.fieldTable().recordCount()) / double(rows.size());
    saveAnnotations();
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

bool TdmVelFile::runGeneration(const QList<int> &rows)
{
    try {
        generate(rows);
        return true;
    } catch (const EOvException &e) {
        m_dataComplete = false;
        stopOutcome(e.message());
        say(QStringLiteral("***** ") + e.message());
    } catch (const std::exception &e) {
        m_dataComplete = false;
        stopOutcome(QString::fromLocal8Bit(e.what()));
        say(QStringLiteral("***** ") + QString::fromLocal8Bit(e.what()));
    }
    m_host->notice(QStringLiteral("Operazione terminata con errore"), TVelNotice::ErrorAlert);
    return false;
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
    // the files as the agency's control reads them, before they take the names
    // the office sends
    TVelSupplyCheck check;
    QList<TVelSupplyProblem> problems;
    for (const TVelSupplyProblem &p : check.run(staged)) {
        // a warning is the office's to confirm: said once, never a refusal
        if (!p.warning)
            problems << p;
        else if (!m_confirmable.contains(p.key()))
            say(p.text());
    }
    if (problems.isEmpty())
        return;
    QStringList lines;
    for (TVelSupplyProblem p : problems) {
        if (const qsizetype i = staged.indexOf(p.file); i >= 0)
            p.file = QFileInfo(names.at(i)).fileName();
        lines << p.text();
        if (lines.size() == 20) {
            lines << QStringLiteral("...");
            break;
        }
    }
    throw EVelError(QStringLiteral("Fornitura non scritta: il controllo dei file ha trovato %1 problemi "
                                   "(nessun file è stato salvato con il nome della fornitura):\n")
                            .arg(problems.size())
                        + lines.join(QLatin1Char('\n')),
                    {TVelErrorCode::Fornitura, names.value(0), TVelStage::Conferma});
}

QStringList TdmVelFile::save(const QString &fileName)
{
    if (!m_dataComplete || !m_generated)
        throw EVelError(QStringLiteral("Dati obbligatori mancanti, impossibile creare il file!"),
                        {TVelErrorCode::DatiMancanti, fileName, TVelStage::Scrittura});
    // the records are made from the field rows and the supplier's and agent's
    // rows only: the certifications need not stay in memory meanwhile (the
    // page "Dipendenti" loads them again)
    for (const Source &src : kCertifications) {
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
    QSet<qint64> inFile;
    QStringList files;
    TorFileSet::Replaced replaced;
    try {
        files = VelSupplyWriter::write(m_ws.recordTable(), m_ws.generator().supplyPlaces(), fileName, certifications,
                                       [this](const QString &text) { m_host->notice(text, TVelNotice::Warning); },
                                       &inFile,
                                       [this](const QStringList &staged, const QStringList &names) {
                                           verifySupply(staged, names);
                                       },
                                       &replaced);
    } catch (const EOvException &e) {
        for (const QString &line : std::as_const(replaced.notices))
            say(line);
        stopOutcome(e.message());
        for (TVelPayeeOutcome &p : m_outcome.payees)
            if (p.result == TVelResult::NonEseguito) {
                p.stage = TVelStage::Scrittura;
                if (const auto *known = dynamic_cast<const EVelError *>(&e))
                    known->record(p); // the checker refused the files: at the renaming
                p.result = TVelResult::Errore;
                p.reason = QStringLiteral("file della fornitura non scritto");
            }
        throw;
    }
    // what the files hold, certification by certification
    for (qsizetype i = 0; i < m_outcome.payees.size(); ++i) {
        TVelPayeeOutcome &p = m_outcome.payees[i];
        if (p.result != TVelResult::NonEseguito)
            continue;
        if (inFile.contains(m_outcomeRows.at(i))) {
            p.stage = TVelStage::Conferma;
            p.result = TVelResult::Fatto;
            p.reason.clear();
        } else {
            p.stage = TVelStage::Scrittura;
            p.result = TVelResult::Errore;
            p.reason = QStringLiteral("certificazione preparata ma assente dal file");
        }
    }

    for (const QString &line : std::as_const(replaced.notices))
        say(line);
    QString asideLine;
    if (!replaced.aside.isEmpty() && !replaced.moved.isEmpty()) {
        QStringList moved;
        for (const QString &f : std::as_const(replaced.moved))
            moved << QFileInfo(f).fileName();
        asideLine = QStringLiteral("La fornitura precedente (%1) è stata spostata nella cartella %2.")
                        .arg(moved.join(QStringLiteral(", ")), QDir::toNativeSeparators(replaced.aside));
        say(asideLine);
    }
    // the agent keeps the number of certifications of its last supply; the
    // files are complete under their names whatever happens here, and a
    // failure says so and where they are
    try {
        TClientDataSet agent;
        VelCuRepository(m_store).load(agent, rec::TCUS_DATISOST::id.qs(), TTorDBCds::AllMonths);
        if (!agent.isEmpty()) {
            agent.first();
            agent.edit();
            agent.fieldByName(fld::ISOSNDIP.qs()).setAsInteger(certifications);
            agent.post();
            VelCuRepository(m_store).write(agent, rec::TCUS_DATISOST::id.qs(), TTorDBCds::AllMonths);
        }
    } catch (const EOvException &e) {
        QStringList shown;
        for (const QString &f : std::as_const(files))
            shown << QDir::toNativeSeparators(f);
        m_outcome.fatal = QStringLiteral("Il file della fornitura è stato scritto ed è completo: %1. Non è stato "
                                         "però possibile registrare nel database il numero delle certificazioni "
                                         "inviate: %2")
                              .arg(shown.join(QStringLiteral(", ")), e.message());
        say(QStringLiteral("***** ") + m_outcome.fatal);
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

const QSet<QString> &TdmVelFile::noteCodes()
{
    if (!m_notesLoaded) {
        m_noteCodes = VelAnnotationCodes::readNoteTable();
        m_notesLoaded = true;
    }
    return m_noteCodes;
}

void TdmVelFile::saveAnnotations()
{
    TClientDataSet &ann = m_ws.dataSet(QLatin1String(VelFileCds::Annotazioni));
    const QList<VelAnnotationRows::Pending> pending = m_pendingNotes;
    m_pendingNotes.clear();
    if (pending.isEmpty()) {
        ann.mergeChangeLog();
        return;
    }
    auto codes = [](const QList<VelAnnotationRows::Pending> &list) {
        QStringList out;
        for (const VelAnnotationRows::Pending &p : list)
            out << p.codFis;
        return out.join(QStringLiteral(", "));
    };
    try {
        const VelAnnotationRows::Result r = VelAnnotationRows::save(m_store, pending);
        ann.mergeChangeLog(); // the rows in memory are the ones the files are made from
        if (!r.gone.isEmpty()) {
            // replaced or deleted on another workstation after the reading: the
            // file holds the certification as it was read
            const QString line = QStringLiteral("Annotazioni non salvate per %1: certificazione modificata, sostituita o "
                                                "cancellata da un'altra postazione dopo la lettura; nel file è "
                                                "quella letta all'inizio.")
                                     .arg(codes(r.gone));
            m_outcome.warn(TVelWarningCode::AnnotazioniNonSalvate, line);
            say(line);
        }
    } catch (const EOvConnectionLost &) {
        // No server: the run stops here, said once, rather than going on to a
        // supply the store could not record.
        ann.cancelUpdates();
        m_notesIndexed = false;
        throw;
    } catch (const EOvException &e) {
        // nothing of it was written: what the store holds is what the next generation compares with
        ann.cancelUpdates();
        m_notesIndexed = false;
        const QString line = QStringLiteral("Annotazioni non salvate nel database (%1): controllare le annotazioni "
                                            "nel Modello CU di %2")
                                 .arg(e.message(), codes(pending));
        m_outcome.warn(TVelWarningCode::AnnotazioniNonSalvate, line);
        say(line);
    }
}

QStringList TdmVelFile::summaryLines(const TVelRunOutcome &o)
{
    QStringList lines;
    lines << QStringLiteral("Certificazioni nella fornitura: %1.").arg(o.count(TVelResult::Fatto));
    if (const int n = o.count(TVelResult::Scartato))
        lines << QStringLiteral("Certificazioni senza dati da inviare, non incluse: %1.").arg(n);
    if (const int n = o.count(TVelResult::Errore) + o.count(TVelResult::NonEseguito))
        lines << QStringLiteral("Certificazioni non scritte: %1.").arg(n);
    lines << o.problemLines();
    for (const TVelRunWarning &w : o.warnings)
        lines << QStringLiteral("Attenzione: ") + w.text;
    if (!o.fatal.isEmpty())
        lines << QStringLiteral("***** ") + o.fatal;
    return lines;
}

void TdmVelFile::prepareAnnotations(TClientDataSet &d)
{
    const QString cf = text(d, fld::SCUDCODFIS.name);
    try {
        TClientDataSet &ann = m_ws.dataSet(QLatin1String(VelFileCds::Annotazioni));
        ann.setFiltered(false);
        const int id = ann.fieldIndex(fld::iAfiID.qsUpper());
        auto column = [](int k) { return VelAnnotationRows::column(k); };
        if (!m_notesIndexed) {
            // the codes each certification has now, once per generation
            m_notesNow.clear();
            QList<int> fields;
            for (int k = 0; k < kCodesPerRow; ++k)
                fields << ann.fieldIndex(column(k));
            for (int r = 0; r < ann.recordCount(); ++r) {
                QStringList row;
                for (int f : std::as_const(fields)) {
                    const QString v = f >= 0 ? ann.valueAt(r, f).toString().trimmed() : QString();
                    if (v.isEmpty())
                        break;
                    row << v;
                }
                m_notesNow[ann.valueAt(r, id).toLongLong()] << row;
            }
            m_notesIndexed = true;
        }

        const qint64 person = d.fieldByName(fld::iAfiID.qsUpper()).asInteger();
        const QString notes = text(d, fld::SCUDANNOTAZIONI.name);
        const QStringList codes = notes.trimmed().isEmpty() ? QStringList() : VelAnnotationCodes::codesOf(notes, noteCodes());
        // the rows the text asks for: 54 codes a row
        QList<QStringList> wanted;
        for (qsizetype i = 0; i < codes.size(); i += kCodesPerRow)
            wanted << codes.mid(i, kCodesPerRow);
        if (m_notesNow.value(person) == wanted)
            return; // nothing to rebuild

        bool ok = false;
        const QString monthText = text(d, fld::SCUDMESE.name).trimmed();
        const int month = monthText.toInt(&ok);
        const int saveMonth = ok ? month : TTorDBCds::AllMonths;

        while (ann.locate(fld::iAfiID.qsUpper(), person))
            ann.deleteRecord();
        for (const QStringList &row : std::as_const(wanted)) {
            ann.append();
            ann.fieldByName(fld::iAfiID.qsUpper()).setAsInteger(person);
            ann.fieldByName(fld::SCUDCODFIS.qs()).setAsString(cf);
            if (const TField m = ann.findField(fld::SCUDMESE.qs()); m && !monthText.isEmpty())
                m.setAsString(monthText);
            for (qsizetype k = 0; k < row.size(); ++k)
                ann.fieldByName(column(int(k))).setAsString(row[k]);
            ann.post();
        }
        m_notesNow.insert(person, wanted);
        // written at the end of the generation, if the person is still there
        m_pendingNotes.erase(std::remove_if(m_pendingNotes.begin(), m_pendingNotes.end(),
                                            [person](const VelAnnotationRows::Pending &p) { return p.person == person; }),
                             m_pendingNotes.end());
        m_pendingNotes.append({person, m_versions.value(person), cf, monthText, saveMonth, wanted});
    } catch (const EOvException &) {
        m_host->notice(QStringLiteral("Controllare le annotazioni nel Modello CU: ") + cf, TVelNotice::WarningAlert);
    }
}
