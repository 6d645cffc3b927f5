// The annotation codes of the ordinary CU: the rows of TCUDA_ANNOTAZIONI
// rebuilt from each CU's annotation text, their pages, and their save once
// the document is written.
#include "src/prj/unit/print/VelCuPrintAnnotations.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/print/VelCuPrintData.h"

#include "platform/core/OvExceptions.h"
#include "src/prj/unit/model/VelCuByMonth.h"
#include "src/prj/unit/print/VelCuModelLayout.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/telematic/VelAnnotationCodes.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

using namespace VelCuPrintData;
namespace Layout = VelCuModelLayout;

namespace {

const QString kAnnotazioni = rec::TCUDA_ANNOTAZIONI::id.qs();
constexpr int kCodesPerRow = 56; // annotation codes a row of TCUDA_ANNOTAZIONI holds

// The codes of a row of TCUDA_ANNOTAZIONI, in order, up to the first empty one.
QStringList rowCodes(TClientDataSet &ann)
{
    QStringList codes;
    for (int k = 0; k < kCodesPerRow; ++k) {
        const TField f = ann.findField(VelAnnotationCodes::column(k));
        const QString code = f ? f.asString().trimmed() : QString();
        if (code.isEmpty())
            break;
        codes << code;
    }
    return codes;
}

} // namespace

const QList<TBookmark> &TVelCuAnnotationCodes::rowsOf(qint64 person)
{
    if (!m_index) {
        m_index.emplace();
        TClientDataSet &ann = cdsPdfAnnotazioni;
        ann.setFiltered(false);
        const TField id = ann.findField(fld::iAfiID.qsUpper());
        if (id) {
            for (ann.first(); !ann.eof(); ann.next())
                (*m_index)[id.asInteger()] << ann.bookmark();
        }
    }
    return (*m_index)[person];
}

void TVelCuAnnotationCodes::reset()
{
    m_noteCodes.reset();
    m_noteTableFailed = false;
    m_saves.clear();
    m_index.reset();
}

QList<TBookmark> TVelCuAnnotationCodes::rowsWithCodes(qint64 person)
{
    TClientDataSet &ann = cdsPdfAnnotazioni;
    ann.setFiltered(false);
    QList<TBookmark> rows;
    for (const TBookmark b : rowsOf(person)) {
        ann.gotoBookmark(b);
        if (!rowCodes(ann).isEmpty())
            rows << b;
    }
    return rows;
}

// The rows of annotation codes of the CU's person, rebuilt in memory from its
// annotation text: 56 codes a row, no row without codes. What changed is kept
// for the store, written when the run succeeds. An error is reported and the
// print goes on with the rows the person had; a notes table that cannot be
// read is reported once a run, not once a CU.
void TVelCuAnnotationCodes::rebuild(qint64 person, const QString &codFis, const QString &mese)
{
    if (person == 0)
        return;
    TClientDataSet &ann = cdsPdfAnnotazioni;
    try {
        if (m_noteTableFailed)
            return; // reported once for the run; the stored rows print as they are
        if (!m_noteCodes) {
            try {
                m_noteCodes = VelAnnotationCodes::readNoteTable();
            } catch (const EOvException &) {
                m_noteTableFailed = true;
                throw;
            }
        }
        const QStringList codes = VelAnnotationCodes::codesOf(text(cdsMultiSelect, fld::SCUDANNOTAZIONI), *m_noteCodes);
        QList<QStringList> wanted;
        for (qsizetype i = 0; i < codes.size(); i += kCodesPerRow)
            wanted << codes.mid(i, kCodesPerRow);

        rowsOf(person); // the index exists from here on
        QList<TBookmark> &held = (*m_index)[person];
        QList<QStringList> now;
        for (const TBookmark b : std::as_const(held)) {
            ann.gotoBookmark(b);
            now << rowCodes(ann);
        }
        if (now == wanted)
            return;

        for (const TBookmark b : std::as_const(held)) {
            ann.gotoBookmark(b);
            ann.deleteRecord();
        }
        held.clear();
        const TField id = ann.fieldByName(fld::iAfiID.qsUpper());
        for (const QStringList &row : std::as_const(wanted)) {
            ann.append();
            id.setAsInteger(person);
            ann.fieldByName(fld::SCUDCODFIS.qs()).setAsString(codFis);
            if (const TField m = ann.findField(fld::SCUDMESE.qs()); m && !mese.isEmpty())
                m.setAsString(mese);
            for (qsizetype k = 0; k < row.size(); ++k)
                ann.fieldByName(VelAnnotationCodes::column(int(k))).setAsString(row.at(k));
            ann.post();
            held << ann.bookmark();
        }
        m_saves.append({person, codFis, mese, wanted});
    } catch (const EOvException &e) {
        if (ann.modified())
            ann.cancel();
        if (warn)
            warn(e.message());
    }
}

// The rows rebuilt in the run, saved in the period of their CU's month: one
// save a month. A save that fails is reported and the others go on.
void TVelCuAnnotationCodes::save(const QSet<QString> &keys)
{
    QList<Rows> saves;
    for (qsizetype i = 0; i < m_saves.size();) {
        const Rows &a = m_saves.at(i);
        if (keys.isEmpty() || keys.contains(a.codFis + QLatin1Char('|') + a.mese))
            saves << m_saves.takeAt(i);
        else
            ++i;
    }
    if (saves.isEmpty())
        return;
    QStringList months;
    for (const Rows &a : std::as_const(saves))
        if (!months.contains(a.mese))
            months << a.mese;
    TClientDataSet all;
    try {
        VelCuRepository(m_store).load(all, kAnnotazioni, TTorDBCds::AllMonths);
    } catch (const EOvException &e) {
        if (warn)
            warn(e.message());
        return;
    }
    all.setFiltered(false);
    const TField id = all.fieldByName(fld::iAfiID.qsUpper());
    QHash<qint64, QList<TBookmark>> stored;
    for (all.first(); !all.eof(); all.next())
        stored[id.asInteger()] << all.bookmark();
    for (const QString &mese : std::as_const(months)) {
        QStringList persons;
        try {
            for (const Rows &a : std::as_const(saves)) {
                if (a.mese != mese)
                    continue;
                persons << a.codFis;
                for (const TBookmark b : stored.value(a.person)) {
                    all.gotoBookmark(b);
                    all.deleteRecord();
                }
                stored.remove(a.person);
                for (const QStringList &row : a.rows) {
                    all.append();
                    id.setAsInteger(a.person);
                    all.fieldByName(fld::SCUDCODFIS.qs()).setAsString(a.codFis);
                    if (const TField m = all.findField(fld::SCUDMESE.qs()); m && !a.mese.isEmpty())
                        m.setAsString(a.mese);
                    for (qsizetype k = 0; k < row.size(); ++k)
                        all.fieldByName(VelAnnotationCodes::column(int(k))).setAsString(row.at(k));
                    all.post();
                }
            }
            VelCuRepository(m_store).write(all, kAnnotazioni, velCuStoreMonth(mese));
        } catch (const EOvException &e) {
            if (all.modified())
                all.cancel();
            all.cancelUpdates();
            if (warn)
                warn(persons.join(QStringLiteral(", ")) + QStringLiteral(" - ") + e.message());
        }
    }
}

