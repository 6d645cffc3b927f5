#include "src/prj/unit/dialogs/TfmVelCudTno.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/framework/OvMessages.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

namespace {
constexpr int ColFiscali = 2;
constexpr int ColInps = 3;

// A flag cell is a check box, centred, not the digit it holds.
class FlagBox : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features |= QStyleOptionViewItem::HasCheckIndicator;
        option->checkState = index.data(Qt::EditRole).toInt() == 1 ? Qt::Checked : Qt::Unchecked;
        option->text.clear();
        option->displayAlignment = Qt::AlignCenter;
    }
};
}

TfrVelCudTno::TfrVelCudTno(QWidget *parent) : QWidget(parent)
{
    auto *l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    grTno = new QTableView(this);
    grTno->setObjectName(QStringLiteral("grTno"));
    grTno->setSelectionMode(QAbstractItemView::SingleSelection);
    grTno->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grTno->verticalHeader()->setVisible(false);
    grTno->installEventFilter(this);
    l->addWidget(grTno);
    grTno->setItemDelegateForColumn(ColFiscali, new FlagBox(grTno));
    grTno->setItemDelegateForColumn(ColInps, new FlagBox(grTno));
    connect(grTno, &QTableView::clicked, this,
            [this](const QModelIndex &i) { ovGuarded([&] { toggle(i.row(), i.column()); }); });
}

void TfrVelCudTno::setRows(TClientDataSet *rows)
{
    m_rows = rows;
    if (!m_model)
        m_model = new TDataSetModel(rows, this);
    // Widths on the view (the model's width hint would draw the titles
    // zero pixels high).
    m_model->setColumns({{QStringLiteral("ITNOORVEXCODE"), QStringLiteral("Codice"), 0},
                         {QStringLiteral("STNOLDESC"), QStringLiteral("Posizione giuridica"), 0},
                         {QStringLiteral("LPER_ALTRI_DATI"), QStringLiteral("Fiscali"), 0},
                         {QStringLiteral("LPER_INPS"), QStringLiteral("INPS"), 0}});
    grTno->setModel(m_model);
    const int widths[] = {60, 300, 60, 60};
    for (int i = 0; i < 4; ++i)
        grTno->setColumnWidth(i, qMax(widths[i], grTno->horizontalHeader()->sectionSizeHint(i)));
}

void TfrVelCudTno::toggle(int row, int column)
{
    if (!m_rows || (column != ColFiscali && column != ColInps) || row < 0 || row >= m_rows->recordCount())
        return;
    const QString field = column == ColFiscali ? QStringLiteral("LPER_ALTRI_DATI") : QStringLiteral("LPER_INPS");
    m_rows->setRecNo(row + 1);
    m_rows->edit();
    m_rows->fieldByName(field).setAsInteger(m_rows->fieldByName(field).asInteger() == 1 ? 0 : 1);
    m_rows->post();
}

bool TfrVelCudTno::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == grTno && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        const QModelIndex i = grTno->currentIndex();
        if (i.isValid())
            ovGuarded([&] { toggle(i.row(), i.column()); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

TfmVelCudTno::TfmVelCudTno(QWidget *parent) : TfmOvDialog(parent)
{
    setObjectName(QStringLiteral("fmVelCudTno"));
    setWindowTitle(QStringLiteral("Posizioni giuridiche"));
    resize(560, 300);
    auto *l = new QVBoxLayout(this);
    lbIstruzioni = new QLabel(QStringLiteral("Le posizioni giuridiche del dipendente nel periodo: spuntare \"Fiscali\" "
                                             "e \"INPS\" per le posizioni i cui dati vanno nelle rispettive sezioni "
                                             "della CU (clic sulla casella o barra spaziatrice)."),
                              this);
    lbIstruzioni->setObjectName(QStringLiteral("lbIstruzioni"));
    lbIstruzioni->setWordWrap(true);
    l->addWidget(lbIstruzioni);
    frVelCudTno = new TfrVelCudTno(this);
    l->addWidget(frVelCudTno, 1);
    chCoCoCo = new QCheckBox(QStringLiteral("Co.Co.Co"), this);
    chCoCoCo->setObjectName(QStringLiteral("chCoCoCo"));
    l->addWidget(chCoCoCo);
    auto *h = new QHBoxLayout;
    lbNota = new QLabel(QStringLiteral("N.B: i dati fiscali degli accessori esportati a C.U. \r\nvengono scartati "
                                       "automaticamente."),
                        this);
    h->addWidget(lbNota, 1);
    buOk = new QPushButton(QStringLiteral("OK"), this);
    buOk->setDefault(true);
    h->addWidget(buOk);
    l->addLayout(h);
    connect(buOk, &QPushButton::clicked, this, &QDialog::accept);
}

void TfmVelCudTno::prepara(TClientDataSet &rows, bool cococo, const QString &employee)
{
    setWindowTitle(QStringLiteral("Posizioni giuridiche - ") + employee);
    frVelCudTno->setRows(&rows);
    chCoCoCo->setVisible(cococo);
    chCoCoCo->setChecked(cococo);
}

void TfmVelCudTno::Execute(TClientDataSet &rows, bool &cococo, const QString &employee, QWidget *parent)
{
    TfmVelCudTno dlg(parent);
    dlg.prepara(rows, cococo, employee);
    dlg.ShowModal();
    rows.checkBrowseMode();
    cococo = dlg.chCoCoCo->isChecked();
}
