// The text of the instructions PDF (Campagna::istruzioni()): a short guide for the office (pages 1-9)
// and the information leaflet handed to the payee (pages 10-17).
#include "Models.h"
#include "tor/util/TorCampagna.h"

QList<QStringList> instructionPages()
{
    QList<QStringList> p;

    // 1
    p << QStringList{
        QStringLiteral("# CERTIFICAZIONE UNICA {AI}"),
        QStringLiteral("## Periodo d'imposta {AF} - Guida alla compilazione e alla consegna"),
        QStringLiteral("Questa guida accompagna i modelli di Certificazione Unica stampati dal programma. Riassume, "
                       "per l'ufficio che li predispone, a chi va rilasciata la certificazione, come è organizzato il "
                       "modello, quali dati contiene ogni parte e come si consegna; nella seconda parte (pagine da 10 "
                       "a 17) raccoglie le informazioni da consegnare al contribuente insieme alla certificazione."),
        QStringLiteral("## Contenuto"),
        QStringLiteral("1. Chi rilascia la certificazione e a chi - pagina 2"),
        QStringLiteral("2. Termini di consegna e di trasmissione - pagina 2"),
        QStringLiteral("3. Il modello sintetico e il modello ordinario - pagina 3"),
        QStringLiteral("4. Dati anagrafici del sostituto e del percettore - pagina 4"),
        QStringLiteral("5. Dati fiscali - pagine 5 e 6"),
        QStringLiteral("6. Familiari a carico - pagina 6"),
        QStringLiteral("7. Dati previdenziali e assistenziali - pagina 7"),
        QStringLiteral("8. TFR, lavoro autonomo e annotazioni - pagina 8"),
        QStringLiteral("9. Stampa, firma e conservazione - pagina 9"),
        QStringLiteral("10. Informazioni per il contribuente - pagine da 10 a 17"),
        QStringLiteral("Le indicazioni di questa guida sono un riepilogo pratico. Per i casi particolari fanno fede "
                       "le istruzioni ufficiali approvate con il provvedimento del Direttore dell'Agenzia delle "
                       "Entrate del 15 gennaio {AI} e le loro successive modifiche."),
    };
    // 2
    p << QStringList{
        QStringLiteral("# 1. Chi rilascia la certificazione e a chi"),
        QStringLiteral("La Certificazione Unica è rilasciata dal sostituto d'imposta che nel {AF} ha corrisposto "
                       "redditi di lavoro dipendente, di pensione o assimilati, redditi di lavoro autonomo, "
                       "provvigioni o redditi diversi, operando le ritenute previste. Per una scuola il sostituto è "
                       "l'istituzione scolastica per le somme che ha pagato direttamente (supplenze brevi, compensi "
                       "accessori, incarichi e collaborazioni), mentre gli stipendi pagati dal sistema centrale sono "
                       "certificati dall'amministrazione che li ha erogati."),
        QStringLiteral("Si rilascia una certificazione per ogni percettore; quando nel corso dell'anno il rapporto "
                       "è cessato e ripreso, o quando si rilasciano più certificazioni per mesi diversi, ciascuna "
                       "porta il proprio mese di riferimento. Una certificazione che sostituisce una precedente già "
                       "consegnata va contrassegnata come tale nelle annotazioni."),
        QStringLiteral("# 2. Termini di consegna e di trasmissione"),
        QStringLiteral("La certificazione va consegnata al percettore entro il 16 marzo {AI} e, in caso di "
                       "cessazione del rapporto, entro dodici giorni dalla sua richiesta. La consegna può avvenire "
                       "anche in formato elettronico, purché il percettore sia in grado di riceverla e stamparla; in "
                       "caso contrario si consegna su carta."),
        QStringLiteral("La trasmissione telematica all'Agenzia delle Entrate avviene con il modello ordinario, "
                       "entro il 16 marzo {AI} per i redditi di lavoro dipendente e assimilati; i redditi di lavoro "
                       "autonomo abituale e le provvigioni possono essere trasmessi entro il 30 aprile {AI}. Le "
                       "certificazioni che contengono soltanto redditi esenti o non dichiarabili con il modello "
                       "730 precompilato possono essere trasmesse entro il termine del modello 770."),
        QStringLiteral("Una certificazione trasmessa con errori può essere annullata o sostituita con una nuova "
                       "trasmissione; le sanzioni per l'invio tardivo o errato non si applicano se la correzione "
                       "avviene entro i cinque giorni successivi alla scadenza."),
    };
    // 3
    p << QStringList{
        QStringLiteral("# 3. Il modello sintetico e il modello ordinario"),
        QStringLiteral("Il modello sintetico è quello da consegnare al percettore: contiene i dati utili alla "
                       "dichiarazione dei redditi e alla verifica dei contributi. Il modello ordinario contiene in "
                       "più i dati che servono all'Agenzia per i controlli e sostituisce, per le certificazioni, la "
                       "dichiarazione dei sostituti d'imposta; è quello che si trasmette in via telematica."),
        QStringLiteral("## Pagine del modello sintetico"),
        QStringLiteral("Pagina 1: dati del sostituto e del percettore, data e firma. Pagine 2, 3 e 4: dati fiscali "
                       "e familiari a carico. Pagina 5: dati previdenziali INPS e della gestione dipendenti "
                       "pubblici. Pagina 6: altri enti previdenziali, INAIL, soci di cooperative artigiane e TFR. "
                       "Pagina 7: annotazioni. Pagina 8: lavoro autonomo, provvigioni e redditi diversi. Pagine 10 "
                       "e 11: scheda per la scelta della destinazione dell'8, del 5 e del 2 per mille."),
        QStringLiteral("## Pagine del modello ordinario"),
        QStringLiteral("Pagina 1: frontespizio della fornitura. Pagina 2: quadro CT. Pagina 3: dati del sostituto e "
                       "del percettore. Pagine da 4 a 8: dati fiscali e familiari a carico. Pagine 9 e 10: dati "
                       "previdenziali e assistenziali. Pagine 11 e 12: TFR, altre indennità e prestazioni in forma "
                       "di capitale. Pagina 13: codici delle annotazioni. Pagina 14: lavoro autonomo."),
        QStringLiteral("## Moduli"),
        QStringLiteral("Le pagine che hanno più righi di quanti ne possano contenere (per esempio più posizioni INPS, "
                       "più causali di lavoro autonomo) si ripetono: ogni copia riporta in alto il codice fiscale del "
                       "percettore e il numero di modulo progressivo, che riparte da 01 per ogni gruppo di pagine."),
    };
    // 4
    p << QStringList{
        QStringLiteral("# 4. Dati anagrafici"),
        QStringLiteral("## Dati relativi al sostituto d'imposta"),
        QStringLiteral("Si indicano il codice fiscale, la denominazione (o cognome e nome), il comune, la provincia, "
                       "il codice di avviamento postale e l'indirizzo della sede, il telefono e l'indirizzo di posta "
                       "elettronica, il codice attività e, se esiste, il codice sede. Quando i redditi sono stati "
                       "corrisposti da un altro sostituto (per esempio in caso di operazioni straordinarie), la "
                       "prima pagina riporta i dati di quel sostituto."),
        QStringLiteral("## Dati relativi al percettore"),
        QStringLiteral("Punti da 1 a 11: codice fiscale, cognome, nome, sesso, data, comune e provincia di nascita, "
                       "categorie particolari, eventi eccezionali, casi di esclusione dalla dichiarazione "
                       "precompilata e stato estero di residenza. Il codice fiscale è indispensabile: senza di esso "
                       "la certificazione non può essere trasmessa."),
        QStringLiteral("## Domicilio fiscale"),
        QStringLiteral("Punti da 20 a 22: comune, provincia e codice catastale del domicilio fiscale all'1/1/{AF}; "
                       "punti da 24 a 26: gli stessi dati all'1/1/{AI}, da compilare solo se il domicilio è cambiato. "
                       "Il domicilio determina la regione e il comune a cui spettano le addizionali."),
        QStringLiteral("## Rappresentante e percettori esteri"),
        QStringLiteral("Il punto 30 riporta il codice fiscale del rappresentante del percettore (per esempio il "
                       "tutore). I punti da 40 a 46 riguardano i percettori residenti all'estero: codice di "
                       "identificazione fiscale estero, località e indirizzo di residenza, codice dello stato, "
                       "indicazioni relative ai non residenti Schumacker e ai lavoratori frontalieri."),
        QStringLiteral("## Data e firma"),
        QStringLiteral("La certificazione porta la data e la firma del sostituto d'imposta. La firma può essere "
                       "omessa quando la certificazione è prodotta con sistemi automatizzati: in tal caso il "
                       "programma ne riporta l'indicazione sotto il nome del firmatario."),
    };
    // 5
    p << QStringList{
        QStringLiteral("# 5. Dati fiscali"),
        QStringLiteral("## Redditi (punti da 1 a 13)"),
        QStringLiteral("Il punto 1 accoglie i redditi di lavoro dipendente e assimilati con contratto a tempo "
                       "indeterminato, il punto 2 quelli con contratto a tempo determinato, il punto 3 i redditi "
                       "di pensione, il punto 4 gli altri redditi assimilati e il punto 5 gli assegni periodici "
                       "corrisposti dal coniuge. I punti 6 e 7 indicano i giorni di lavoro dipendente e di "
                       "pensione per i quali spettano le detrazioni; i punti 8 e 9 le date di inizio e cessazione "
                       "del rapporto, il punto 10 se il percettore era in forza al 31 dicembre."),
        QStringLiteral("## Ritenute e addizionali (punti da 21 a 36)"),
        QStringLiteral("Si riportano le ritenute IRPEF operate, l'addizionale regionale e l'addizionale comunale "
                       "(acconto e saldo) trattenute nell'anno, con i rispettivi importi sospesi per effetto di "
                       "provvedimenti agevolativi."),
        QStringLiteral("## Assistenza fiscale (punti da 51 a 166)"),
        QStringLiteral("Quando il sostituto ha effettuato i conguagli derivanti dal modello 730 si indicano l'esito, "
                       "gli importi trattenuti e rimborsati per IRPEF, addizionali e cedolare secca, gli importi non "
                       "trattenuti o non rimborsati perché la retribuzione era insufficiente o il rapporto è cessato, "
                       "gli acconti trattenuti nell'anno e gli interessi dovuti per le rateizzazioni."),
        QStringLiteral("## Oneri, detrazioni e crediti (punti da 341 a 427)"),
        QStringLiteral("Si indicano, per codice, gli oneri detraibili di cui il sostituto ha tenuto conto, "
                       "l'imposta lorda, le detrazioni per carichi di famiglia, per lavoro dipendente e pensione, "
                       "per oneri e per canoni di locazione, l'imposta netta, il credito per le imposte pagate "
                       "all'estero, il trattamento integrativo e i contributi alla previdenza complementare."),
    };
    // 6
    p << QStringList{
        QStringLiteral("# 5. Dati fiscali (segue)"),
        QStringLiteral("## Altri dati (punti da 431 a 570)"),
        QStringLiteral("Oneri deducibili esclusi dai redditi, somme restituite, contributi a enti e casse aventi "
                       "esclusivamente fine assistenziale, redditi di riferimento per le agevolazioni, redditi "
                       "prodotti in zone di frontiera o da residenti a Campione d'Italia, compensi arretrati "
                       "soggetti a tassazione separata, redditi conguagliati di altri rapporti e dati del lavoro "
                       "sportivo dilettantistico."),
        QStringLiteral("## Premi di risultato e altri regimi (punti da 571 a 683)"),
        QStringLiteral("Premi di risultato assoggettati a imposta sostitutiva o a tassazione ordinaria, benefit, "
                       "mance del settore turistico-alberghiero e compensi soggetti a regimi sostitutivi, con le "
                       "relative imposte trattenute e sospese."),
        QStringLiteral("## Ulteriori dati (punti da 701 a 805)"),
        QStringLiteral("Rimborsi di beni e servizi non soggetti a tassazione, somme non soggette a tassazione "
                       "riconosciute in particolari situazioni, redditi di lavoro dipendente e assimilati compresi "
                       "nei punti precedenti ripartiti per tipologia e dati dell'assegno unico per i figli."),
        QStringLiteral("# 6. Familiari a carico"),
        QStringLiteral("Il prospetto dei familiari a carico elenca, su righi distinti, il coniuge, il primo figlio e "
                       "gli altri figli o familiari, con il codice fiscale, il numero dei mesi a carico e la "
                       "percentuale di detrazione spettante. Le caselle C, F1, F, A e D indicano rispettivamente il "
                       "coniuge, il primo figlio, gli altri figli, gli altri familiari e i figli con disabilità. I "
                       "familiari vanno indicati anche quando la detrazione non è stata riconosciuta dal sostituto, "
                       "perché i dati servono alla dichiarazione precompilata."),
    };
    // 7
    p << QStringList{
        QStringLiteral("# 7. Dati previdenziali e assistenziali"),
        QStringLiteral("## INPS - Sezione 1"),
        QStringLiteral("Matricola dell'azienda, ente previdenziale, imponibile previdenziale e ai fini IVS, "
                       "contributi a carico del lavoratore trattenuti e mesi per i quali è stata presentata la "
                       "denuncia contributiva. Se le posizioni sono più d'una, ciascuna occupa un rigo e la pagina "
                       "si ripete."),
        QStringLiteral("## Gestione dipendenti pubblici - Sezione 2"),
        QStringLiteral("Codice fiscale dell'amministrazione, progressivo azienda, gestioni a cui si riferiscono i "
                       "contributi (pensionistica, previdenziale, credito, ENPDEP, ENAM), anno di riferimento, "
                       "imponibili e contributi dovuti e trattenuti per ciascuna gestione e mesi coperti dalla "
                       "denuncia. Per il personale della scuola questa è di norma la sezione compilata."),
        QStringLiteral("## Collaboratori, parasubordinati sportivi e magistrati onorari - Sezione 3"),
        QStringLiteral("Compensi corrisposti, contributi dovuti, trattenuti e versati alla gestione separata e mesi "
                       "di riferimento."),
        QStringLiteral("## Altri enti, INAIL e cooperative artigiane"),
        QStringLiteral("Per i contributi versati ad altri enti previdenziali si indicano il codice fiscale e la "
                       "denominazione dell'ente, il codice azienda, la categoria, l'imponibile e i contributi. Per "
                       "l'INAIL si indicano la qualifica, la posizione assicurativa territoriale e il periodo di "
                       "copertura. I soci di cooperative artigiane riportano il periodo e il reddito."),
    };
    // 8
    p << QStringList{
        QStringLiteral("# 8. TFR, lavoro autonomo e annotazioni"),
        QStringLiteral("## TFR, altre indennità e prestazioni in forma di capitale"),
        QStringLiteral("La sezione riporta le indennità di fine rapporto, gli acconti e le anticipazioni erogati "
                       "nell'anno e in anni precedenti, le ritenute operate e sospese, i dati per la riliquidazione "
                       "(periodi di commisurazione, TFR maturato e destinato ai fondi) e i dati riepilogativi per il "
                       "calcolo dell'aliquota."),
        QStringLiteral("## Lavoro autonomo, provvigioni e redditi diversi"),
        QStringLiteral("Per ogni causale si compila un rigo con l'ammontare lordo corrisposto, le somme non soggette "
                       "a ritenuta e il relativo codice, l'imponibile, le ritenute a titolo d'acconto o d'imposta, "
                       "le addizionali e le spese rimborsate. Sono previste sezioni per i contributi previdenziali, "
                       "per le somme corrisposte in caso di fallimento, per i pignoramenti presso terzi e per le "
                       "indennità di esproprio."),
        QStringLiteral("## Annotazioni"),
        QStringLiteral("Le annotazioni completano la certificazione con informazioni che non trovano posto nei punti: "
                       "ogni annotazione inizia con il proprio codice seguito da una parentesi (per esempio \"AA)\") "
                       "e dal testo. Nel modello ordinario si trasmettono soltanto i codici; il testo resta nella "
                       "certificazione consegnata al percettore."),
    };
    // 9
    p << QStringList{
        QStringLiteral("# 9. Stampa, firma e conservazione"),
        QStringLiteral("Il programma stampa in un unico documento le certificazioni scelte, una dopo l'altra, "
                       "copiando le pagine del modello e scrivendo i dati nelle caselle. Con la stampa fronte/retro "
                       "ogni certificazione inizia su una pagina dispari, così che i fogli di percettori diversi non "
                       "si mescolino."),
        QStringLiteral("Una certificazione stampata viene bloccata: non si può più modificare finché non la si "
                       "sblocca dalla sua finestra. In questo modo la certificazione consegnata e quella trasmessa "
                       "restano uguali."),
        QStringLiteral("Per la consegna si può stampare l'elenco dei percettori con le righe per la data di "
                       "consegna e la firma per ricevuta, e l'informativa per il contribuente contenuta nelle pagine "
                       "seguenti di questa guida."),
        QStringLiteral("Le certificazioni vanno conservate per il periodo previsto per gli accertamenti. Quando la "
                       "consegna avviene per posta elettronica è opportuno conservare anche la prova dell'invio."),
        QStringLiteral("## Modelli e impaginazioni"),
        QStringLiteral("I modelli di stampa e i file che indicano dove scrivere ogni valore si trovano nella cartella "
                       "delle risorse del programma. L'ufficio che dispone di un modello diverso, per esempio "
                       "quello pubblicato dall'Agenzia, può sostituirlo insieme all'impaginazione adatta, senza "
                       "altre modifiche."),
    };
    // 10
    p << QStringList{
        QStringLiteral("# INFORMAZIONI PER IL CONTRIBUENTE"),
        QStringLiteral("## Che cos'è la Certificazione Unica"),
        QStringLiteral("La Certificazione Unica che ha ricevuto attesta le somme che il sostituto d'imposta Le ha "
                       "corrisposto nel {AF}, le ritenute che ha trattenuto e versato per Suo conto, le detrazioni "
                       "di cui ha tenuto conto e i contributi previdenziali e assistenziali. Gli stessi dati sono "
                       "stati trasmessi all'Agenzia delle Entrate e all'ente previdenziale."),
        QStringLiteral("La certificazione Le serve per presentare la dichiarazione dei redditi, per controllare la "
                       "dichiarazione precompilata che l'Agenzia mette a disposizione e per verificare la Sua "
                       "posizione contributiva."),
        QStringLiteral("## Quando la consegna"),
        QStringLiteral("Il sostituto d'imposta consegna la certificazione entro il 16 marzo {AI} o, se il rapporto "
                       "di lavoro è cessato, entro dodici giorni dalla richiesta. Può riceverla su carta o in "
                       "formato elettronico, se ha gli strumenti per leggerla e stamparla."),
        QStringLiteral("## Se ha ricevuto più certificazioni"),
        QStringLiteral("Se nel {AF} ha avuto più rapporti di lavoro, riceverà una certificazione da ciascun "
                       "sostituto. Se uno di essi ha già tenuto conto degli altri redditi (conguaglio), la sua "
                       "certificazione lo indica nelle annotazioni. Conservi tutte le certificazioni ricevute."),
    };
    // 11
    p << QStringList{
        QStringLiteral("# Utilizzo della certificazione"),
        QStringLiteral("## Quando non deve presentare la dichiarazione"),
        QStringLiteral("Se ha percepito soltanto redditi di lavoro dipendente o di pensione da un unico sostituto, "
                       "che ha effettuato correttamente le ritenute e i conguagli, e non ha oneri da far valere, di "
                       "norma non è tenuto a presentare la dichiarazione dei redditi. Può comunque presentarla per "
                       "far valere spese detraibili o deducibili o per chiedere un rimborso."),
        QStringLiteral("## Quando deve presentarla"),
        QStringLiteral("Deve presentare la dichiarazione, tra gli altri casi, se ha percepito redditi da più "
                       "sostituti senza un conguaglio complessivo, se non sono state trattenute in tutto o in parte "
                       "le addizionali, se ha ricevuto detrazioni non spettanti o in misura superiore, o se possiede "
                       "altri redditi da dichiarare."),
        QStringLiteral("## La dichiarazione precompilata"),
        QStringLiteral("I dati di questa certificazione sono già presenti nella dichiarazione precompilata che "
                       "l'Agenzia delle Entrate rende disponibile nell'area riservata del suo sito. Prima di "
                       "accettarla o modificarla, confronti gli importi con quelli della certificazione: i numeri "
                       "dei punti sono indicati accanto a ciascun importo."),
        QStringLiteral("## Come riportare i dati"),
        QStringLiteral("Le istruzioni dei modelli di dichiarazione indicano, per ciascun punto della certificazione, "
                       "il rigo in cui riportare l'importo. I redditi dei punti 1, 2, 3, 4 e 5 si riportano nel "
                       "quadro dei redditi di lavoro dipendente, le ritenute del punto 21 e le addizionali dei punti "
                       "22, 26 e 27 nei righi delle ritenute."),
    };
    // 12
    p << QStringList{
        QStringLiteral("# Cosa controllare"),
        QStringLiteral("Controlli che i Suoi dati anagrafici e il codice fiscale siano esatti: un codice fiscale "
                       "errato impedisce che i dati arrivino nella Sua dichiarazione precompilata e nella Sua "
                       "posizione contributiva."),
        QStringLiteral("Verifichi che il domicilio fiscale all'1/1/{AF} sia quello in cui risiedeva: da esso "
                       "dipendono la regione e il comune a cui spettano le addizionali all'IRPEF."),
        QStringLiteral("Controlli i familiari a carico: codici fiscali, numero dei mesi e percentuale di detrazione. "
                       "Se la situazione familiare è cambiata nel corso dell'anno e non lo aveva comunicato, le "
                       "detrazioni potrebbero non corrispondere a quelle spettanti; in tal caso la differenza si "
                       "regola con la dichiarazione dei redditi."),
        QStringLiteral("Verifichi i giorni di lavoro dei punti 6 e 7 e le date di inizio e di cessazione del "
                       "rapporto dei punti 8 e 9: determinano la misura della detrazione per lavoro dipendente."),
        QStringLiteral("Se trova un errore, si rivolga all'ufficio che ha rilasciato la certificazione: potrà "
                       "correggerla, trasmettere la certificazione corretta e consegnargliene una nuova, che "
                       "sostituisce la precedente."),
        QStringLiteral("## Importi sospesi"),
        QStringLiteral("Le ritenute indicate come sospese non sono state trattenute per effetto di provvedimenti "
                       "agevolativi (per esempio in occasione di eventi eccezionali): andranno versate secondo le "
                       "modalità e i termini stabiliti per la ripresa dei versamenti."),
    };
    // 13
    p << QStringList{
        QStringLiteral("# Scelta della destinazione dell'8, del 5 e del 2 per mille dell'IRPEF"),
        QStringLiteral("Le ultime pagine della certificazione contengono la scheda per la scelta. Può esprimere "
                       "tutte e tre le scelte, perché non sono alternative tra loro, oppure soltanto alcune, oppure "
                       "nessuna. La scelta non comporta maggiori imposte: destina una quota dell'imposta che ha già "
                       "pagato."),
        QStringLiteral("## Otto per mille"),
        QStringLiteral("Si esprime firmando in uno solo dei riquadri della scheda, a favore dello Stato o di una "
                       "delle confessioni religiose indicate. La quota non scelta è ripartita in proporzione alle "
                       "scelte espresse dagli altri contribuenti."),
        QStringLiteral("## Cinque per mille"),
        QStringLiteral("Si esprime firmando in uno solo dei riquadri, che corrispondono alle finalità previste: enti "
                       "del terzo settore, ricerca scientifica e università, ricerca sanitaria, attività sociali del "
                       "comune di residenza, associazioni sportive dilettantistiche, aree protette, beni culturali e "
                       "paesaggistici. Può indicare anche il codice fiscale del singolo beneficiario."),
        QStringLiteral("## Due per mille"),
        QStringLiteral("Si esprime firmando nel riquadro dedicato e indicando il codice del partito politico "
                       "prescelto, tra quelli iscritti nell'apposito registro."),
    };
    // 14
    p << QStringList{
        QStringLiteral("# Come consegnare la scheda"),
        QStringLiteral("Se presenta la dichiarazione dei redditi, la scelta si esprime nella dichiarazione stessa e "
                       "la scheda della certificazione non va consegnata."),
        QStringLiteral("Se non presenta la dichiarazione, può consegnare la scheda, anche se non esprime alcuna "
                       "scelta, in uno di questi modi:"),
        QStringLiteral("- in busta chiusa a un ufficio postale, che la riceve gratuitamente e la trasmette "
                       "all'Agenzia delle Entrate;"),
        QStringLiteral("- in busta chiusa a un intermediario abilitato alla trasmissione telematica (un centro di "
                       "assistenza fiscale o un professionista), che può richiedere un corrispettivo;"),
        QStringLiteral("- direttamente, tramite i servizi telematici dell'Agenzia delle Entrate."),
        QStringLiteral("Sulla busta scriva \"SCELTA PER LA DESTINAZIONE DELL'OTTO, DEL CINQUE E DEL DUE PER MILLE "
                       "DELL'IRPEF\", il Suo cognome, nome e codice fiscale. La scheda va consegnata entro il "
                       "termine di presentazione della dichiarazione dei redditi."),
        QStringLiteral("## Firma"),
        QStringLiteral("La firma va apposta all'interno del riquadro, senza invadere quelli vicini: una firma che "
                       "tocca più riquadri rende la scelta non valida."),
    };
    // 15
    p << QStringList{
        QStringLiteral("# Dati previdenziali e assistenziali"),
        QStringLiteral("La certificazione riporta anche i contributi previdenziali e assistenziali. Per i dipendenti "
                       "della scuola i contributi sono di norma quelli della gestione dei dipendenti pubblici "
                       "dell'INPS: imponibile pensionistico, contributi dovuti e trattenuti, imponibile e contributi "
                       "per il trattamento di fine servizio o di fine rapporto e per la gestione del credito."),
        QStringLiteral("I mesi indicati sono quelli per i quali il sostituto ha trasmesso la denuncia contributiva. "
                       "Confronti questi dati con il Suo estratto conto contributivo, consultabile sul sito "
                       "dell'INPS: se mancano dei periodi, lo segnali all'ufficio."),
        QStringLiteral("Quando nell'anno ha avuto più posizioni contributive, la pagina dei dati previdenziali si "
                       "ripete: ogni copia porta il numero di modulo in alto a destra."),
        QStringLiteral("## Collaborazioni e lavoro autonomo"),
        QStringLiteral("Se ha ricevuto compensi per collaborazioni o prestazioni di lavoro autonomo, la parte "
                       "dedicata indica per ogni causale il compenso lordo, le ritenute d'acconto e le eventuali "
                       "somme non soggette a ritenuta. Le ritenute d'acconto si scomputano dall'imposta nella "
                       "dichiarazione dei redditi."),
    };
    // 16
    p << QStringList{
        QStringLiteral("# Informativa sul trattamento dei dati personali"),
        QStringLiteral("I dati personali contenuti in questa certificazione sono trattati dal sostituto d'imposta "
                       "per adempiere agli obblighi di legge in materia fiscale e previdenziale: calcolo e versamento "
                       "delle ritenute e dei contributi, rilascio della certificazione e sua trasmissione "
                       "all'Agenzia delle Entrate e agli enti previdenziali."),
        QStringLiteral("I dati sono trattati con strumenti informatici e su carta, da personale autorizzato, con "
                       "misure adeguate a garantirne la riservatezza, e sono conservati per il tempo previsto dalle "
                       "norme fiscali."),
        QStringLiteral("L'Agenzia delle Entrate tratta i dati ricevuti per la predisposizione della dichiarazione "
                       "precompilata e per le attività di controllo. Le scelte per la destinazione dell'8, del 5 e "
                       "del 2 per mille sono dati facoltativi, trattati soltanto per ripartire le quote tra i "
                       "beneficiari; la scelta dell'8 per mille può rivelare convinzioni religiose e quella del 2 "
                       "per mille un orientamento politico, e per questo è tutelata in modo particolare."),
        QStringLiteral("## I Suoi diritti"),
        QStringLiteral("Può chiedere al titolare del trattamento l'accesso ai Suoi dati, la loro rettifica o, nei "
                       "casi previsti, la limitazione del trattamento, e può proporre reclamo all'autorità garante "
                       "per la protezione dei dati personali."),
    };
    // 17
    p << QStringList{
        QStringLiteral("# Per saperne di più"),
        QStringLiteral("Per chiarimenti sui dati della Sua certificazione si rivolga all'ufficio che l'ha "
                       "rilasciata, indicando il Suo codice fiscale e il mese della certificazione riportato in "
                       "prima pagina."),
        QStringLiteral("Le istruzioni complete della Certificazione Unica, dei modelli di dichiarazione e "
                       "dell'elenco dei beneficiari del 5 e del 2 per mille sono pubblicate sul sito dell'Agenzia "
                       "delle Entrate."),
        QStringLiteral("## Promemoria"),
        QStringLiteral("- Conservi la certificazione insieme alla documentazione delle spese detraibili."),
        QStringLiteral("- Controlli codice fiscale, domicilio e familiari a carico."),
        QStringLiteral("- Confronti i dati con la dichiarazione precompilata prima di inviarla."),
        QStringLiteral("- Se non presenta la dichiarazione, consegni la scheda per la scelta dell'8, del 5 e del 2 "
                       "per mille entro il termine previsto."),
        QStringLiteral("- Segnali subito all'ufficio ogni errore: una certificazione corretta sostituisce la "
                       "precedente."),
    };
    // Years written as {AF} (financial year) and {AI} (year of filing).
    for (QStringList &page : p)
        for (QString &block : page)
            block.replace(QStringLiteral("{AF}"), QString::number(Campagna::AnnoFinanziario))
                .replace(QStringLiteral("{AI}"), QString::number(Campagna::AnnoInvio));
    return p;
}
