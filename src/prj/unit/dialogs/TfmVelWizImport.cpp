#include "src/prj/unit/dialogs/TfmVelWizImport.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"
#include "platform/sql/OvSQLQuery.h"
#include "rag/ui/wizard/TfrRagPacoCud.h"
#include "tor/calc/TorPosizioni.h"
#include "tor/query/torCQueryText.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorUUtil.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QString s(const char *text) { return QString::fromUtf8(text); }

}

TfmVelWizImport::TfmVelWizImport(QWidget *parent) : TfmragWizard(parent)
{
    setObjectName(QStringLiteral("fmVelWizImport"));
    setWindowTitle(QStringLiteral("Importa dati per CU"));
    buOk->setText(QStringLiteral("Importa"));
    rbAccessori->setEnabled(false);
    resize(620, 520);

    // ---- options ----
    tsMeseComp = new QWidget;
    auto *v = new QVBoxLayout(tsMeseComp);
    auto *top = new QFormLayout;
    cbMesi = new QComboBox(tsMeseComp);
    cbMesi->setObjectName(QStringLiteral("cbMesi"));
    cbCategorie = new QComboBox(tsMeseComp);
    cbCategorie->setObjectName(QStringLiteral("cbCategorie"));
    top->addRow(QStringLiteral("Fino al mese di"), cbMesi);
    top->addRow(QStringLiteral("Categoria"), cbCategorie);
    v->addLayout(top);

    auto check = [&](const char *name, const char *caption, bool on) {
        auto *c = new QCheckBox(s(caption), tsMeseComp);
        c->setObjectName(s(name));
        c->setChecked(on);
        v->addWidget(c);
        return c;
    };
    chSostituto = check("chSostituto", "Importa dati sostituto", false);
    chSoloInps = check("chSoloInps", "Solo dati INPS", false);
    chFiscaleNoiPa = check("chFiscaleNoiPa", "Importa dati fiscali anche per le liquidazioni inviate a NoiPa", true);
    chAncheSenzaConguaglio = check("chAncheSenzaConguaglio",
                                   "Importare i dati fiscali detrazione e crediti anche se il conguaglio non è stato "
                                   "effettuato",
                                   false);
    chAccAddCom = check("chAccAddCom", "", false);

    auto radios = [&](QGroupBox *&box, const char *name, QRadioButton *&a, const char *ca, QRadioButton *&b,
                      const char *cb) {
        box = new QGroupBox(tsMeseComp);
        box->setObjectName(s(name));
        auto *l = new QVBoxLayout(box);
        a = new QRadioButton(s(ca), box);
        b = new QRadioButton(s(cb), box);
        auto *g = new QButtonGroup(box);
        g->addButton(a, 0);
        g->addButton(b, 1);
        l->addWidget(a);
        l->addWidget(b);
        b->setChecked(true);
        v->addWidget(box);
    };
    radios(rgAddComAnno, "rgAddComAnno", rbAddComAcconto, "Importa nel punto 26 (Acconto)", rbAddComSaldo,
           "Importa nel punto 27 (Saldo)");
    radios(rgArretrati, "rgArretrati", rbArretrati511, "Importa nel punto 511 (Dati Fiscali)", rbArretrati512,
           "Importa nel punto 512 (Dati Fiscali)");
    rgArretrati->setVisible(false);
    rgArretrati->setEnabled(false);
    radios(gbInpdap, "gbInpdap", rbInpdapUniEmens, "Importa da UniEmens", rbInpdapNoiPa,
           "Importa da liquidazioni inviate a NoiPa - \"Accessori Fuori sistema\"");
    gbInpdap->setTitle(QStringLiteral("INPS Sezione 2 Gestione pubblica (ex INPDAP)"));
    rbInpdapUniEmens->setObjectName(QStringLiteral("rbInpdapUniEmens"));
    rbInpdapNoiPa->setObjectName(QStringLiteral("rbInpdapNoiPa"));
    v->addStretch(1);
    // The two boxes exclude each other.
    connect(chSoloInps, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            chFiscaleNoiPa->setChecked(false);
    });
    connect(chFiscaleNoiPa, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            chSoloInps->setChecked(false);
    });
    addPage(tsMeseComp, QStringLiteral("tsMeseComp"));

    // ---- agent parameters ----
    tsParametri = new QWidget;
    auto *p = new QVBoxLayout(tsParametri);
    p->addWidget(new QLabel(QStringLiteral("Parametri del sostituto d'imposta (procedura compensi)"), tsParametri));
    frRagPacoCud = new TfrRagPacoCud(tsParametri);
    p->addWidget(frRagPacoCud);
    auto *altro = new QFormLayout;
    ceCFAltroSost = new QComboBox(tsParametri);
    ceCFAltroSost->setObjectName(QStringLiteral("ceCFAltroSost"));
    ceCFAltroSost->setEditable(true);
    altro->addRow(QStringLiteral("CODICE FISCALE ALTRO SOSTITUTO"), ceCFAltroSost);
    p->addLayout(altro);
    chRicalcolaCoCoCo = new QCheckBox(QStringLiteral("Ricalcola imponibile IRPEF per Co.Co.Co. (usare solo in caso di "
                                                     "recuperi o modifiche manuali)"),
                                      tsParametri);
    chRicalcolaCoCoCo->setObjectName(QStringLiteral("chRicalcolaCoCoCo"));
    p->addWidget(chRicalcolaCoCoCo);
    p->addStretch(1);
    // Never shown: their values stay empty and unticked.
    ceCFAltroSost->setVisible(false);
    altro->labelForField(ceCFAltroSost)->setVisible(false);
    chRicalcolaCoCoCo->setVisible(false);
    addPage(tsParametri, QStringLiteral("tsParametri"));

    Add(QStringLiteral("1"), QStringLiteral("tsMeseComp;tsParametri"));
    SetActivePath(QStringLiteral("1"));
}

