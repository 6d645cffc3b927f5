#include "src/prj/unit/dialogs/TfmVelInfo.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/framework/OvMessages.h"
#include "platform/framework/OvShell.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTextOption>
#include <QVBoxLayout>

TfmVelInfo::TfmVelInfo(QWidget *parent) : TfmOvDialog(parent)
{
    setObjectName(QStringLiteral("fmVelInfo"));
    setWindowTitle(caption());
    resize(640, 420);
    auto *layout = new QVBoxLayout(this);
    meInfo = new QPlainTextEdit(this);
    meInfo->setObjectName(QStringLiteral("meInfo"));
    meInfo->setReadOnly(true);
    // Long lines (a payee's reason and what to correct) wrap at the window's
    // width: nothing to scroll sideways to read.
    meInfo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    meInfo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    meInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    meInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(meInfo);
    auto *buttons = new QHBoxLayout;
    buBloccoNote = new QPushButton(QStringLiteral("Blocco note"), this);
    buBloccoNote->setObjectName(QStringLiteral("buBloccoNote"));
    lbDomanda = new QLabel(domanda(), this);
    lbDomanda->setObjectName(QStringLiteral("lbDomanda"));
    buSi = new QPushButton(QStringLiteral("Si"), this);
    buSi->setObjectName(QStringLiteral("buSi"));
    buOk = new QPushButton(QStringLiteral("OK"), this);
    buOk->setObjectName(QStringLiteral("buOk"));
    buttons->addWidget(buBloccoNote);
    buttons->addStretch(1);
    buttons->addWidget(lbDomanda);
    buttons->addWidget(buSi);
    buttons->addWidget(buOk);
    layout->addLayout(buttons);
    connect(buSi, &QPushButton::clicked, this, [this] { done(mrYes); });
    connect(buOk, &QPushButton::clicked, this, [this] { done(m_question ? mrNo : mrOk); });
    connect(buBloccoNote, &QPushButton::clicked, this, [this] { ovGuarded([this] { bloccoNote(); }); });
    setLines({}, false);
}

void TfmVelInfo::setLines(const QStringList &lines, bool question)
{
    m_lines = lines;
    m_question = question;
    meInfo->setPlainText(lines.join(QLatin1Char('\n')));
    lbDomanda->setVisible(question);
    buSi->setVisible(question);
    buOk->setText(question ? QStringLiteral("No") : QStringLiteral("OK"));
    buOk->setDefault(true);
}

QString TfmVelInfo::bloccoNote()
{
    // A new name in the temporary folder; the content goes through the
    // program's one checked way of writing files.
    QString path;
    {
        QTemporaryFile name(QDir::tempPath() + QStringLiteral("/velcu_info_XXXXXX.txt"));
        name.setAutoRemove(false);
        if (!name.open())
            throw EOvError(QStringLiteral("Impossibile creare un file temporaneo in %1.").arg(QDir::tempPath()));
        path = name.fileName();
    }
    TOvSafeFile::writeFile(path, m_lines.join(QStringLiteral("\r\n")).toUtf8());
    ovShell()->openDocument(path, QString(), QFileInfo(path).absolutePath(), false);
    return path;
}

int TfmVelInfo::Execute(const QStringList &lines, bool question, QWidget *parent)
{
    if (!messageResponder()->showsWindows())
        return OvInfoList(lines, question, parent);
    TfmVelInfo dlg(parent);
    dlg.setLines(lines, question);
    const int r = dlg.ShowModal();
    if (question)
        return r == mrYes ? mrYes : mrNo;
    return mrOk;
}
