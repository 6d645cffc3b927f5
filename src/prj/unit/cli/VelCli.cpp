#include "src/prj/unit/cli/VelCli.h"

#include "src/prj/unit/cli/VelCliCommon.h"
#include "src/prj/unit/cli/VelCliPdfSplit.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvParamManager.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvDbConfig.h"
#include "platform/framework/OvMessages.h"
#include "platform/sql/OvQueryCollection.h"
#include "platform/sql/OvSQLQuery.h"
#include "rag/connection/TdmragConnessione.h"
#include "tor/calc/TorPosizioni.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/import/VelImportReport.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/model/VelParametriUtente.h"
#include "src/prj/unit/telematic/VelProduttore.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace VelCli {
namespace {

using namespace detail;

// The options the command line gives, checked before the database is opened:
// month, "Solo INPS" against the NoiPa box, the public-pension source.
TVelImportOptions importOptions(const QCommandLineParser &p)
{
    TVelImportOptions o;
    o.IMESID = 12;
    if (p.isSet(QStringLiteral("mese"))) {
        bool ok = false;
        o.IMESID = p.value(QStringLiteral("mese")).toInt(&ok);
        if (!ok || o.IMESID < 1 || o.IMESID > 12)
            throw UsageError{s("Mese non valido: \"%1\" (da 1 a 12).").arg(p.value(QStringLiteral("mese")))};
    }
    o.SOLOINPS = p.isSet(QStringLiteral("solo-inps"));
    // As in the wizard, ticking "Solo INPS" clears the NoiPa box; both asked
    // for together are refused.
    o.FISCALE_NOIPA = !o.SOLOINPS;
    if (p.isSet(QStringLiteral("fiscale-noipa"))) {
        if (o.SOLOINPS)
            throw UsageError{s("Non è possibile scegliere contemporaneamente \"Solo INPS\" e \"Importa dati fiscali "
                               "anche per le liquidazioni inviate a NoiPa\"")};
        o.FISCALE_NOIPA = true;
    }
    o.INCLUDI_INPDAP_MEF = 1;
    if (p.isSet(QStringLiteral("inpdap"))) {
        const QString v = p.value(QStringLiteral("inpdap")).toLower();
        if (v != QLatin1String("uniemens") && v != QLatin1String("noipa"))
            throw UsageError{s("Valore di --inpdap non valido: \"%1\" (uniemens o noipa).").arg(v)};
        o.INCLUDI_INPDAP_MEF = v == QLatin1String("noipa") ? 1 : 0;
    }
    return o;
}

TVelSovraScrivi overwriteOption(const QCommandLineParser &p)
{
    if (!p.isSet(QStringLiteral("sovrascrivi")))
        return TVelSovraScrivi::NonSovrascrivere;
    const QString v = p.value(QStringLiteral("sovrascrivi")).toLower();
    if (v == QLatin1String("sempre"))
        return TVelSovraScrivi::SovrascriviSempre;
    if (v != QLatin1String("mai"))
        throw UsageError{s("Valore di --sovrascrivi non valido: \"%1\" (mai o sempre).").arg(v)};
    return TVelSovraScrivi::NonSovrascrivere;
}

// The categories the wizard offers: the payroll's, "(Predefinite)" and
// "7 - Solo autonomi".
int categoryOption(const QCommandLineParser &p, Session &session)
{
    if (!p.isSet(QStringLiteral("categoria")))
        return 0;
    bool ok = false;
    const int category = p.value(QStringLiteral("categoria")).toInt(&ok);
    QSet<int> known{0, TorPosizioni::CategoriaSoloAutonomi};
    TOvSQLQuery q(&session.connessione->xqoMain);
    QueryText().SetQuery(QStringLiteral("QRY_CUD_CAL"), q, 0, QStringLiteral("SELECT"));
    q.open();
    QStringList list;
    for (q.first(); !q.eof(); q.next()) {
        known.insert(int(q.fieldByName(QStringLiteral("ICALID")).asInteger()));
        list << QStringLiteral("%1 %2").arg(q.fieldByName(QStringLiteral("ICALID")).asInteger())
                    .arg(q.fieldByName(QStringLiteral("SCALLDESC")).asString());
    }
    q.close();
    if (!ok || !known.contains(category))
        throw UsageError{s("Categoria non valida: \"%1\" (0 predefinite, 7 solo autonomi%2).")
                             .arg(p.value(QStringLiteral("categoria")),
                                  list.isEmpty() ? QString() : QStringLiteral(", ") + list.join(QStringLiteral(", ")))};
    return category;
}

// Section 2 taken from the payments sent to NoiPA needs the school's
// declaring tax code.
void requireDeclaringCode(Session &session)
{
    TOvSQLQuery q(&session.connessione->xqoMain);
    QueryText().SetQuery(QStringLiteral("QRY_PACO"), q, 0, QStringLiteral("SELECT"));
    if (q.params().findParam(QStringLiteral("IDWGID")))
        q.paramByName(QStringLiteral("IDWGID")).setAsInteger(session.workgroup());
    q.open();
    const bool missing = q.isEmpty() || q.fieldByName(QStringLiteral("SPACOCFMEF")).asString().trimmed().isEmpty();
    q.close();
    if (missing)
        throw EOvError(s("Si è scelto di importare la sezione 2 INPS Gestione Pubblica dai compensi inviati ad "
                         "\"Accessori Fuori sistema\". Il c.f. soggetto denuncia è obbligatorio "
                         "(oppure --inpdap uniemens)."));
}

// The employees of the tax codes asked for (all when none was); false, after
// naming them, when a code is not among the candidates.
bool workList(Command &c, TVelImportCud &imp, const QStringList &codes, QList<int> &work)
{
    if (codes.isEmpty())
        return true;
    QSet<QString> found;
    const int fCf = imp.candidati().fieldIndex(QStringLiteral("SANACODFISCALE"));
    const int fId = imp.candidati().fieldIndex(QStringLiteral("IACOMID"));
    for (int row = 0; row < imp.candidati().recordCount(); ++row) {
        const QString cf = upperCode(imp.candidati().valueAt(row, fCf).toString());
        if (codes.contains(cf)) {
            work << imp.candidati().valueAt(row, fId).toInt();
            found.insert(cf);
        }
    }
    QStringList missing;
    for (const QString &cf : codes)
        if (!found.contains(cf))
            missing << cf;
    if (missing.isEmpty())
        return true;
    c.err << s("Codici fiscali non tra i dipendenti da importare: ") << missing.join(QStringLiteral(", ")) << '\n';
    return false;
}

int importa(Command &c, LazySession &db)
{
    const QCommandLineParser &p = c.p;
    TVelImportOptions o = importOptions(p);
    const TVelSovraScrivi sovraScrivi = overwriteOption(p);
    const QStringList codes = taxCodes(p);

    Session &session = db.get();
    o.anno = session.year;
    o.IDWGID = session.workgroup();
    o.ICALID = categoryOption(p, session);
    if (o.INCLUDI_INPDAP_MEF == 1)
        requireDeclaringCode(session);
    // The agent's data are imported with the first import of the year, as
    // the window proposes.
    o.SOSTITUTO = p.isSet(QStringLiteral("sostituto")) || !session.store->HasRows(rec::TCUS_DATISOST::id.qs());
    if (o.SOSTITUTO)
        o.CFAMM = session.sos->fieldByName(QStringLiteral("SSEDNOMCODICEFISC")).asString();

    TVelImportCud imp(*session.store, QueryText());
    imp.options() = o;
    if (o.SOSTITUTO)
        imp.setSede(session.sos.get());
    imp.setSovraScrivi(sovraScrivi);
    imp.setForzaStampati(p.isSet(QStringLiteral("forza-stampati")));

    c.err << s("Lettura dei dipendenti da importare (mese %1)...\n").arg(o.IMESID);
    c.err.flush();
    if (imp.caricaCandidati() == 0) {
        c.err << s("Nessuna dato da importare!") << '\n';
        return Errors;
    }
    QList<int> work;
    if (!workList(c, imp, codes, work))
        return Errors;
    c.host.silenced << s("Fine operazione");
    // "Dipendente già presente in archivio..." is answered by --sovrascrivi.
    c.host.yes = sovraScrivi == TVelSovraScrivi::SovrascriviSempre;
    imp.setRunHost(c.host);
    Progress progress(c.err, s("Importazione"));
    imp.hooks().onProgress = [&progress](int pos, int count, const QString &who) { progress.step(pos, count, who); };
    QStringList log;
    imp.hooks().onInfo = [&log](const QStringList &lines) { log = lines; };
    const TVelRunOutcome outcome = imp.importa(work);

    for (const QString &line : std::as_const(log))
        c.out << line << '\n';
    // What was committed decides, not the messages shown on the way.
    c.out << TVelImportCud::riepilogo(outcome) << '\n';
    // Kept for "Rapporto ultima importazione", as the window keeps its own.
    try {
        VelImportReport::save(TVelImportCud::rapportoCompleto(outcome, log), o.anno);
    } catch (const std::exception &e) {
        c.err << s("Rapporto non salvato: ") << exceptionText(e) << '\n';
    }
    return outcomeStatus(outcome);
}

int fornitura(Command &c, LazySession &db)
{
    const QCommandLineParser &p = c.p;
    // As the window proposes it: the year's supply folder, "CUR26"; a
    // relative --out starts from the current folder.
    const QString outFile = p.isSet(QStringLiteral("out"))
                                ? QFileInfo(p.value(QStringLiteral("out"))).absoluteFilePath()
                                : QDir(TdmVelFile::defaultFolder()).absoluteFilePath(TdmVelFile::proposedName());
    if (!QFileInfo(QFileInfo(outFile).absolutePath()).isDir())
        throw EOvError(s("La cartella del file \"%1\" non esiste.").arg(outFile));
    const QStringList codes = taxCodes(p);
    if (p.isSet(QStringLiteral("prenotati")) && !codes.isEmpty())
        throw UsageError{s("--prenotati invia tutti i CU segnati per la correzione: non va con --cf.")};
    const bool forza = p.isSet(QStringLiteral("forza"));
    Session &session = db.get();

    TdmVelFile dm(*session.store, QueryText(), session.params.get());
    dm.setRunHost(c.host);
    if (p.isSet(QStringLiteral("cartella-lavoro"))) {
        // Working tables of this run elsewhere than the installation's (two
        // supplies prepared at once on one installation).
        const QDir work(p.value(QStringLiteral("cartella-lavoro")));
        if (!work.exists())
            throw EOvError(s("La cartella di lavoro \"%1\" non esiste.").arg(work.absolutePath()));
        dm.setTablePaths(work.absoluteFilePath(QString::fromLatin1(VelFileTables::FieldFileName)),
                         work.absoluteFilePath(QString::fromLatin1(VelFileTables::RecordFileName)));
    }
    // The generation's closing line speaks of its working tables only; the
    // command's outcome is said once the supply is written and checked. Nor
    // did the user end anything: the command stops by itself without --forza.
    dm.closingLines = false;
    dm.log = [&c](const QString &line) {
        c.err << line << '\n';
        c.err.flush();
    };
    QStringList report;
    dm.information = [&c, &report, forza](const QStringList &lines, bool ask) {
        for (const QString &l : lines)
            if (!l.isEmpty())
                c.out << l << '\n';
        if (ask) {
            report = lines;
            c.out << (forza ? s("Si prosegue (--forza).\n")
                            : s("Fornitura non generata: correggere i dati o proseguire con --forza.\n"));
        }
        return !ask || forza;
    };
    c.err << s("Lettura delle certificazioni...\n");
    c.err.flush();
    const TVelSupplyOpened opened = dm.open();
    QList<int> rows;
    const bool prenotati = p.isSet(QStringLiteral("prenotati"));
    if (prenotati) {
        rows = reservedRows(dm.dip());
        if (rows.isEmpty()) {
            c.err << s("Nessun CU segnato per sostituzione o annullamento: segnarli con velcu-cli correzione.\n");
            dm.closeDataSets();
            return Errors;
        }
    } else if (codes.isEmpty()) {
        rows = dm.visitedRows(TdmVelFile::All);
    } else {
        TClientDataSet &dip = dm.dip();
        QList<int> selected;
        QSet<QString> found;
        int row = 0;
        for (dip.first(); !dip.eof(); dip.next()) {
            ++row;
            const QString cf = upperCode(dip.fieldByName(fld::SCUDCODFIS.qs()).asString());
            if (codes.contains(cf)) {
                selected << row;
                found.insert(cf);
            }
        }
        if (!allCodesFound(c, codes, found)) {
            dm.closeDataSets();
            return Errors;
        }
        rows = dm.visitedRows(TdmVelFile::Reserved, selected);
    }
    if (rows.isEmpty()) {
        c.err << s("Nessuna certificazione da inviare.\n");
        dm.closeDataSets();
        return Errors;
    }
    if (mixedSupplyRefused(c, dm.dip(), rows, prenotati || !codes.isEmpty())) {
        dm.closeDataSets();
        return Errors;
    }
    const std::optional<TVelSupplyChecked> checked = opened.preCheck(rows);
    if (!checked) {
        dm.closeDataSets();
        return Errors;
    }
    TVelSupplyGeneration generation = checked->generate();
    if (!generation.supply) {
        dm.closeDataSets();
        return Errors;
    }
    const TVelSupplySaved saved = generation.supply->save(outFile);
    for (const QString &f : saved.files)
        c.out << s("File scritto: ") << QDir::toNativeSeparators(f) << '\n';
    // What was written, certification by certification, as the run recorded it.
    for (const QString &line : TdmVelFile::summaryLines(saved.outcome))
        c.out << line << '\n';
    // What the agency's control would say, before anyone files it.
    // the worse of the run and of the check of what it wrote
    return worseStatus(outcomeStatus(saved.outcome), printCheck(c, saved.files, dm.confirmedFindings()));
}

int stato(Command &c, LazySession &db)
{
    if (!c.p.positionalArguments().isEmpty())
        throw UsageError{s("Argomento non previsto: \"%1\".").arg(c.p.positionalArguments().first())};
    Session &session = db.get();
    TTorDBCds &store = *session.store;
    TClientDataSet cud;
    store.Load(cud, rec::TCUD_DATICUD::id.qs(), TTorDBCds::AllMonths);
    int printed = 0;
    QSet<QString> keys;
    for (cud.first(); !cud.eof(); cud.next()) {
        printed += cud.fieldByName(fld::iCudStato.qs()).asString() == QLatin1String("1");
        keys.insert(upperCode(cud.fieldByName(fld::SCUDCODFIS.qs()).asString()) + QLatin1Char('|')
                    + cud.fieldByName(fld::SCUDMESE.qs()).asString());
    }
    QSet<QString> withSections;
    for (const QString &structure : TdmVelFile::certificationStructures()) {
        if (structure.compare(rec::TCUD_DATICUD::id.l1(), Qt::CaseInsensitive) == 0)
            continue;
        TClientDataSet ds;
        store.Load(ds, structure, TTorDBCds::AllMonths);
        const int fCf = ds.fieldIndex(fld::SCUDCODFIS.qs());
        const int fMese = ds.fieldIndex(fld::SCUDMESE.qs());
        if (fCf < 0 || fMese < 0)
            continue;
        for (int row = 0; row < ds.recordCount(); ++row) {
            const QString key = upperCode(ds.valueAt(row, fCf).toString()) + QLatin1Char('|')
                                + ds.valueAt(row, fMese).toString();
            if (keys.contains(key))
                withSections.insert(key);
        }
    }
    auto firstRow = [&store](const char *structure, TClientDataSet &ds) {
        store.Load(ds, QLatin1String(structure), TTorDBCds::AllMonths);
        ds.first();
        return !ds.isEmpty();
    };
    TClientDataSet sost, forn, ct;
    firstRow(rec::TCUS_DATISOST::id.name, sost);
    firstRow(rec::TCFO_FORNITORE::id.name, forn);
    const bool quadroCt = firstRow(rec::TCUCT_DATICT::id.name, ct);
    const VelProduttore::Setting producer = VelProduttore::current(VelTaxCode::settingsFile());
    c.out << s("Anno finanziario: %1\n").arg(session.year);
    c.out << s("Database: %1\n").arg(session.connessione->xqoMain.config().describe());
    c.out << s("CU in archivio: %1\n").arg(cud.recordCount());
    c.out << s("CU stampati: %1\n").arg(printed);
    c.out << s("CU con sezioni (INPS, familiari, autonomi...): %1\n").arg(withSections.size());
    c.out << s("Dati del sostituto: %1\n").arg(completeness(agentMissing(sost)));
    c.out << s("Dati del fornitore: %1\n").arg(completeness(supplierMissing(forn)));
    c.out << s("Quadro CT: %1\n").arg(quadroCt ? s("compilato") : s("non compilato"));
    c.out << s("Codice fiscale del produttore del software: %1\n")
                 .arg(!VelCodFis::isValidNumeric(producer.code) ? s("mancante o non valido")
                      : producer.demo                           ? producer.code + s(" (valore dimostrativo)")
                                                                : producer.code);
    return Ok;
}

// ---------------------------------------------------------------- options

QString usage()
{
    return s("Uso: velcu-cli COMANDO [opzioni]\n"
             "Comandi:\n"
             "  import      importa le certificazioni dalle retribuzioni\n"
             "              --mese N  --categoria N  --solo-inps  --fiscale-noipa  --sostituto\n"
             "              --inpdap uniemens|noipa  --sovrascrivi mai|sempre  --forza-stampati  --cf CF...\n"
             "  fornitura   scrive la fornitura telematica e la controlla\n"
             "              --out FILE  --cf CF...  --forza  --cartella-lavoro CARTELLA\n"
             "              --prenotati: solo i CU segnati per sostituzione o annullamento\n"
             "              --misto: accetta CU ordinari e correzioni nella stessa fornitura\n"
             "              (--out predefinito: %1%2 dell'installazione)\n"
             "  stampa      stampa i CU in PDF\n"
             "              --sintetico|--ordinario  --out FILE.pdf  --per-percipiente CARTELLA\n"
             "              --fronte-retro  --firma-omessa  --bozza  --sovrascrivi  --cf CF...\n"
             "              (--out predefinito: %3%4.pdf, %3%5.pdf con --ordinario; con --bozza il nome\n"
             "              finisce in -Bozza.pdf e una bozza non sostituisce mai una stampa definitiva)\n"
             "  controlla   controlla i file di una fornitura: FILE... o CARTELLA; senza file, le\n"
             "              forniture della cartella %1 dell'installazione\n"
             "              --coerenza: controlla invece la coerenza dei CU in archivio\n"
             "  correzione  elenca i CU segnati per sostituzione o annullamento; ne segna uno con\n"
             "              --sostituisci CF|--annulla CF  --protocollo IDENTIFICATIVO/PROGRESSIVO  [--mese N]\n"
             "              e toglie il segno con --togli CF\n"
             "  stato       anno, CU in archivio, stampati, dati del sostituto e del fornitore\n"
             "  sostituto   mostra i dati del sostituto e del fornitore; li modifica con\n"
             "              --imposta CAMPO=VALORE (ripetibile)  --forza\n"
             "Opzioni comuni: --anno AAAA, --db-engine, --db-path, --db-host, --db-port, --db-name, --db-user,\n"
             "  --db-options, --db-config (vedere velcu --help).\n"
             "Un percorso relativo (--out, --per-percipiente, i file di controlla) parte dalla cartella corrente.\n"
             "Esito: 0 riuscito, 1 errori, 2 uso non corretto, 3 riuscito con avvisi da verificare.\n")
        .arg(Campagna::cartellaFornitura(), TdmVelFile::proposedName(), Campagna::cartellaStampe(),
             TVelCuPrint::defaultFileName(false), TVelCuPrint::defaultFileName(true));
}

void addOptions(QCommandLineParser &p, const QString &command)
{
    auto flag = [&p](const char *name, const char *text) {
        p.addOption(QCommandLineOption(QLatin1String(name), QString::fromUtf8(text)));
    };
    auto valued = [&p](const char *name, const char *text, const char *value) {
        p.addOption(QCommandLineOption(QLatin1String(name), QString::fromUtf8(text), QLatin1String(value)));
    };
    p.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, s("Mostra l'uso.")));
    if (command == QLatin1String("controlla"))
        p.addOption(QCommandLineOption(QStringLiteral("coerenza"), s("Controlla la coerenza dei CU in archivio.")));
    TOvDbOptions::addTo(p);
    valued("anno", "Anno finanziario.", "AAAA");
    if (command == QLatin1String("import")) {
        valued("mese", "Mese di chiusura (1-12).", "N");
        valued("categoria", "Categoria (0 predefinite, 7 solo autonomi).", "N");
        flag("solo-inps", "Solo dati INPS.");
        flag("fiscale-noipa", "Importa dati fiscali anche per le liquidazioni inviate a NoiPa.");
        flag("sostituto", "Importa i dati del sostituto.");
        valued("inpdap", "Sezione 2 INPS da uniemens o noipa.", "fonte");
        valued("sovrascrivi", "CU già presenti: mai o sempre.", "scelta");
        flag("forza-stampati", "Importa anche i CU già stampati.");
    }
    if (command == QLatin1String("fornitura") || command == QLatin1String("stampa"))
        valued("out", "File da scrivere (un percorso relativo parte dalla cartella corrente).", "FILE");
    if (command == QLatin1String("fornitura")) {
        flag("forza", "Prosegue anche con dati obbligatori mancanti.");
        flag("prenotati", "Solo i CU segnati per sostituzione o annullamento.");
        flag("misto", "Accetta CU ordinari e correzioni nella stessa fornitura.");
        valued("cartella-lavoro", "Cartella delle tabelle di lavoro (predefinita: USR/KZDati).", "CARTELLA");
    }
    if (command == QLatin1String("stampa")) {
        flag("sintetico", "CU sintetico.");
        flag("ordinario", "CU ordinario.");
        valued("per-percipiente", "Un PDF per percipiente in questa cartella.", "CARTELLA");
        flag("fronte-retro", "Predispone il documento per la stampa fronte/retro.");
        flag("firma-omessa", "Firma omessa ai sensi di legge.");
        flag("bozza", "Bozza: \"BOZZA\" su ogni pagina, nessun CU segnato come stampato.");
        flag("sovrascrivi", "Sostituisce il documento PDF già presente.");
    }
    if (command == QLatin1String("correzione")) {
        valued("sostituisci", "Segna per la sostituzione il CU di questo codice fiscale.", "CF");
        valued("annulla", "Segna per l'annullamento il CU di questo codice fiscale.", "CF");
        valued("togli", "Toglie il segno di correzione dal CU di questo codice fiscale.", "CF");
        valued("protocollo", "Protocollo del CU già inviato (17 cifre/6 cifre).", "ID/PROGR");
        valued("mese", "Mese del CU, quando il percipiente ne ha più di uno.", "N");
        return;
    }
    if (command == QLatin1String("sostituto")) {
        valued("imposta", "Imposta un campo del sostituto o del fornitore (ripetibile).", "CAMPO=VALORE");
        flag("forza", "Salva il fornitore anche con dati obbligatori mancanti.");
        return;
    }
    if (command != QLatin1String("stato") && command != QLatin1String("controlla"))
        valued("cf", "Codice fiscale (ripetibile o separato da virgole).", "CF");
}

