#pragma once
// Who an import run is to build a CU for: the candidate list of the payroll
// catalogue (QRY_CUD_IMP, one row per employment relationship, ordered by
// name) with the start month and the adjustment mark worked out, and, after
// a run of the whole list, whoever the payroll paid in the year and the list
// left out (QRY_CUD_PAGATI).
#include "platform/dataset/TClientDataSet.h"

#include <QHash>
#include <QList>
#include "rag/calc/ragUQuery.h"

#include <QString>
#include <QStringList>


// One candidate row, as the run takes it.
struct TVelCandidato
{
    int IACOMID = 0;
    int IANAID = 0;
    QString cognome, nome;
    QString nominativo;            // SANACOGNOMENOME
    int meseIniziale = 1;
    int meseFinale = 12;
    bool conguaglio = false;       // a year-end adjustment exists
};

class TVelImportCandidati
{
public:
    // The filter of the list: the category (0 the default ones, 7 the
    // self-employed only), the closing month, the year's key, the
    // configuration.
    struct Filtro
    {
        int ICALID = 0;
        int IMESID = 12;
        int IANFID = 0;
        int IDWGID = 0;
    };

    // Reads the list; returns the number of rows.
    int carica(const TRagSource &source, const Filtro &filtro);
    TClientDataSet &righe() { return m_righe; }
    bool caricati() const { return m_righe.active(); }
    // The relationships of the list, in its order.
    QList<int> relazioni() const;
    // The row of a relationship; false when the list does not hold it.
    bool trova(int iacomid, TVelCandidato *out);
    // The name of a relationship's row; empty when the list does not hold it.
    QString nominativo(int iacomid);

    // One line each for whoever the payroll paid in the year up to the
    // closing month and the list does not hold, with what was paid and how
    // the office can still certify it.
    QStringList pagatiFuoriElenco(const TRagSource &source, const Filtro &filtro) const;

private:
    // The list row (as the list shows it now) of a relationship; -1 when the
    // list does not hold it. Looked up in a table made from the list and made
    // again whenever the row it names no longer holds the relationship: a
    // run looks up every employee, and walking the list each time made a run
    // of thousands quadratic.
    int riga(int iacomid);

    TClientDataSet m_righe;
    QHash<int, int> m_righeDi; // IACOMID -> list row, first one
};
