#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelTextFit.h"

#include "platform/core/OvExceptions.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"
#include "tor/util/TorUUtil.h"
#include "velcu/VelFields.h"

#include <QDir>


namespace {

const QString kPage = QStringLiteral("FirmeDipendenti");
const QString kModelloFirme = QStringLiteral("firme.pdf");
const QString kConfigurazione = QStringLiteral("stpStampe.xml");

QString quoted(const QString &text)
{
    QString t = text;
    return QLatin1Char('\'') + t.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
}

QString withSlash(const QString &dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

// The datasets a print opened are closed however it ends.
struct CloseAll
{
    QList<TClientDataSet *> sets;
    ~CloseAll()
    {
        for (TClientDataSet *ds : sets)
            ds->close();
    }
};

} // namespace

TdmVelStampePDF::TdmVelStampePDF(QObject *parent)
    : TdmVelPDF(parent), cdsSost(new TClientDataSet(this)), cdsQuadroCT(new TClientDataSet(this)),
      cdsDipendenti(new TClientDataSet(this)), cdsDatiAggiuntivi(new TClientDataSet(this)),
      cdsAnnoFin(new TClientDataSet(this)), cdsIntestazione(new TClientDataSet(this))
{
    setObjectName(QStringLiteral("dmVelStampePDF"));
    cdsSost->setObjectName(QStringLiteral("cdsSost"));
    cdsQuadroCT->setObjectName(QStringLiteral("cdsQuadroCT"));
    cdsDipendenti->setObjectName(QStringLiteral("cdsDipendenti"));
    cdsDatiAggiuntivi->setObjectName(QStringLiteral("cdsDatiAggiuntivi"));
    cdsAnnoFin->setObjectName(QStringLiteral("cdsAnnoFin"));
    cdsIntestazione->setObjectName(QStringLiteral("cdsIntestazione"));
}

TdmVelStampePDF::~TdmVelStampePDF() = default;

QString TdmVelStampePDF::resDir() const
{
    return resFolder.isEmpty() ? TorFolders::resDir() : withSlash(resFolder);
}

QString TdmVelStampePDF::stpDir() const
{
    return stpFolder.isEmpty() ? TorFolders::stpDir() : withSlash(stpFolder);
}

TTorDBCds *TdmVelStampePDF::store() const
{
    if (m_store)
        return m_store;
    TTorDBCds *store = m_storeSource ? m_storeSource() : nullptr;
    if (!store)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
    return store;
}

void TdmVelStampePDF::closeDataSets()
{
    cdsSost->close();
    cdsQuadroCT->close();
}

void TdmVelStampePDF::openIntestazione()
{
    TClientDataSet sost;
    VelCuRepository(*store()).load(sost, rec::TCUS_DATISOST::id.qs(), TTorDBCds::AllMonths);
    sost.first();
    auto value = [&sost](const char *field) {
        const TField f = sost.findField(QLatin1String(field));
        return f && !sost.isEmpty() ? f.asString().trimmed() : QString();
    };

    cdsIntestazione->close();
    cdsIntestazione->clearFieldDefs();
    // the lines whole, as the agent's data make them: the print fits their
    // size to the space, nothing is cut
    cdsIntestazione->addFieldDef(QStringLiteral("sDenominazione"), TFieldType::String, 0);
    cdsIntestazione->addFieldDef(QStringLiteral("sIndirizzo"), TFieldType::String, 0);
    cdsIntestazione->addFieldDef(QStringLiteral("sTelefonoMail"), TFieldType::String, 0);
    cdsIntestazione->addFieldDef(QStringLiteral("sAnnoFin"), TFieldType::String, 4);
    cdsIntestazione->createDataSet();
    cdsIntestazione->append();
    cdsIntestazione->fieldByName(QStringLiteral("sDenominazione")).setAsString(value(fld::SSOSDENOM.name));
    cdsIntestazione->fieldByName(QStringLiteral("sIndirizzo"))
        .setAsString(QStringLiteral("%1 %2 (%3) CAP. %4")
                         .arg(value(fld::SSOSINDIRIZZO.name), value(fld::SSOSCOMUNE.name), value(fld::SSOSPROV.name), value(fld::SSOSCAP.name)));
    cdsIntestazione->fieldByName(QStringLiteral("sTelefonoMail"))
        .setAsString(QStringLiteral("%1 E-Mail %2").arg(value(fld::SSOSTELFAX.name), value(fld::SSOSEMAIL.name)));
    cdsIntestazione->fieldByName(QStringLiteral("sAnnoFin")).setAsString(Campagna::anno(Campagna::AnnoFinanziario));
    cdsIntestazione->post();
}

void TdmVelStampePDF::openDipendenti()
{
    cdsDipendenti->setFiltered(false);
    cdsDipendenti->setFilter(QString());
    VelCuRepository(*store()).load(*cdsDipendenti, rec::TCUD_DATICUD::id.qs(), TTorDBCds::AllMonths);
    cdsDipendenti->setIndexFieldNames(QStringLiteral("SCUDCOGNOME;SCUDNOME"));
}

// The year the office works on: the file keeps it in its last row.
void TdmVelStampePDF::openAnnoFin()
{
    const QString file = TorFolders::resolveFile(resFolder.isEmpty() ? TorFolders::yearFileDir() : resDir(),
                                                 QStringLiteral("TCUA_ANNOFIN.cds"));
    const QString restored = TorUtil::restoreFromBackup(file);
    if (!restored.isEmpty())
        m_host->notice(restored, TVelNotice::Warning);
    cdsAnnoFin->loadFromFile(file);
    cdsAnnoFin->last();
}

void TdmVelStampePDF::firmePage(bool first)
{
    CopyModelPage(1, first, true);
    FillSection(kPage, QStringLiteral("cdsIntestazione"), 1);
    FillSection(kPage, QStringLiteral("cdsAnnoFin"), 1);
}

QString TdmVelStampePDF::StampaFirme(const QStringList &codes)
{
    CloseAll closing{{cdsDipendenti, cdsIntestazione, cdsAnnoFin}};
    openIntestazione();
    openDipendenti();
    openAnnoFin();
    RequireModel(resDir() + kModelloFirme, resDir() + kConfigurazione);

    firmePage(true);
    int r = 0;
    for (const QString &code : codes) {
        cdsDipendenti->setFiltered(false);
        cdsDipendenti->setFilter(QStringLiteral("SCUDCODFIS=") + quoted(code));
        cdsDipendenti->setFiltered(true);
        cdsDipendenti->first();
        if (!cdsDipendenti->isEmpty()) {
            // A code that matched nothing still takes its row, so the counter
            // may have gone past the last row of the page.
            if (r >= RowsPerPage) {
                firmePage(false);
                r = 0;
            }
            FillSection(kPage, QStringLiteral("cdsDipendenti"), r);
            const double top = r * RowStep + 168;
            const QString label = QStringLiteral("Linee per la firma");
            pdf()->SetLastOperation(label);
            check(pdf()->DrawBox(258, top, 84, 0.05, 0), label);
            check(pdf()->DrawBox(346, top, 193, 0.05, 0), label);
        }
        ++r;
    }
    cdsDipendenti->setFiltered(false);

    const QString path = stpDir() + firmeFileName();
    SaveDocument(path, true, false);
    return path;
}

QString TdmVelStampePDF::StampaInformativa(int first, int last, const QString &file, bool open)
{
    RequireModel(resDir() + Campagna::istruzioni(), resDir() + kConfigurazione);
    CopyModelPage(first, true, false);
    for (int page = first + 1; page <= last; ++page)
        CopyModelPage(page, false, false);
    const QString path = file.isEmpty() ? stpDir() + informativaFileName() : file;
    SaveDocument(path, open, false);
    return path;
}