int TfmVelWizImport::annoFinanziario() const
{
    return anno > 0 ? anno : Campagna::AnnoFinanziario;
}

void TfmVelWizImport::showEvent(QShowEvent *event)
{
    TfmragWizard::showEvent(event);
    afterChangePage(currentPage());
}

void TfmVelWizImport::afterChangePage(QWidget *to)
{
    // The path is chosen while the form is built: the pages read their data
    // when they are shown.
    if (!isVisible())
        return;
    if (to == tsMeseComp)
        mostraOpzioni();
    else if (to == tsParametri)
        mostraParametri();
}

void TfmVelWizImport::mostraOpzioni()
{
    const int year = annoFinanziario();
    chAccAddCom->setText(
        QStringLiteral("Importare il  punto 29 (Dati Fiscali )  acconto addizionale comunale %1").arg(year + 1));
    rgAddComAnno->setTitle(QStringLiteral(" Addizionale comunale %1  ").arg(year));
    if (parametri() && parametri()->active())
        chSostituto->setChecked(parametri()->fieldByName(QStringLiteral("SOSTITUTO")).asBoolean());

    if (cbCategorie->count() == 0) {
        TOvSQLQuery q(connection);
        QueryText().SetQuery(QStringLiteral("QRY_CUD_CAL"), q, 0, QStringLiteral("SELECT"));
        q.open();
        for (q.first(); !q.eof(); q.next())
            cbCategorie->addItem(q.fieldByName(QStringLiteral("SCALLDESC")).asString(),
                                 int(q.fieldByName(QStringLiteral("ICALID")).asInteger()));
        cbCategorie->insertItem(0, QStringLiteral("(Predefinite)"), 0);
        cbCategorie->insertItem(PosSoloAutonomi, QStringLiteral("7 - Solo autonomi"), QVariant());
        cbCategorie->setCurrentIndex(0);
    }
    if (cbMesi->count() == 0) {
        TOvSQLQuery q(connection);
        QueryText().SetQuery(QStringLiteral("QRY_MES_COMBO"), q, 0, QStringLiteral("SELECT"));
        q.open();
        for (q.first(); !q.eof(); q.next())
            cbMesi->addItem(q.fieldByName(QStringLiteral("SMESDESC")).asString(),
                            int(q.fieldByName(QStringLiteral("IMESID")).asInteger()));
        const QDate today = oggi.isValid() ? oggi : QDate::currentDate();
        const int month = today.year() == year ? today.month() : 12;
        const int at = cbMesi->findData(month);
        cbMesi->setCurrentIndex(at >= 0 ? at : cbMesi->count() - 1);
    }
}

