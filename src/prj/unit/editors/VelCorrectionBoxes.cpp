#include "src/prj/unit/editors/VelCorrectionBoxes.h"

#include <QLabel>
#include <QList>
#include <QString>
#include <QWidget>

namespace VelCorrectionBoxes {

namespace {

struct Box
{
    const char *widget;  // the data-bound box
    const char *beside;  // shown after the model's text
    const char *tip;     // the tooltip of the box and its caption
};

const Box kBoxes[] = {
    {"chLCUDANNULLAMENTO", " - Annullamento: cancella il CU già inviato con il protocollo indicato qui sotto",
     "Annullamento: il CU inviato all'Agenzia delle Entrate con il protocollo indicato qui sotto viene cancellato.\n"
     "Si invia da solo, in una fornitura di correzione: \"File Telematico\", \"su Prenotazione\" "
     "(o velcu-cli fornitura --prenotati). Nel record D il tipo di operazione è \"A\"."},
    {"chLCUDSOSTITUZIONE", " - questo CU prende il posto di quello già inviato con il protocollo indicato qui sotto",
     "Sostituzione: questo CU, corretto, sostituisce quello inviato all'Agenzia delle Entrate con il protocollo "
     "indicato qui sotto.\nSi invia da solo, in una fornitura di correzione: \"File Telematico\", \"su Prenotazione\" "
     "(o velcu-cli fornitura --prenotati). Nel record D il tipo di operazione è \"S\"."},
    {"edSCUDIDENTSERVTELE", "\n(17 cifre: l'identificativo dell'invio, dalla ricevuta dell'Agenzia)",
     "Identificativo del protocollo dell'invio in cui il CU da sostituire o annullare è stato trasmesso: "
     "17 cifre, come nella ricevuta dell'Agenzia delle Entrate."},
    {"edSCUDPROGRDICH", "\n(6 cifre: il numero del CU in quell'invio, dalla ricevuta)",
     "Progressivo attribuito dal servizio telematico al singolo CU da sostituire o annullare: 6 cifre, "
     "come nella ricevuta dell'Agenzia delle Entrate."},
};

// The caption whose buddy is the box (the page builder sets it), if any.
QLabel *captionOf(QWidget *page, QWidget *box)
{
    for (QLabel *l : page->findChildren<QLabel *>())
        if (l->buddy() == box)
            return l;
    return nullptr;
}

} // namespace

void explain(QWidget *page)
{
    if (!page)
        return;
    for (const Box &b : kBoxes) {
        QWidget *box = page->findChild<QWidget *>(QLatin1String(b.widget));
        if (!box)
            continue;
        const QString tip = QString::fromUtf8(b.tip);
        box->setToolTip(tip);
        if (QLabel *caption = captionOf(page, box)) {
            if (!caption->property("velExplained").toBool())
                caption->setText(caption->text() + QString::fromUtf8(b.beside));
            caption->setProperty("velExplained", true);
            caption->setToolTip(tip);
        }
    }
}

QString lockedNote()
{
    return QStringLiteral("Se il CU è già stato inviato all'Agenzia delle Entrate, correggerlo vuol dire inviarne la "
                          "sostituzione: dopo averlo sbloccato e corretto, segnare \"Sostituzione\" con il protocollo "
                          "della ricevuta nella pagina \"Dati Anagrafici\" e inviarlo con \"su Prenotazione\".");
}

} // namespace VelCorrectionBoxes
