#include "src/prj/unit/dialogs/TfmVelStampaFirme.h"
#include "src/prj/unit/dialogs/VelAskReplace.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

TfmVelStampaFirme::TfmVelStampaFirme(QWidget *parent, TTorDBCds *store, TdmVelStampePDF *stampe)
    : TfmOvDialog(parent), m_store(store), m_stampe(stampe)
{
    setObjectName(QStringLiteral("fmVelStampaFirme"));
    setWindowTitle(QStringLiteral("Stampa nominativi CUD per firme"));
    SetAutoDestroy(false);
    cdsDipendenti.setObjectName(QStringLiteral("cdsDipendenti"));

    auto *layout = new QVBoxLayout(this);
    dbDipendenti = new QTableView(this);
    dbDipendenti->setObjectName(QStringLiteral("dbDipendenti"));
    dbDipendenti->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbDipendenti->setSelectionMode(QAbstractItemView::ExtendedSelection);
    dbDipendenti->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbDipendenti->setTabKeyNavigation(false); // Tab leaves the list, it never changes the choice
    dbDipendenti->verticalHeader()->setDefaultSectionSize(dbDipendenti->fontMetrics().height() + 6);
    dbDipendenti->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(dbDipendenti, 1);
    auto *hint = new QLabel(QStringLiteral("Senza selezione si stampano tutti i nominativi, nell'ordine dell'elenco. "
                                           "In rosso i CU già stampati."),
                            this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buStampa = new QPushButton(QStringLiteral("&Stampa"), this);
    buOk = new QPushButton(QStringLiteral("&Ok"), this);
    buStampa->setObjectName(QStringLiteral("buStampa"));
    buOk->setObjectName(QStringLiteral("buOk"));
    buStampa->setDefault(true);
    buOk->setAutoDefault(false);
    buttons->addWidget(buStampa);
    buttons->addWidget(buOk);
    layout->addLayout(buttons);
    connect(buStampa, &QPushButton::clicked, this, [this] { ovGuarded([this] { stampa(); }); });
    connect(buOk, &QPushButton::clicked, this, &QDialog::accept);
    resize(520, 560);
}

TfmVelStampaFirme::~TfmVelStampaFirme() = default;

void TfmVelStampaFirme::formCreate()
{
    if (!m_store || !m_stampe)
        throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
}

void TfmVelStampaFirme::formShow()
{
    cdsDipendenti.setFiltered(false);
    m_store->Load(cdsDipendenti, rec::TCUD_DATICUD::id.qs(), TTorDBCds::AllMonths);
    cdsDipendenti.setIndexFieldNames(QStringLiteral("SCUDCOGNOME;SCUDNOME"));
    cdsDipendenti.first();
    if (!m_model) {
        m_model = new TDataSetModel(&cdsDipendenti, this);
        m_model->setColumns({{fld::SCUDCOGNOME.qs(), QStringLiteral("Cognome")},
                             {fld::SCUDNOME.qs(), QStringLiteral("Nome")},
                             {fld::SCUDCODFIS.qs(), QStringLiteral("Codice fiscale")}});
        m_model->setRowColor([](TClientDataSet &ds) {
            const TField f = ds.findField(fld::iCudStato.qs());
            return f && f.asString().toInt() > 0 ? QColor(Qt::red) : QColor();
        });
        dbDipendenti->setModel(m_model);
        dbDipendenti->setColumnHidden(2, true);
        dbDipendenti->setColumnWidth(0, 240);
    }
}

void TfmVelStampaFirme::formClose()
{
    cdsDipendenti.close();
}

QStringList TfmVelStampaFirme::codes() const
{
    QList<int> rows;
    if (QItemSelectionModel *sel = dbDipendenti->selectionModel()) {
        for (const QModelIndex &i : sel->selectedRows())
            rows << i.row();
    }
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty()) {
        for (int r = 0; r < cdsDipendenti.recordCount(); ++r)
            rows << r;
    }
    const int field = cdsDipendenti.fieldIndex(fld::SCUDCODFIS.qs());
    QStringList out;
    for (int r : rows)
        out << cdsDipendenti.valueAt(r, field).toString();
    return out;
}

QString TfmVelStampaFirme::stampa()
{
    QString path;
    if (!VelAskReplace::mayWrite(m_stampe->stpDir() + TdmVelStampePDF::firmeFileName(), false))
        return QString();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        path = m_stampe->StampaFirme(codes());
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        showException(e);
        return QString();
    }
    QApplication::restoreOverrideCursor();
    return path;
}
