#include "platform/dataset/TDataSetModel.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QSize>

TDataSetModel::TDataSetModel(TClientDataSet *dataSet, QObject *parent)
    : QAbstractTableModel(parent), m_ds(dataSet)
{
    if (!dataSet)
        throw EDatabaseError(QStringLiteral("Modello senza dataset"));
    connect(dataSet, &TClientDataSet::dataSetReset, this, &TDataSetModel::reset);
    connect(dataSet, &TClientDataSet::rowAboutToBeInserted, this, &TDataSetModel::onAboutToInsert);
    connect(dataSet, &TClientDataSet::rowInserted, this, &TDataSetModel::onInserted);
    connect(dataSet, &TClientDataSet::rowAboutToBeRemoved, this, &TDataSetModel::onAboutToRemove);
    connect(dataSet, &TClientDataSet::rowRemoved, this, &TDataSetModel::onRemoved);
    connect(dataSet, &TClientDataSet::rowAboutToBeMoved, this, &TDataSetModel::onAboutToMove);
    connect(dataSet, &TClientDataSet::rowMoved, this, &TDataSetModel::onMoved);
    connect(dataSet, &TClientDataSet::rowChanged, this, &TDataSetModel::onChanged);
    connect(dataSet, &QObject::destroyed, this, &TDataSetModel::reset);
    reset();
}

void TDataSetModel::setColumns(const QList<TModelColumn> &columns)
{
    for (const auto &c : columns)
        if (m_ds && m_ds->fieldIndex(c.fieldName) < 0)
            throw EDatabaseError(QStringLiteral("Campo '%1' non trovato").arg(c.fieldName));
    m_columns = columns;
    reset();
}

void TDataSetModel::setRowColor(RowColorFn fn)
{
    m_rowColor = std::move(fn);
    if (m_rows > 0 && !m_fields.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows - 1, int(m_fields.size()) - 1), {Qt::ForegroundRole});
}

void TDataSetModel::reset()
{
    m_pending = Pending::None;
    beginResetModel();
    m_fields.clear();
    if (m_ds) {
        if (m_columns.isEmpty()) {
            for (int i = 0; i < m_ds->fieldCount(); ++i)
                m_fields.append(i);
        } else {
            // A column whose field is gone (new field definitions) is left out.
            for (const auto &c : m_columns) {
                const int f = m_ds->fieldIndex(c.fieldName);
                m_fields.append(f);
            }
        }
    }
    m_rows = m_ds ? m_ds->recordCount() : 0;
    if (m_sortColumn >= 0 && m_ds && m_ds->indexFieldNames().isEmpty())
        m_sortColumn = -1;
    endResetModel();
}

// The dataset announces each row change before making it: the views get
// Qt's begin/end pairs. Anything out of step falls back to a reset.
void TDataSetModel::onAboutToInsert(int row)
{
    if (m_pending != Pending::None || row < 0 || row > m_rows) {
        m_pending = Pending::Void;
        return;
    }
    beginInsertRows(QModelIndex(), row, row);
    m_pending = Pending::Insert;
}

void TDataSetModel::onInserted(int)
{
    if (m_pending != Pending::Insert) {
        m_pending = Pending::None;
        return reset();
    }
    ++m_rows;
    m_pending = Pending::None;
    endInsertRows();
}

