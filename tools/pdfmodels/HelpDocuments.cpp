// The documents of the Help menu: "News.pdf" (what is new in this edition),
// "invio_telematico.pdf" (how the office sends the supply) and
// "Provvedimento.pdf" (where the revenue agency publishes the provision that
// approves the model). Short texts of our own, laid out like the instructions.
#include "FormDrawer.h"
#include "Models.h"

#include "platform/core/OvExceptions.h"
#include "tor/util/TorCampagna.h"

#include <QDir>
#include <QFile>

namespace {

// Years written as {AF} (financial year) and {AI} (year of filing), the
// its last two digits as {AI2}, the edition's folder as {KZ}, the provision's
// date as {PROVV}.
QString filled(QString text)
{
    return text.replace(QStringLiteral("{AI2}"), QString::number(Campagna::AnnoInvio % 100).rightJustified(2, QLatin1Char('0')))
        .replace(QStringLiteral("{AF}"), QString::number(Campagna::AnnoFinanziario))
        .replace(QStringLiteral("{AI}"), QString::number(Campagna::AnnoInvio))
        .replace(QStringLiteral("{KZ}"), Campagna::cartellaAnno())
        .replace(QStringLiteral("{PROVV}"), Campagna::provvedimentoEsteso());
}

// "# " a heading, "## " a sub-heading, "- " a list item, anything else a
// paragraph; a new page starts when the next block would not fit.
void writeDocument(const QString &path, const QString &title, const QStringList &blocks)
{
    TPdkPdf pdf;
    FormDrawer d(pdf);
    d.newDocument(1);
    int page = 1;
    auto band = [&] {
        d.text(15, 12, 7, Campagna::titoloModello() + QStringLiteral(" - ") + title, true, 0.25);
        d.line(15, 14, 195, 14, 0.3, 0.4);
        d.textCentered(15, 180, 288, 7, QString::number(page));
    };
    band();
    double y = 24;
    for (const QString &raw : blocks) {
        const QString block = filled(raw);
        // a rough height: lines of about 100 characters at 9 points
        const double need = 6.0 * (1 + block.size() / 100);
        if (y + need > 280) {
            pdf.Check(pdf.NewPage(), QStringLiteral("Nuova pagina"));
            ++page;
            d.page(page);
            band();
            y = 24;
        }
        if (block.startsWith(QLatin1String("# ")))
            y = d.paragraph(15, y + 2, 180, 12, block.mid(2), 0, true) + 2;
        else if (block.startsWith(QLatin1String("## ")))
            y = d.paragraph(15, y + 1.5, 180, 9.5, block.mid(3), 0, true) + 0.5;
        else if (block.startsWith(QLatin1String("- ")))
            y = d.paragraph(20, y, 175, 9, QStringLiteral("• ") + block.mid(2)) + 1.2;
        else
            y = d.paragraph(15, y, 180, 9, block) + 1.8;
        if (y > 284)
            throw EOvError(QStringLiteral("Il testo di %1 non entra nella pagina %2").arg(path).arg(page));
    }
    pdf.Check(pdf.SaveToFile(path), QStringLiteral("Salvataggio di %1: %2").arg(path, pdf.LastErrorText()));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

QStringList newsText()
{
    return {
        QStringLiteral("# Notizie sull'aggiornamento"),
        QStringLiteral("## Certificazione Unica {AI} - periodo d'imposta {AF}"),
        QStringLiteral("Questa versione del programma prepara la Certificazione Unica {AI} (CU {AI}), con la quale "
                       "l'istituto certifica i redditi corrisposti nel {AF}, le ritenute operate e i contributi "
                       "previdenziali. I dati dell'anno sono nella cartella USR\\{KZ} dell'installazione; l'anno "
                       "finanziario si sceglie all'avvio o dal comando Strumenti > Parametri."),
        QStringLiteral("I modelli stampati seguono il modello approvato con il provvedimento del Direttore "
                       "dell'Agenzia delle Entrate del {PROVV} (menu ? > Provvedimento approvazione). Le istruzioni "
                       "per la compilazione e la consegna sono nel menu ? > Istruzioni CU {AI}."),
        QStringLiteral("## Stampe"),
        QStringLiteral("- Stampa CU Sintetico: la certificazione da consegnare al percettore, in un unico file PDF per "
                       "tutti i percettori scelti, con la possibilità di predisporla per la stampa fronte/retro. "
                       "Un CU stampato è bloccato e compare in rosso negli elenchi; si sblocca dall'editor del CU."),
        QStringLiteral("- Firma ricevute: l'elenco dei percettori con le colonne per la data di consegna e per la "
                       "firma di ricevuta, 23 nominativi per pagina. Cognome e nome stanno su due righe, così anche "
                       "i nomi più lunghi si leggono per intero. Senza selezione si stampano tutti i percettori, "
                       "nell'ordine dell'elenco."),
        QStringLiteral("- Stampa Frontespizio e Stampa Quadro CT: il frontespizio della comunicazione con i dati del "
                       "sostituto d'imposta (con le caselle Annullamento e Sostituzione) e il quadro CT per la "
                       "ricezione dei modelli 730-4."),
        QStringLiteral("I file stampati sono salvati nella cartella USR\\{KZ}\\Stp. Se un file non si può "
                       "salvare, di solito è perché è aperto nel programma di lettura dei PDF: chiuderlo e ripetere la "
                       "stampa."),
        QStringLiteral("## File telematico"),
        QStringLiteral("Il comando File telematico > File Telematico controlla i dati obbligatori e prepara la "
                       "fornitura da trasmettere all'Agenzia delle Entrate; il file proposto si chiama CUR{AI2} "
                       "ed è salvato nella cartella USR\\{KZ}\\DichCU. I passi per "
                       "l'invio sono descritti nel menu ? > Note invio telematico."),
        QStringLiteral("## Termini"),
        QStringLiteral("I termini di consegna al percettore e di trasmissione all'Agenzia delle Entrate sono "
                       "riassunti nel capitolo 2 delle istruzioni (menu ? > Istruzioni CU {AI}); fanno fede le "
                       "istruzioni ufficiali dell'Agenzia delle Entrate."),
    };
}

QStringList transmissionText()
{
    return {
        QStringLiteral("# Istruzioni per l'invio telematico"),
        QStringLiteral("## Certificazione Unica {AI} - come preparare e trasmettere la fornitura"),
        QStringLiteral("La Certificazione Unica si trasmette all'Agenzia delle Entrate in via telematica, con un file "
                       "(la fornitura) che contiene il frontespizio con i dati del sostituto d'imposta e del "
                       "fornitore, l'eventuale quadro CT e le certificazioni dei percettori. Il programma prepara il "
                       "file; il controllo e l'invio si fanno con i servizi telematici dell'Agenzia delle Entrate."),
        QStringLiteral("## 1. Controllare i dati"),
        QStringLiteral("- Operazioni > Dati Sostituto: i dati dell'istituto, il rappresentante, il numero delle "
                       "certificazioni e l'impegno alla trasmissione quando il file è inviato da un intermediario."),
        QStringLiteral("- Operazioni > Fornitore: chi trasmette il file (l'istituto stesso o l'intermediario)."),
        QStringLiteral("- Operazioni > Quadro CT: da compilare solo se l'istituto chiede di ricevere in via "
                       "telematica i modelli 730-4."),
        QStringLiteral("- Operazioni > Dati CU: le certificazioni dei percettori, da rivedere prima dell'invio."),
        QStringLiteral("## 2. Creare il file"),
        QStringLiteral("- Aprire File telematico > File Telematico e scegliere i percettori: Tutti, oppure su "
                       "Prenotazione quando si trasmettono annullamenti o sostituzioni di certificazioni già "
                       "inviate, oppure Nessuno."),
        QStringLiteral("- Premere \"Crea File telematico\": il programma controlla i campi obbligatori di ogni "
                       "certificazione e riporta nel registro gli errori trovati. Correggere i dati indicati e "
                       "ripetere finché il registro non segnala più errori."),
        QStringLiteral("- Premere \"Salva\": il file è proposto con il nome CUR{AI2} "
                       "nella cartella USR\\{KZ}\\DichCU. Una fornitura molto grande è divisa in più file "
                       "(con i suffissi _2, _3 e così via), da trasmettere tutti."),
        QStringLiteral("## 3. Controllare e trasmettere"),
        QStringLiteral("- Controllare il file con il software di controllo della Certificazione Unica {AI} messo a "
                       "disposizione dall'Agenzia delle Entrate e prepararlo per l'invio con l'applicazione "
                       "Desktop Telematico, come indicato nella guida dell'Agenzia."),
        QStringLiteral("- Trasmettere il file con i servizi telematici Entratel o Fisconline, con le credenziali "
                       "dell'istituto, oppure consegnarlo a un intermediario abilitato che lo trasmette per conto "
                       "dell'istituto."),
        QStringLiteral("- Scaricare e conservare la ricevuta dell'Agenzia. Se la fornitura o alcune certificazioni "
                       "sono scartate, correggere i dati, creare un nuovo file e ritrasmetterlo."),
        QStringLiteral("## 4. Correggere un CU già inviato"),
        QStringLiteral("Un CU già trasmesso e accolto non si corregge inviandolo di nuovo come CU ordinario: "
                       "l'Agenzia lo riceverebbe due volte. Si invia invece una fornitura di correzione con il solo "
                       "CU da sostituire (con i dati giusti) o da annullare, indicando il protocollo che la ricevuta "
                       "dell'Agenzia gli ha assegnato."),
        QStringLiteral("- Dalla ricevuta dell'invio annotare, per ogni CU da correggere, l'identificativo del "
                       "protocollo (17 cifre) e il progressivo del CU (6 cifre)."),
        QStringLiteral("- Operazioni > Dati CU: cercare il CU (Cerca per cognome o codice fiscale). Se è già stato "
                       "stampato, sbloccarlo con \"Sblocca\" e correggerne i dati; un CU da annullare non va "
                       "corretto."),
        QStringLiteral("- Nella pagina \"Dati Anagrafici\" segnare \"Sostituzione\" (il CU prende il posto di "
                       "quello inviato) oppure, sotto TIPO DI COMUNICAZIONE, \"Annullamento\" (il CU inviato "
                       "viene cancellato), e scrivere l'identificativo e il progressivo del protocollo. Confermare."),
        QStringLiteral("- File telematico > File Telematico: scegliere \"su Prenotazione\". I CU segnati per "
                       "sostituzione o annullamento sono in cima all'elenco, in grassetto, già selezionati; "
                       "controllare che ci siano tutti e soli quelli da correggere. Se la fornitura mescola CU "
                       "segnati e CU ordinari il programma lo dice, nominandoli, e chiede se proseguire."),
        QStringLiteral("- Premere \"Crea File telematico\" e \"Salva\", poi controllare e trasmettere il file "
                       "come sopra, e conservare la nuova ricevuta."),
        QStringLiteral("- Ristampare il CU sostituito e consegnarlo al percipiente."),
        QStringLiteral("- Dopo l'invio togliere il segno di correzione dai CU, perché non partano di nuovo come "
                       "correzione nella fornitura successiva."),
        QStringLiteral("Da riga di comando: velcu-cli correzione --sostituisci CF --protocollo "
                       "IDENTIFICATIVO/PROGRESSIVO (oppure --annulla CF), velcu-cli correzione per l'elenco dei CU "
                       "segnati, velcu-cli fornitura --prenotati per la fornitura di correzione, velcu-cli "
                       "correzione --togli CF dopo l'invio."),
        QStringLiteral("I termini di trasmissione sono riassunti nel capitolo 2 delle istruzioni (menu ? > "
                       "Istruzioni CU {AI}); fanno fede le istruzioni ufficiali dell'Agenzia delle Entrate."),
    };
}

QStringList provisionText()
{
    return {
        QStringLiteral("# Provvedimento di approvazione"),
        QStringLiteral("## Certificazione Unica {AI}"),
        QStringLiteral("Il modello di Certificazione Unica {AI} (CU {AI}), relativo al periodo d'imposta {AF}, con "
                       "le relative istruzioni, è approvato con il provvedimento del Direttore dell'Agenzia delle "
                       "Entrate del {PROVV}."),
        QStringLiteral("Il provvedimento è pubblicato sul sito internet dell'Agenzia delle Entrate, "
                       "www.agenziaentrate.gov.it, dove si trovano anche il modello, le istruzioni per la "
                       "compilazione e le specifiche tecniche per la trasmissione telematica, insieme alle loro "
                       "eventuali modifiche successive."),
        QStringLiteral("Questo documento non riproduce il provvedimento: per il testo ufficiale e per le modifiche "
                       "successive consultare il sito dell'Agenzia delle Entrate."),
    };
}

} // namespace

void buildHelpDocuments(const QString &dir)
{
    writeDocument(QDir(dir).filePath(QStringLiteral("News.pdf")), QStringLiteral("NOTIZIE SULL'AGGIORNAMENTO"),
                  newsText());
    writeDocument(QDir(dir).filePath(QStringLiteral("invio_telematico.pdf")),
                  QStringLiteral("ISTRUZIONI PER L'INVIO TELEMATICO"), transmissionText());
    writeDocument(QDir(dir).filePath(QStringLiteral("Provvedimento.pdf")), QStringLiteral("PROVVEDIMENTO DI APPROVAZIONE"),
                  provisionText());
}
