#include "RagFFiscImpMultiSelect.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "platform/sql/OvSQLQuery.h"
#include "tor/query/torCQueryText.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

// ---- TfmragMultiSelect ----

TfmragMultiSelect::TfmragMultiSelect(QWidget *parent) : TfmOvMultiSelect(parent)
{
    connect(this, &TfmOvMultiSelect::selectionCountChanged, this, [this](int) { aggiornaConteggio(); });
}

int TfmragMultiSelect::prenotati() const
{
    const int selected = selectedCount();
    return selected > 0 ? selected : (model() ? model()->rowCount() : 0);
}

void TfmragMultiSelect::aggiornaConteggio()
{
    lbInfo->setText(QStringLiteral("Prenotati: ") + QString::number(prenotati()));
}

// ---- TfmragAnaMultiSelect ----

namespace {

QComboBox *filterCombo(QWidget *parent, const char *name)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setMinimumWidth(180);
    return c;
}

}

TfmragAnaMultiSelect::TfmragAnaMultiSelect(QWidget *parent) : TfmragMultiSelect(parent)
{
    setWindowTitle(QStringLiteral("Scelta dipendenti"));
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("pnFiltri"));
    auto *h = new QHBoxLayout(bar);
    h->setContentsMargins(0, 0, 0, 0);
    cbCalFiltro = filterCombo(bar, "cbICALORVEXCODE");
    cbTnoFiltro = filterCombo(bar, "cbITNOORVEXCODE");
    cbQarFiltro = filterCombo(bar, "cbIQARORVEXCODE");
    h->addWidget(new QLabel(QStringLiteral("Categoria"), bar));
    h->addWidget(cbCalFiltro);
    h->addWidget(new QLabel(QStringLiteral("Posizione"), bar));
    h->addWidget(cbTnoFiltro);
    h->addWidget(new QLabel(QStringLiteral("Qualifica"), bar));
    h->addWidget(cbQarFiltro);
    chInServizio = new QCheckBox(QStringLiteral("In servizio"), bar);
    chInServizio->setVisible(false);
    h->addWidget(chInServizio);
    h->addStretch(1);
    if (auto *v = qobject_cast<QVBoxLayout *>(pnClient->layout()))
        v->insertWidget(0, bar);
    for (QComboBox *c : {cbCalFiltro, cbTnoFiltro, cbQarFiltro})
        connect(c, &QComboBox::currentIndexChanged, this, [this](int) { ovGuarded([this] { applicaFiltro(); }); });
    // Sorting by a title click.
    grMain->horizontalHeader()->setSectionsClickable(true);
    connect(grMain->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (!m_model)
            return;
        selectNone();
        m_model->toggleSort(column);
        grMain->horizontalHeader()->setSortIndicator(m_model->sortColumn(), m_model->sortOrder());
        grMain->horizontalHeader()->setSortIndicatorShown(true);
    });
}

void TfmragAnaMultiSelect::mostraLista(TClientDataSet *lista, const QList<QPair<QString, QPair<QString, int>>> &columns)
{
    m_lista = lista;
    if (!m_model)
        m_model = new TDataSetModel(lista, this);
    // Widths go to the view: the model's width hint carries no height, and
    // the grid's titles would be drawn zero pixels high.
    QList<TModelColumn> cols;
    for (const auto &c : columns)
        cols << TModelColumn{c.first, c.second.first, 0};
    m_model->setColumns(cols);
    setModel(m_model);
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).second.second > 0)
            grMain->setColumnWidth(i, columns.at(i).second.second);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { aggiornaConteggio(); });
    aggiornaConteggio();
}

void TfmragAnaMultiSelect::caricaFiltri()
{
    const QPair<QComboBox *, const char *> filters[] = {
        {cbCalFiltro, "QRY_CAL_FILTRO"}, {cbTnoFiltro, "QRY_TNO_FILTRO"}, {cbQarFiltro, "QRY_QAR_FILTRO"}};
    for (const auto &f : filters) {
        QSignalBlocker block(f.first);
        f.first->clear();
        TOvSQLQuery q(connection);
        QueryText().SetQuery(QString::fromLatin1(f.second), q, 0, QStringLiteral("SELECT"));
        q.open();
        for (q.first(); !q.eof(); q.next())
            f.first->addItem(q.fieldByName(QStringLiteral("DESCRIZIONE")).asString(),
                             int(q.fieldByName(QStringLiteral("ID")).asInteger()));
        f.first->insertItem(0, QStringLiteral("(Tutte)"), 0);
        f.first->setCurrentIndex(0);
    }
}

