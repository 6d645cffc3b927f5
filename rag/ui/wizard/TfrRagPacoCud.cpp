#include "TfrRagPacoCud.h"

#include "tor/query/torCQueryText.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

TfrRagPacoBase::TfrRagPacoBase(QWidget *parent) : QWidget(parent)
{
    xqcMain.setObjectName(QStringLiteral("xqcMain"));
}

void TfrRagPacoBase::apri(int idwgid, TOvSQLConnection *connection)
{
    m_idwgid = idwgid;
    xqcMain.close();
    xqcMain.setConnection(connection);
    QueryText().SetCollection(QStringLiteral("QRY_PACO"), xqcMain);
    xqcMain.paramByName(QStringLiteral("IDWGID")).setAsInteger(idwgid);
    xqcMain.open();
    if (xqcMain.isEmpty()) {
        xqcMain.append();
        xqcMain.fieldByName(QStringLiteral("IDWGANFID")).setAsInteger(idwgid);
    }
    if (!xqcMain.modified())
        xqcMain.edit();
    leggi();
}

void TfrRagPacoBase::salva()
{
    if (!xqcMain.active())
        return;
    if (xqcMain.modified())
        xqcMain.post();
    xqcMain.applyUpdates();
}

TfrRagPacoCud::TfrRagPacoCud(QWidget *parent) : TfrRagPacoBase(parent)
{
    setObjectName(QStringLiteral("frRagPacoCud"));
    auto *form = new QFormLayout(this);
    auto label = [this](const char *a, const char *b) {
        return new QLabel(QString::fromUtf8(a) + (b ? QStringLiteral("\n") + QString::fromUtf8(b) : QString()), this);
    };
    edMatrAzienda = new QLineEdit(this);
    edMatrAzAcc = new QLineEdit(this);
    edCfInps = new QLineEdit(this);
    chCudInpdap = new QCheckBox(QStringLiteral("Non importare sezioni INPDAP (Istituti non statali)"), this);
    chCudInpdap->setEnabled(false);
    edCfMef = new QLineEdit(this);
    edMatrAzienda->setObjectName(QStringLiteral("edMatrAzienda"));
    edMatrAzAcc->setObjectName(QStringLiteral("edMatrAzAcc"));
    edCfInps->setObjectName(QStringLiteral("edCfInps"));
    chCudInpdap->setObjectName(QStringLiteral("chCudInpdap"));
    edCfMef->setObjectName(QStringLiteral("edCfMef"));
    edCfInps->setMaxLength(16);
    edCfMef->setMaxLength(16);
    form->addRow(label("Matricola azienda", nullptr), edMatrAzienda);
    form->addRow(label("Matricola compensi acc.", "(se diversa)"), edMatrAzAcc);
    form->addRow(label("Codice fiscale INPS", "(autonomi)"), edCfInps);
    form->addRow(QString(), chCudInpdap);
    form->addRow(label("C.f. soggetto denuncia", "(campo 37 INPS Enti pubblici)"), edCfMef);
    bind(edMatrAzienda, "SPACOMATRAZIENDA");
    bind(edMatrAzAcc, "SPACOMATRAZACC");
    bind(edCfInps, "SPACOCFINPS");
    bind(edCfMef, "SPACOCFMEF");
}

void TfrRagPacoCud::bind(QLineEdit *edit, const char *field)
{
    const QString name = QString::fromLatin1(field);
    connect(edit, &QLineEdit::textChanged, this, [this, name](const QString &text) {
        if (m_reading || !xqcMain.active())
            return;
        if (!xqcMain.modified())
            xqcMain.edit();
        xqcMain.fieldByName(name).setAsString(text.trimmed());
    });
}

void TfrRagPacoCud::leggi()
{
    m_reading = true;
    edMatrAzienda->setText(xqcMain.fieldByName(QStringLiteral("SPACOMATRAZIENDA")).asString());
    edMatrAzAcc->setText(xqcMain.fieldByName(QStringLiteral("SPACOMATRAZACC")).asString());
    edCfInps->setText(xqcMain.fieldByName(QStringLiteral("SPACOCFINPS")).asString());
    chCudInpdap->setChecked(xqcMain.fieldByName(QStringLiteral("LPACOCUDINPDAP")).asInteger() == 1);
    edCfMef->setText(xqcMain.fieldByName(QStringLiteral("SPACOCFMEF")).asString());
    m_reading = false;
}
