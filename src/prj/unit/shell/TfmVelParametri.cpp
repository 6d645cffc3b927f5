#include "src/prj/unit/shell/TfmVelParametri.h"

#include "src/prj/unit/shell/TfmVelMain.h"
#include "src/prj/unit/shell/VelAnnoFin.h"
#include "src/prj/unit/telematic/VelProduttore.h"

#include "platform/framework/OvMessages.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QDate>
#include <QDateEdit>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kDateFormat = QStringLiteral("dd/MM/yyyy");

TTorDBCds *mainStore()
{
    TfmVelMain *main = TfmVelMain::instance();
    return main ? main->fiscalStore() : nullptr;
}
} // namespace

TfmVelParametri::TfmVelParametri(QWidget *parent)
    : TfmOvDialog(parent)
{
    setObjectName(QStringLiteral("fmVelParametri"));
    cdsAnnoFin.setObjectName(QStringLiteral("cdsAnnoFin"));
}

void TfmVelParametri::formCreate()
{
    TfmOvDialog::formCreate();
    setWindowTitle(QStringLiteral("Parametri"));

    lbAnnoFin = new QLabel(QStringLiteral("Anno finanziario:"), this);
    edAnnoFin = new QLineEdit(this);
    edAnnoFin->setObjectName(QStringLiteral("edAnnoFin"));
    edAnnoFin->setFixedWidth(edAnnoFin->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    lbAnnoFin->setBuddy(edAnnoFin);

    lbDataModello = new QLabel(QStringLiteral("Data modello"), this);
    deDataModello = new QDateEdit(QDate::currentDate(), this);
    deDataModello->setObjectName(QStringLiteral("deDataModello"));
    deDataModello->setDisplayFormat(kDateFormat);
    deDataModello->setCalendarPopup(true);
    lbDataModello->setVisible(false);
    deDataModello->setVisible(false);

    lbProduttore = new QLabel(QStringLiteral("Codice fiscale del produttore del software:"), this);
    edProduttore = new QLineEdit(this);
    edProduttore->setObjectName(QStringLiteral("edProduttore"));
    edProduttore->setMaxLength(11);
    edProduttore->setFixedWidth(edProduttore->fontMetrics().horizontalAdvance(QStringLiteral("00000000000000")) + 12);
    lbProduttore->setBuddy(edProduttore);
    lbProduttoreNota = new QLabel(this);
    lbProduttoreNota->setObjectName(QStringLiteral("lbProduttoreNota"));
    lbProduttoreNota->setWordWrap(true);

    buOk = new QPushButton(QStringLiteral("OK"), this);
    buOk->setObjectName(QStringLiteral("buOk"));
    buOk->setDefault(true);
    buOk->setMinimumWidth(88);
    connect(buOk, &QPushButton::clicked, this, [this] { ovGuarded([this] { clickOk(); }); });

    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    fields->addWidget(lbAnnoFin, 0, 0);
    fields->addWidget(edAnnoFin, 0, 1);
    fields->addWidget(lbDataModello, 1, 0);
    fields->addWidget(deDataModello, 1, 1);
    fields->addWidget(lbProduttore, 2, 0);
    fields->addWidget(edProduttore, 2, 1);
    fields->addWidget(lbProduttoreNota, 3, 0, 1, 3);
    fields->setColumnStretch(2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(buOk);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 14);
    layout->setSpacing(16);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(420);
}

void TfmVelParametri::formShow()
{
    TfmOvDialog::formShow();
    const VelAnnoFin::Remembered remembered = VelAnnoFin::load(cdsAnnoFin, TorFolders::yearFileDir());
    edAnnoFin->setText(remembered.year);
    edAnnoFin->selectAll();
    edAnnoFin->setFocus();

    const TfmVelMain *main = TfmVelMain::instance();
    const QDate model = main ? QDate::fromString(main->modelDate(), kDateFormat) : QDate();
    deDataModello->setDate(model.isValid() ? model : QDate::currentDate());

    const VelProduttore::Setting produttore = VelProduttore::current(VelTaxCode::settingsFile());
    m_produttore = produttore.code;
    edProduttore->setText(produttore.code);
    edProduttore->setReadOnly(produttore.fromProgramIni);
    const QString file = QDir::toNativeSeparators(produttore.file);
    lbProduttoreNota->setText(
        produttore.fromProgramIni ? QStringLiteral("Impostato nel file %1 (sezione [FileTelematico]): si modifica lì.").arg(file)
        : produttore.code.isEmpty() ? QStringLiteral("Mancante: la fornitura telematica non può essere scritta senza. "
                                                     "Lo indica chi distribuisce il programma.")
        : produttore.demo ? QStringLiteral("VALORE DIMOSTRATIVO dell'installazione di prova: chi distribuisce il "
                                           "programma indica il proprio.")
                          : QStringLiteral("Indicato da chi distribuisce il programma (file %1).").arg(file));
    // the note's lines known only now: the dialog grows to show them whole
    layout()->activate();
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->adjustSize();
    else
        adjustSize();

    // Said once the dialog is on screen, above it.
    if (!remembered.warning.isEmpty()) {
        QPointer<TfmVelParametri> self(this);
        QTimer::singleShot(0, this, [self, text = remembered.warning] {
            if (self)
                OvMessageBox(text, MB_OK | MB_ICONWARNING);
        });
    }
}

bool TfmVelParametri::closeOtherWindows()
{
    TfmVelMain *main = TfmVelMain::instance();
    if (!main || !main->mdiArea())
        return true;
    for (QMdiSubWindow *sub : main->mdiArea()->subWindowList()) {
        if (sub == parentWidget())
            continue;
        if (!sub->close()) {
            OvMessageBox(QStringLiteral("Confermare o annullare le modifiche nelle finestre aperte prima di cambiare "
                                        "l'anno finanziario."),
                         MB_OK | MB_ICONWARNING);
            return false;
        }
    }
    return true;
}

QString TfmVelParametri::noCuText(const QString &year)
{
    return QStringLiteral("Per l'anno finanziario %1 non ci sono CU.\r\nLa campagna CU %2 riguarda i redditi del %3: "
                          "per lavorarci indicare %3 in \"Parametri\".")
        .arg(year, Campagna::anno(Campagna::AnnoInvio), Campagna::anno(Campagna::AnnoFinanziario));
}

bool TfmVelParametri::clickOk()
{
    const QString text = edAnnoFin->text();
    const bool valid = text == VelAnnoFin::FirstYear || text == VelAnnoFin::LastYear;
    if (valid && !saveProduttore())
        return false;
    TTorDBCds *store = mainStore();
    // The open windows show the year they were opened on: they close first
    // (each asking about what is pending), or the year stays as it is.
    if (valid && store && store->year() != 0 && store->year() != text.toInt() && !closeOtherWindows())
        return false;
    QString saveError;
    try {
        VelAnnoFin::confirm(text, cdsAnnoFin, store, TorFolders::ownResDir());
    } catch (const std::exception &e) {
        if (!valid) {
            showException(e);   // nothing changed: the dialog stays open
            return false;
        }
        // The year applies; only remembering it failed.
        saveError = exceptionText(e);
    }
    if (TfmVelMain *main = TfmVelMain::instance()) {
        main->setFinancialYearText(text);
        main->setModelDate(deDataModello->date().toString(kDateFormat));
    }
    if (!saveError.isEmpty())
        OvMessageBox(saveError, MB_OK | MB_ICONERROR);
    accept();
    if (TfmVelMain *main = TfmVelMain::instance())
        main->refreshStatusBar();
    // A year beside the campaign's with nothing in it is said, not shown as an empty list.
    if (store && text.toInt() != Campagna::AnnoFinanziario
        && !store->HasRows(rec::TCUD_DATICUD::id.qs(), TTorDBCds::AllMonths, text.toInt()))
        OvMessageBox(noCuText(text), MB_OK | MB_ICONINFORMATION);
    return isHidden();
}

// The producer's code, when changed: checked and written, or the dialog stays.
bool TfmVelParametri::saveProduttore()
{
    const QString code = edProduttore->text().trimmed();
    if (edProduttore->isReadOnly() || code == m_produttore)
        return true;
    try {
        VelProduttore::save(code);
    } catch (const std::exception &e) {
        showException(e);
        edProduttore->setFocus();
        edProduttore->selectAll();
        return false;
    }
    m_produttore = code;
    return true;
}

void TfmVelParametri::formCloseQuery(bool &canClose)
{
    TfmOvDialog::formCloseQuery(canClose);
    if (modalResult() == QDialog::Accepted)
        return;
    TTorDBCds *store = mainStore();
    if (store && store->year() == 0) {
        OvMessageBox(QStringLiteral("Indicare l'anno finanziario e premere OK."), MB_OK | MB_ICONINFORMATION);
        canClose = false;
    }
}

void TfmVelParametri::formClose()
{
    cdsAnnoFin.close();
    TfmOvDialog::formClose();
}

void TfmVelParametri::done(int r)
{
    TfmOvDialog::done(r);
    // Opened from the menu the dialog lives in a child window: close that too.
    if (isHidden())
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            QTimer::singleShot(0, sub, &QMdiSubWindow::close);
}
