#include "src/prj/unit/telematic/VelSupplyAnnotations.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelRunHost.h"
#include "src/prj/unit/telematic/VelAnnotationCodes.h"
#include "src/prj/unit/telematic/VelFileSupport.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "velcu/VelFields.h"

#include <algorithm>

namespace {

using VelFileSupport::text;

constexpr int kCodesPerRow = VelAnnotationRows::CodesPerRow;

} // namespace

void TVelSupplyAnnotations::begin()
{
    m_notesIndexed = false;
    m_pendingNotes.clear();
}

void TVelSupplyAnnotations::drop()
{
    m_ws.dataSet(QLatin1String(VelFileCds::Annotazioni)).cancelUpdates();
    m_pendingNotes.clear();
}

const QSet<QString> &TVelSupplyAnnotations::noteCodes()
{
    if (!m_notesLoaded) {
        m_noteCodes = VelAnnotationCodes::readNoteTable();
        m_notesLoaded = true;
    }
    return m_noteCodes;
}

QString TVelSupplyAnnotations::save()
{
    TClientDataSet &ann = m_ws.dataSet(QLatin1String(VelFileCds::Annotazioni));
    const QList<VelAnnotationRows::Pending> pending = m_pendingNotes;
    m_pendingNotes.clear();
    if (pending.isEmpty()) {
        ann.mergeChangeLog();
        return QString();
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
            return QStringLiteral("Annotazioni non salvate per %1: certificazione modificata, sostituita o "
                                  "cancellata da un'altra postazione dopo la lettura; nel file è quella letta "
                                  "all'inizio.")
                .arg(codes(r.gone));
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
        return QStringLiteral("Annotazioni non salvate nel database (%1): controllare le annotazioni "
                              "nel Modello CU di %2")
            .arg(e.message(), codes(pending));
    }
    return QString();
}

void TVelSupplyAnnotations::prepare(TClientDataSet &d, const TTorVersions &versions, IVelRunHost &host)
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
        m_pendingNotes.append({person, versions.value(person), cf, monthText, saveMonth, wanted});
    } catch (const EOvException &) {
        host.notice(QStringLiteral("Controllare le annotazioni nel Modello CU: ") + cf, TVelNotice::WarningAlert);
    }
}