void TfmVelWizImport::mostraParametri()
{
    if (!frRagPacoCud->xqcMain.active()) {
        int id = idwgid;
        if (id <= 0 && sos() && sos()->active() && sos()->findField(QStringLiteral("IDWGID")).isValid())
            id = int(sos()->fieldByName(QStringLiteral("IDWGID")).asInteger());
        if (id <= 0)
            id = TorUtil::workgroupId();
        frRagPacoCud->apri(id, connection);
    } else if (!frRagPacoCud->xqcMain.modified()) {
        frRagPacoCud->xqcMain.edit();
    }
    frRagPacoCud->edMatrAzienda->setFocus();
}

bool TfmVelWizImport::formCheckOk()
{
    bool ok = TfmragWizard::formCheckOk();
    if (ok && rbInpdapNoiPa->isChecked()) {
        // The frame is read when its page is shown; read it here too when the
        // user finishes from the first page.
        if (!frRagPacoCud->xqcMain.active())
            mostraParametri();
        if (frRagPacoCud->xqcMain.fieldByName(QStringLiteral("SPACOCFMEF")).asString().trimmed().isEmpty()) {
            OvMessageBox(QStringLiteral("Si è scelto di importare la sezione 2 INPS Gestione Pubblica dai compensi "
                                        "inviati ad \"Accessori Fuori sistema\".\r\n\r\nIl c.f. soggetto denuncia è "
                                        "obbligatorio"),
                         MB_OK | MB_ICONERROR);
            ok = false;
        }
    }
    if (ok && chSoloInps->isChecked() && chFiscaleNoiPa->isChecked()) {
        OvMessageBox(QStringLiteral("Non è possibile scegliere contemporaneamente \"Solo INPS\" e \"Importa dati fiscali "
                                    "anche per le liquidazioni inviate a NoiPa\" "),
                     MB_OK | MB_ICONERROR);
        ok = false;
    }
    return ok;
}

void TfmVelWizImport::salvaParametri()
{
    // 1. The agent's parameters.
    frRagPacoCud->salva();
    TClientDataSet *p = parametri();
    if (!p)
        return;
    if (!p->modified())
        p->edit();
    auto set = [&](const char *f, const QVariant &v) { p->fieldByName(QString::fromLatin1(f)).setValue(v); };
    // 2.-3.
    const QVariant cat = cbCategorie->currentData();
    set("ICALID", cat.isValid() ? cat.toInt() : TorPosizioni::CategoriaSoloAutonomi);
    set("IMESID", cbMesi->currentData().toInt());
    set("DAINIZIO", true);
    set("INCLUDI_INPDAP_MEF", rbInpdapNoiPa->isChecked() ? 1 : 0);
    set("FISCALE_NOIPA", chFiscaleNoiPa->isChecked());
    set("SOLOINPS", chSoloInps->isChecked());
    set("ANCHE_SENZA_CONGUAGLIO", chAncheSenzaConguaglio->isChecked());
    set("ACCONTO_ADD_COM", chAccAddCom->isChecked());
    set("SOSTITUTO", chSostituto->isChecked());
    set("ACCONTO_ADD_COM_ANNO", rbAddComAcconto->isChecked());
    set("ARRETRATI_DETR", rbArretrati511->isChecked());
    set("SCODFISALTRISOS", ceCFAltroSost->currentText());
    set("CALC_IRPEF_DA_INPS_COCOCO", false);
    p->post();
}