void TDataSetModel::onAboutToRemove(int row)
{
    if (m_pending != Pending::None || row < 0 || row >= m_rows) {
        m_pending = Pending::Void;
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_pending = Pending::Remove;
}

void TDataSetModel::onRemoved(int)
{
    if (m_pending != Pending::Remove) {
        m_pending = Pending::None;
        return reset();
    }
    --m_rows;
    m_pending = Pending::None;
    endRemoveRows();
}

void TDataSetModel::onAboutToMove(int from, int to)
{
    // Qt wants the destination as the row before which the moved row lands.
    const int dest = to > from ? to + 1 : to;
    if (m_pending != Pending::None || from < 0 || from >= m_rows || to < 0 || to >= m_rows
        || !beginMoveRows(QModelIndex(), from, from, QModelIndex(), dest)) {
        m_pending = Pending::Void;
        return;
    }
    m_pending = Pending::Move;
}

void TDataSetModel::onMoved(int, int to)
{
    if (m_pending != Pending::Move) {
        m_pending = Pending::None;
        return reset();
    }
    m_pending = Pending::None;
    endMoveRows();
    onChanged(to);
}

void TDataSetModel::onChanged(int row)
{
    if (row < 0 || row >= m_rows || m_fields.isEmpty())
        return;
    emit dataChanged(index(row, 0), index(row, int(m_fields.size()) - 1));
}

int TDataSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int TDataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

int TDataSetModel::fieldOfColumn(int column) const
{
    return column >= 0 && column < m_fields.size() ? m_fields[column] : -1;
}

QString TDataSetModel::displayText(TFieldType type, const QVariant &value)
{
    if (!value.isValid())
        return QString();
    static const QLocale it(QLocale::Italian, QLocale::Italy);
    switch (type) {
    case TFieldType::Currency: {
        // Amounts show two decimals unless they hold more.
        const Currency c = value.value<Currency>();
        const int decimals = c.units() % 100 != 0 ? 4 : 2;
        QString whole = it.toString(qint64(c.units() / Currency::Scale < 0 ? -(c.units() / Currency::Scale)
                                                                           : c.units() / Currency::Scale));
        const qint64 frac = (c.units() < 0 ? -c.units() : c.units()) % Currency::Scale;
        QString f = QStringLiteral("%1").arg(frac, 4, 10, QChar(u'0')).left(decimals);
        return (c.units() < 0 ? QStringLiteral("-") : QString()) + whole + it.decimalPoint() + f;
    }
    case TFieldType::Float:
        return it.toString(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case TFieldType::Integer:
        return QString::number(value.toLongLong());
    case TFieldType::Date:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case TFieldType::DateTime:
        return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    case TFieldType::Boolean:
        return value.toBool() ? QStringLiteral("Sì") : QStringLiteral("No");
    case TFieldType::Blob:
        return QStringLiteral("(blob)");
    case TFieldType::Memo: {
        QString s = value.toString();
        s.replace(QLatin1StringView("\r\n"), QLatin1StringView(" "));
        s.replace(u'\n', u' ');
        return s;
    }
    case TFieldType::String:
        return value.toString();
    }
    return QString();
}

QVariant TDataSetModel::data(const QModelIndex &index, int role) const
{
    if (!m_ds || !index.isValid() || index.row() >= m_rows || !m_ds->active())
        return QVariant();
    const int f = fieldOfColumn(index.column());
    if (f < 0 || f >= m_ds->fieldCount() || index.row() >= m_ds->recordCount())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return displayText(m_ds->fieldDefs()[f].type, m_ds->valueAt(index.row(), f));
    case Qt::EditRole:
        return m_ds->valueAt(index.row(), f);
    case Qt::TextAlignmentRole: {
        const TFieldType t = m_ds->fieldDefs()[f].type;
        if (t == TFieldType::Currency || t == TFieldType::Float || t == TFieldType::Integer)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }
    case Qt::ForegroundRole: {
        if (!m_rowColor)
            return QVariant();
        QColor c;
        m_ds->withRecordAt(index.row(), [&] { c = m_rowColor(*m_ds); });
        return c.isValid() ? QVariant(c) : QVariant();
    }
    default:
        return QVariant();
    }
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    }
    const int f = fieldOfColumn(section);
    if (f < 0 || !m_ds)
        return QVariant();
    if (role == Qt::DisplayRole) {
        if (!m_columns.isEmpty() && !m_columns[section].title.isEmpty())
            return m_columns[section].title;
        return m_ds->fieldDefs()[f].name;
    }
    if (role == Qt::SizeHintRole && !m_columns.isEmpty() && m_columns[section].width > 0) {
        // The header takes its height from this hint too: a height of 0 would
        // draw every title zero pixels high.
        const int height = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
            ? QFontMetrics(QGuiApplication::font()).height() + 8
            : 20;
        return QSize(m_columns[section].width, height);
    }
    return QVariant();
}

void TDataSetModel::sort(int column, Qt::SortOrder order)
{
    if (!m_ds)
        return;
    const int f = fieldOfColumn(column);
    if (f < 0)
        return; // no column (a view without a sort indicator): the dataset keeps its own index
    const QString name = m_ds->fieldDefs()[f].name;
    m_sortColumn = column;
    m_sortOrder = order;
    m_ds->setIndexFieldNames(name, order == Qt::DescendingOrder ? name : QString());
}

void TDataSetModel::toggleSort(int column)
{
    const Qt::SortOrder order = (column == m_sortColumn && m_sortOrder == Qt::AscendingOrder)
                                    ? Qt::DescendingOrder
                                    : Qt::AscendingOrder;
    sort(column, order);
}
