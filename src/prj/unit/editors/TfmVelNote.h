#pragma once
// The annotation picker "Annotazioni": the search window over the notes table
// (TNOT_NOTE.CDS), showing each code with its annotation text; the note's
// own column stays hidden.
#include "tor/ui/search/TfmTorRicerca.h"

class TfmVelNote : public TfmTorRicerca
{
    Q_OBJECT
public:
    explicit TfmVelNote(QWidget *parent = nullptr);

    static QString tableName() { return QStringLiteral("TNOT_NOTE.CDS"); }
    // Loads the notes table (EOvError naming it when missing or empty).
    void loadNotes();
    // The current row's code and annotation.
    QString currentCode() const;
    QString currentAnnotation() const;
};
