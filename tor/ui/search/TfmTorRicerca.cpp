#include "tor/ui/search/TfmTorRicerca.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"
#include "tor/store/torUDBCds.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TfmTorRicerca::TfmTorRicerca(QWidget *parent)
    : TfmOvDialog(parent)
{
    setObjectName(QStringLiteral("fmTorRicerca"));
    setWindowTitle(QStringLiteral("Finestra di ricerca"));
    resize(780, 460);
    cdsRicerca = new TClientDataSet(this);
    cdsRicerca->setObjectName(QStringLiteral("cdsRicerca"));
    m_model = new TDataSetModel(cdsRicerca, this);

    auto *l = new QVBoxLayout(this);
    grRicerca = new QTableView(this);
    grRicerca->setObjectName(QStringLiteral("grRicerca"));
    grRicerca->setModel(m_model);
    grRicerca->setSelectionBehavior(QAbstractItemView::SelectRows);
    grRicerca->setSelectionMode(QAbstractItemView::SingleSelection);
    grRicerca->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grRicerca->verticalHeader()->hide();
    grRicerca->verticalHeader()->setDefaultSectionSize(22);
    grRicerca->horizontalHeader()->setStretchLastSection(true);
    grRicerca->setWordWrap(false);
    l->addWidget(grRicerca, 1);

    auto *row = new QHBoxLayout;
    lbCerca = new QLabel(QStringLiteral("Cerca per "), this);
    lbCerca->setObjectName(QStringLiteral("lbCerca"));
    edCerca = new QLineEdit(this);
    edCerca->setObjectName(QStringLiteral("edCerca"));
    row->addWidget(lbCerca);
    row->addWidget(edCerca, 1);
    buOK = new QPushButton(QStringLiteral("OK"), this);
    buOK->setObjectName(QStringLiteral("buOK"));
    buOK->setDefault(true);
    buAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    buAnnulla->setObjectName(QStringLiteral("buAnnulla"));
    row->addWidget(buOK);
    row->addWidget(buAnnulla);
    l->addLayout(row);

    connect(buOK, &QPushButton::clicked, this, &TfmTorRicerca::accept);
    connect(buAnnulla, &QPushButton::clicked, this, &TfmTorRicerca::reject);
    connect(grRicerca, &QTableView::doubleClicked, this, &TfmTorRicerca::accept);
    connect(grRicerca->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { sortByColumn(column); });
    connect(edCerca, &QLineEdit::textEdited, this, [this](const QString &t) { search(t); });
    connect(cdsRicerca, &TClientDataSet::cursorMoved, this, [this](int r) {
        if (r < 0)
            return;
        const int col = qMax(0, grRicerca->currentIndex().column());
        grRicerca->setCurrentIndex(m_model->index(r, col));
        grRicerca->scrollTo(m_model->index(r, col));
    });
    connect(grRicerca->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &cur) {
                if (cur.isValid() && cur.row() + 1 != cdsRicerca->recNo())
                    cdsRicerca->setRecNo(cur.row() + 1);
            });
    edCerca->installEventFilter(this);
}

TfmTorRicerca::~TfmTorRicerca()
{
    grRicerca->setModel(nullptr);
}

void TfmTorRicerca::setSourceData(const TClientDataSet &source, const QString &sourceName)
{
    Q_UNUSED(sourceName);
    cdsRicerca->assignData(source);
    cdsRicerca->mergeChangeLog();
    cdsRicerca->setReadOnly(true);
    rebuildColumns();
}

void TfmTorRicerca::setStructure(TTorDBCds &store, const QString &structure)
{
    cdsRicerca->setReadOnly(false);
    store.Load(*cdsRicerca, structure); // the store's own year and month
    cdsRicerca->setReadOnly(true);
    m_hidden.insert(QStringLiteral("IFISRIGO"));
    rebuildColumns();
}

void TfmTorRicerca::setHiddenFields(const QStringList &names)
{
    for (const QString &n : names)
        m_hidden.insert(n.toUpper());
    rebuildColumns();
}

void TfmTorRicerca::rebuildColumns()
{
    if (!cdsRicerca->active())
        return;
    QList<TModelColumn> cols;
    for (const TFieldDef &d : cdsRicerca->fieldDefs()) {
        if (m_hidden.contains(d.name.toUpper()))
            continue;
        cols.append({d.name, d.name, 0});
    }
    m_model->setColumns(cols);
    for (int c = 0; c < cols.size(); ++c) {
        const int f = m_model->fieldOfColumn(c);
        const TFieldDef &d = cdsRicerca->fieldDefs().at(f);
        int w = 120;
        if (d.type == TFieldType::String && d.size > 0)
            w = qBound(60, d.size * 8 + 16, 460);
        grRicerca->setColumnWidth(c, w);
    }
    sortByColumn(0);
}

