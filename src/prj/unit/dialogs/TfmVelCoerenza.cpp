#include "src/prj/unit/dialogs/TfmVelCoerenza.h"

#include "platform/core/OvSafeFile.h"
#include "platform/framework/OvMessages.h"
#include "platform/framework/OvShell.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"
#include "tor/query/torCQueryText.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPushButton>
#include <QTableWidget>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

const char *const kColumns[] = {"Esito", "Codice fiscale", "Percipiente", "Mese", "Punto", "Valore", "Regola"};

QStringList cells(const TVelCoherenceFinding &f)
{
    return {f.stopsSupply() ? QStringLiteral("Errore") : QStringLiteral("Avviso"), f.codFis, f.name, f.month, f.box,
            f.value, f.text};
}

} // namespace

TfmVelCoerenza::TfmVelCoerenza(TTorDBCds *store, int workgroup, QWidget *parent)
    : TfmOvDialog(parent), m_store(store), m_workgroup(workgroup)
{
    setObjectName(QStringLiteral("fmVelCoerenza"));
    setWindowTitle(caption());
    resize(1000, 640); // inside a 1024x700 main window
    auto *layout = new QVBoxLayout(this);
    lbRiepilogo = new QLabel(this);
    lbRiepilogo->setObjectName(QStringLiteral("lbRiepilogo"));
    lbRiepilogo->setWordWrap(true);
    layout->addWidget(lbRiepilogo);
    grElenco = new QTableWidget(0, int(std::size(kColumns)), this);
    grElenco->setObjectName(QStringLiteral("grElenco"));
    QStringList headers;
    for (const char *c : kColumns)
        headers << QString::fromUtf8(c);
    grElenco->setHorizontalHeaderLabels(headers);
    grElenco->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grElenco->setSelectionBehavior(QAbstractItemView::SelectRows);
    grElenco->setWordWrap(true);   // the rule is read whole, on as many lines as it needs
    grElenco->verticalHeader()->setVisible(false);
    grElenco->horizontalHeader()->setStretchLastSection(true);
    // the rows' heights follow the rule column's width, known once laid out
    connect(grElenco->horizontalHeader(), &QHeaderView::sectionResized, grElenco,
            [this] { grElenco->resizeRowsToContents(); });
    const int widths[] = {55, 150, 170, 45, 130, 80};
    for (int i = 0; i < int(std::size(widths)); ++i)
        grElenco->setColumnWidth(i, widths[i]);
    layout->addWidget(grElenco, 1);
    auto *buttons = new QHBoxLayout;
    buAggiorna = new QPushButton(QStringLiteral("Aggiorna"), this);
    buAggiorna->setObjectName(QStringLiteral("buAggiorna"));
    buAggiorna->setEnabled(m_store != nullptr);
    buStampa = new QPushButton(QStringLiteral("Stampa"), this);
    buStampa->setObjectName(QStringLiteral("buStampa"));
    buChiudi = new QPushButton(QStringLiteral("Chiudi"), this);
    buChiudi->setObjectName(QStringLiteral("buChiudi"));
    buttons->addWidget(buAggiorna);
    buttons->addWidget(buStampa);
    buttons->addStretch(1);
    buttons->addWidget(buChiudi);
    layout->addLayout(buttons);
    connect(buAggiorna, &QPushButton::clicked, this, [this] { ovGuarded([this] { aggiorna(); }); });
    connect(buStampa, &QPushButton::clicked, this, [this] { ovGuarded([this] { stampaEApri(); }); });
    connect(buChiudi, &QPushButton::clicked, this, [this] { done(mrOk); });
    setResult(TVelCoherenceResult());
}

void TfmVelCoerenza::aggiorna()
{
    if (!m_store)
        return;
    TVelCoherence check(*m_store);
    check.setPayroll(m_workgroup, QueryText());
    setResult(check.run());
}

QString TfmVelCoerenza::riepilogo() const
{
    const int errors = m_result.errors();
    QString text = QStringLiteral("CU controllati: %1. Errori (rifiutati dai controlli dell'Agenzia): %2. Avvisi: %3.")
                       .arg(m_result.certifications)
                       .arg(errors)
                       .arg(m_result.findings.size() - errors);
    if (!m_result.payrollChecked && !m_result.payrollNote.isEmpty())
        text += QLatin1Char(' ') + m_result.payrollNote;
    return text;
}

void TfmVelCoerenza::setResult(const TVelCoherenceResult &result)
{
    m_result = result;
    lbRiepilogo->setText(riepilogo());
    grElenco->setRowCount(0);
    grElenco->setRowCount(int(result.findings.size()));
    for (int r = 0; r < result.findings.size(); ++r) {
        const QStringList row = cells(result.findings.at(r));
        for (int c = 0; c < row.size(); ++c) {
            auto *item = new QTableWidgetItem(row.at(c));
            item->setToolTip(row.at(c));
            grElenco->setItem(r, c, item);
        }
    }
    grElenco->resizeRowsToContents();
    buStampa->setEnabled(true);
}

QString TfmVelCoerenza::stampa(const QString &path)
{
    QString html = QStringLiteral("<h3>%1 - %2</h3><p>%3</p>")
                       .arg(caption().toHtmlEscaped(), Campagna::didascalia().toHtmlEscaped(),
                            riepilogo().toHtmlEscaped());
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr>");
    for (const char *c : kColumns)
        html += QStringLiteral("<th>%1</th>").arg(QString::fromUtf8(c).toHtmlEscaped());
    html += QStringLiteral("</tr>");
    for (const TVelCoherenceFinding &f : m_result.findings) {
        html += QStringLiteral("<tr>");
        for (const QString &cell : cells(f))
            html += QStringLiteral("<td>%1</td>").arg(cell.toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table>");

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setTitle(caption());
        pdf.setCreator(Campagna::didascalia());
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                      QPageLayout::Millimeter));
        QTextDocument doc;
        doc.setDefaultFont(QFont(QStringLiteral("Helvetica"), 8));
        doc.setHtml(html);
        doc.print(&pdf);
    }
    TOvSafeFile::writeFile(path, buffer.data());
    return path;
}

QString TfmVelCoerenza::stampaEApri()
{
    const QString path = stampa(TorFolders::stpDir() + QStringLiteral("Coerenza-CU.pdf"));
    ovShell()->openDocument(path, QString(), QFileInfo(path).absolutePath(), false);
    return path;
}

void TfmVelCoerenza::Execute(TTorDBCds &store, int workgroup, QWidget *parent)
{
    TfmVelCoerenza dlg(&store, workgroup, parent);
    dlg.aggiorna();
    dlg.ShowModal();
}
