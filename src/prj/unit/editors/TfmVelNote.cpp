#include "src/prj/unit/editors/TfmVelNote.h"

#include "src/prj/unit/editors/VelLookup.h"

#include "platform/dataset/TClientDataSet.h"

TfmVelNote::TfmVelNote(QWidget *parent)
    : TfmTorRicerca(parent)
{
    setObjectName(QStringLiteral("fmVelNote"));
    setWindowTitle(QStringLiteral("Annotazioni"));
    resize(860, 480);
}

void TfmVelNote::loadNotes()
{
    TClientDataSet table;
    VelLookup::loadTable(table, tableName());
    // Codice, the hidden note and the annotation worked out from it.
    TClientDataSet rows;
    rows.addFieldDef(QStringLiteral("Codice"), TFieldType::String, 2);
    rows.addFieldDef(QStringLiteral("Annotazione"), TFieldType::String, 1500);
    rows.addFieldDef(QStringLiteral("Nota"), TFieldType::Memo);
    rows.createDataSet();
    const TField code = table.findField(QStringLiteral("Codice"));
    const TField nota = table.findField(QStringLiteral("Nota"));
    const TField descr = table.findField(QStringLiteral("Descrizione"));
    for (table.first(); !table.eof(); table.next()) {
        const QString n = nota.isValid() ? nota.asString() : QString();
        QString a = n.isEmpty() && descr.isValid() ? descr.asString() : n;
        a.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        a.replace(u'\n', u' ');
        rows.appendRecord({code.asString().left(2), a.left(1500), n.isEmpty() ? QVariant() : QVariant(n)});
    }
    rows.mergeChangeLog();
    setSourceData(rows, tableName());
    setHiddenFields({QStringLiteral("Nota")});
    setKeyField(QStringLiteral("Codice"));
}

QString TfmVelNote::currentCode() const
{
    return currentKey().toString();
}

QString TfmVelNote::currentAnnotation() const
{
    if (!cdsRicerca->active() || cdsRicerca->recNo() < 1)
        return QString();
    return cdsRicerca->valueAt(cdsRicerca->recNo() - 1, cdsRicerca->fieldIndex(QStringLiteral("Annotazione"))).toString();
}