void TfmTorRicerca::sortByColumn(int column)
{
    const int f = m_model->fieldOfColumn(column);
    if (f < 0)
        return;
    m_sortColumn = column;
    const QString name = cdsRicerca->fieldDefs().at(f).name;
    // Codes made of digits go in the order of their numbers (1, 2, 10), not
    // of their text (1, 10, 2): the rows are laid out in that order.
    bool digits = cdsRicerca->fieldDefs().at(f).type == TFieldType::String && cdsRicerca->recordCount() > 0;
    QList<QVariantList> rows;
    for (int r = 0; digits && r < cdsRicerca->recordCount(); ++r) {
        const QString v = cdsRicerca->valueAt(r, f).toString().trimmed();
        digits = !v.isEmpty() && std::all_of(v.begin(), v.end(), [](QChar c) { return c.isDigit(); });
        QVariantList row;
        for (int c = 0; c < cdsRicerca->fieldCount(); ++c)
            row << cdsRicerca->valueAt(r, c);
        rows << row;
    }
    if (digits) {
        std::stable_sort(rows.begin(), rows.end(), [f](const QVariantList &a, const QVariantList &b) {
            return a.at(f).toString().trimmed().toLongLong() < b.at(f).toString().trimmed().toLongLong();
        });
        const bool ro = cdsRicerca->readOnly();
        cdsRicerca->setReadOnly(false);
        cdsRicerca->setIndexFieldNames(QString());
        cdsRicerca->emptyDataSet();
        for (const QVariantList &row : rows)
            cdsRicerca->appendRecord(row);
        cdsRicerca->mergeChangeLog();
        cdsRicerca->setReadOnly(ro);
    } else {
        cdsRicerca->setIndexFieldNames(name);
    }
    cdsRicerca->first();
    lbCerca->setText(QStringLiteral("Cerca per ") + name);
    edCerca->clear();
    grRicerca->horizontalHeader()->setSortIndicatorShown(true);
    grRicerca->horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
}

bool TfmTorRicerca::search(const QString &text)
{
    const int f = m_model->fieldOfColumn(m_sortColumn);
    if (f < 0 || text.isEmpty())
        return false;
    const TFieldType type = cdsRicerca->fieldDefs().at(f).type;
    const bool numeric = type == TFieldType::Integer || type == TFieldType::Currency || type == TFieldType::Float;
    for (int r = 0; r < cdsRicerca->recordCount(); ++r) {
        const QVariant v = cdsRicerca->valueAt(r, f);
        bool match = false;
        if (numeric) {
            bool ok = false;
            const double wanted = QString(text).replace(u',', u'.').toDouble(&ok);
            if (!ok)
                return false;
            if (v.isValid()) {
                const double have = type == TFieldType::Currency ? v.value<Currency>().toDouble() : v.toDouble();
                match = have == wanted;
            }
        } else {
            match = v.isValid() && fieldValueText(type, v).startsWith(text, Qt::CaseSensitive);
        }
        if (match) {
            cdsRicerca->setRecNo(r + 1);
            return true;
        }
    }
    return false;
}

QVariant TfmTorRicerca::currentKey() const
{
    if (!cdsRicerca->active() || cdsRicerca->isEmpty() || cdsRicerca->recNo() < 1)
        return QVariant();
    int f = m_keyField.isEmpty() ? 0 : cdsRicerca->fieldIndex(m_keyField);
    if (f < 0)
        f = 0;
    return cdsRicerca->valueAt(cdsRicerca->recNo() - 1, f);
}

void TfmTorRicerca::accept()
{
    m_result = currentKey();
    if (!m_result.isValid())
        return;
    TfmOvDialog::accept();
}

bool TfmTorRicerca::choose(QVariant *value)
{
    m_result = QVariant();
    const int r = ShowModal();
    if (r != mrOk || !m_result.isValid())
        return false;
    *value = m_result;
    return true;
}

void TfmTorRicerca::formShow()
{
    edCerca->setFocus();
}

int TfmTorRicerca::visibleRows() const
{
    const int h = grRicerca->verticalHeader()->defaultSectionSize();
    return qMax(1, grRicerca->viewport()->height() / qMax(1, h));
}

bool TfmTorRicerca::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edCerca && event->type() == QEvent::KeyPress && cdsRicerca->active()) {
        auto *k = static_cast<QKeyEvent *>(event);
        const bool ctrl = k->modifiers() & Qt::ControlModifier;
        switch (k->key()) {
        case Qt::Key_Up:
            cdsRicerca->prior();
            return true;
        case Qt::Key_Down:
            cdsRicerca->next();
            return true;
        case Qt::Key_PageUp:
            cdsRicerca->moveBy(-visibleRows());
            return true;
        case Qt::Key_PageDown:
            cdsRicerca->moveBy(visibleRows());
            return true;
        case Qt::Key_Home:
            if (ctrl) {
                cdsRicerca->first();
                return true;
            }
            break;
        case Qt::Key_End:
            if (ctrl) {
                cdsRicerca->last();
                return true;
            }
            break;
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const QModelIndex cur = grRicerca->currentIndex();
            const int col = qBound(0, cur.column() + (k->key() == Qt::Key_Left ? -1 : 1), m_model->columnCount() - 1);
            if (cur.isValid())
                grRicerca->setCurrentIndex(m_model->index(cur.row(), col));
            return true;
        }
        default:
            break;
        }
    }
    return TfmOvDialog::eventFilter(watched, event);
}