QString TfmragAnaMultiSelect::testoFiltro() const
{
    QStringList clauses;
    for (QComboBox *c : {cbCalFiltro, cbTnoFiltro, cbQarFiltro}) {
        const int id = c->currentData().toInt();
        if (id != 0)
            clauses << c->objectName().mid(2) + QLatin1Char('=') + QString::number(id);
    }
    if (chInServizio->isChecked())
        clauses << QStringLiteral("ISTABID=1");
    return clauses.join(QStringLiteral(" AND "));
}

void TfmragAnaMultiSelect::applicaFiltro()
{
    if (!m_lista)
        return;
    selectNone();
    const QString f = testoFiltro();
    if (f.isEmpty()) {
        m_lista->setFiltered(false);
    } else {
        m_lista->setFilter(f);
        m_lista->setFiltered(true);
    }
    aggiornaConteggio();
}

// ---- TfmragFiscImpMultiSelect ----

TfmragFiscImpMultiSelect::TfmragFiscImpMultiSelect(QWidget *parent) : TfmragAnaMultiSelect(parent)
{
    auto *bottom = new QWidget(this);
    auto *v = new QVBoxLayout(bottom);
    v->setContentsMargins(0, 0, 0, 0);
    rgSovraScrivi = new QGroupBox(QStringLiteral("Dipendenti già presenti in archivio"), bottom);
    rgSovraScrivi->setObjectName(QStringLiteral("rgSovraScrivi"));
    auto *h = new QHBoxLayout(rgSovraScrivi);
    rbNonSovrascrivere = new QRadioButton(QStringLiteral("Non sovrascrivere"), rgSovraScrivi);
    rbSovrascriviSempre = new QRadioButton(QStringLiteral("Sovrascrivi sempre"), rgSovraScrivi);
    rbChiediConferma = new QRadioButton(QStringLiteral("Chiedi conferma"), rgSovraScrivi);
    auto *g = new QButtonGroup(rgSovraScrivi);
    int id = 0;
    for (QRadioButton *b : {rbNonSovrascrivere, rbSovrascriviSempre, rbChiediConferma}) {
        g->addButton(b, id++);
        h->addWidget(b);
    }
    rbChiediConferma->setChecked(true);
    v->addWidget(rgSovraScrivi);
    lbProgresso = new QLabel(bottom);
    lbProgresso->setObjectName(QStringLiteral("lbProgresso"));
    pbProgresso = new QProgressBar(bottom);
    pbProgresso->setObjectName(QStringLiteral("pbProgresso"));
    pbProgresso->setValue(0);
    v->addWidget(lbProgresso);
    v->addWidget(pbProgresso);
    if (auto *layout = qobject_cast<QVBoxLayout *>(pnClient->layout()))
        layout->addWidget(bottom);
}

int TfmragFiscImpMultiSelect::sovraScrivi() const
{
    if (rbNonSovrascrivere->isChecked())
        return 0;
    if (rbSovrascriviSempre->isChecked())
        return 1;
    return 2;
}

QList<int> TfmragFiscImpMultiSelect::listaLavoro() const
{
    QList<int> keys;
    TClientDataSet *l = lista();
    if (!l)
        return keys;
    const int f = l->fieldIndex(campoChiave());
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        for (int r = 0; r < l->recordCount(); ++r)
            keys << l->valueAt(r, f).toInt();
    } else {
        for (int r : rows)
            keys << l->valueAt(r, f).toInt();
    }
    return keys;
}

void TfmragFiscImpMultiSelect::progresso(int pos, int count, const QString &employee)
{
    lbProgresso->setText(employee);
    pbProgresso->setMaximum(count);
    pbProgresso->setValue(pos);
    // Repaint between employees: one thread, no timers.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool TfmragFiscImpMultiSelect::formCheckOk()
{
    const QList<int> keys = listaLavoro();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool ok = true;
    try {
        importa(keys);
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        showException(e);
        ok = false;
        return ok;
    }
    QApplication::restoreOverrideCursor();
    return ok;
}