// QCommandLineParser's own texts are English: the Italian line instead.
QString parseError(const QCommandLineParser &p, const QString &command)
{
    if (!p.unknownOptionNames().isEmpty())
        return s("Opzione non valida per \"%1\": %2%3 (velcu-cli %1 --help per l'elenco).")
            .arg(command, p.unknownOptionNames().first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--"),
                 p.unknownOptionNames().first());
    static const QRegularExpression missing(QStringLiteral("'(.*)'"));
    const auto m = missing.match(p.errorText());
    if (m.hasMatch())
        return s("Manca il valore dell'opzione %1.").arg(m.captured(1));
    return s("Opzioni non valide per \"%1\".").arg(command);
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QStringList commands{QStringLiteral("import"), QStringLiteral("fornitura"), QStringLiteral("stampa"),
                               QStringLiteral("controlla"), QStringLiteral("stato"), QStringLiteral("sostituto"),
                               QStringLiteral("correzione")};
    if (arguments.size() < 2 || arguments.at(1) == QLatin1String("--help") || arguments.at(1) == QLatin1String("-h")) {
        (arguments.size() < 2 ? err : out) << usage();
        return arguments.size() < 2 ? Usage : Ok;
    }
    const QString command = arguments.at(1);
    if (!commands.contains(command)) {
        err << s("Comando sconosciuto: \"%1\" (import, fornitura, stampa, controlla, stato, sostituto, correzione).\n").arg(command);
        return Usage;
    }
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addOptions(p, command);
    QStringList rest = arguments;
    rest.removeAt(1);
    if (!p.parse(rest)) {
        err << parseError(p, command) << '\n';
        return Usage;
    }
    if (p.isSet(QStringLiteral("help"))) {
        out << usage();
        return Ok;
    }

    CliResponder responder(err);
    ResponderScope scope(&responder);
    CliRunHost host(err);
    Command c{p, out, err, responder, host};
    int status = Ok;
    try {
        if (command == QLatin1String("controlla") && !p.isSet(QStringLiteral("coerenza"))) {
            status = controlla(c);
        } else {
            LazySession db;
            if (p.isSet(QStringLiteral("anno"))) {
                bool ok = false;
                db.year = p.value(QStringLiteral("anno")).toInt(&ok);
                if (!ok || db.year < 2000 || db.year > 2100)
                    throw UsageError{s("Anno non valido: \"%1\".").arg(p.value(QStringLiteral("anno")))};
            }
            try {
                db.config = TOvDbOptions::resolve(&p);
            } catch (const EOvException &e) {
                throw UsageError{e.message()};
            }
            if (command != QLatin1String("stato")
                && (command != QLatin1String("sostituto") || p.isSet(QStringLiteral("imposta")))
                && (command != QLatin1String("correzione") || p.isSet(QStringLiteral("sostituisci"))
                    || p.isSet(QStringLiteral("annulla")) || p.isSet(QStringLiteral("togli"))))
                db.announceTo = &err;
            if (command == QLatin1String("import"))
                status = importa(c, db);
            else if (command == QLatin1String("fornitura"))
                status = fornitura(c, db);
            else if (command == QLatin1String("stampa"))
                status = stampa(c, db);
            else if (command == QLatin1String("sostituto"))
                status = sostituto(c, db);
            else if (command == QLatin1String("correzione"))
                status = correzione(c, db);
            else if (command == QLatin1String("controlla"))
                status = coerenza(c, db);
            else
                status = stato(c, db);
        }
    } catch (const UsageError &u) {
        err << u.text << '\n';
        status = Usage;
    } catch (const OpenFailed &) {
        status = Errors; // the connection module gave its message

    } catch (const EAbort &) {
        err << s("Operazione annullata.\n");
        status = Errors;
    } catch (const std::exception &e) {
        QString text = exceptionText(e);
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        err << text.simplified() << '\n';
        status = Errors;
    }
    out.flush();
    err.flush();
    return status;
}

} // namespace VelCli
