#include "src/prj/unit/print/VelCuPrint.h"

#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "tor/util/TorCampagna.h"

#include <QDir>
#include <QFileInfo>

TVelCuPrint::TVelCuPrint(TTorDBCds &store, TdmVelStampePDF &stampe, TdmVelMain &main)
    : m_store(store), m_stampe(stampe), m_main(main), m_annotations(store, cdsMultiSelect, cdsPdfAnnotazioni),
      m_pages({cdsMultiSelect, cdsInps, cdsInpdap, cdsInail, cdsAltriEnti, cdsCoopArt, cdsPdfTfr, cdsAutonomo,
               cdsPdfConFamCar, cdsPdfAnnotazioni, cdsPdfSost, cdsPdfAltrisost},
              m_annotations)
{
    m_annotations.warn = [this](const QString &reason) { warn(reason); };
}

TVelCuPrint::~TVelCuPrint() = default;

QString TVelCuPrint::defaultFileName(bool ordinario, bool draft)
{
    return (ordinario ? QStringLiteral("CU_Ordinario-") : QStringLiteral("CU-")) + QString::number(Campagna::AnnoInvio)
           + (draft ? QStringLiteral("-Bozza") : QString());
}

QString TVelCuPrint::draftRefusal(const QString &path)
{
    if (!QFileInfo(path).isFile() || TPdkPdf::DocumentTitle(path).endsWith(TVelCuPages::draftTitle()))
        return QString();
    return QStringLiteral("Il file \"%1\" è una stampa definitiva (o non è una bozza di questo programma): una bozza "
                          "non lo sostituisce. Indicare un altro nome di file per la bozza.")
        .arg(QDir::toNativeSeparators(path));
}

void TVelCuPrint::close()
{
    for (TClientDataSet *ds : {&cdsMultiSelect, &cdsInps, &cdsInpdap, &cdsInail, &cdsAltriEnti, &cdsCoopArt, &cdsPdfTfr,
                               &cdsAutonomo, &cdsPdfConFamCar, &cdsPdfAnnotazioni, &cdsPdfSost, &cdsPdfAltrisost})
        ds->close();
    m_stampe.closeDataSets();
    m_locked.clear();
    m_notLocked.clear();
    m_printed.clear();
    m_readVersions.clear();
    m_cuRows.reset();
    m_ranges.clear();
}

QList<TBookmark> TVelCuPrint::allRows() const
{
    QList<TBookmark> rows;
    auto &ds = const_cast<TClientDataSet &>(cdsMultiSelect);
    for (ds.first(); !ds.eof(); ds.next())
        rows << ds.bookmark();
    return rows;
}

void TVelCuPrint::warn(const QString &reason)
{
    const QString message = QStringLiteral("Controllare le annotazioni nel Modello CU: ") + reason;
    m_warnings.append({TVelWarningCode::AnnotazioniDaControllare, message});
    if (warning)
        warning(message);
    else if (log)
        log(message);
}
