#include "platform/core/OvExceptions.h"
#include "platform/framework/Krypto.h"
#include "platform/framework/OvMessages.h"
#include "platform/framework/OvShell.h"
#include "platform/ui/framework/OvDialogResponder.h"
#include "support/ScriptedResponder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

class TstFrameworkMessages : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { setErrorContextProvider({}); }

    void scriptedResponderAnswersQuestionsInOrder();
    void scriptedResponderFailsOnWhatItDidNotExpect();
    void messageBoxFlags_data();
    void messageBoxFlags();
    void messageBoxRejectsUnknownFlags();
    void messageDlgButtonsAndAnswers();
    void defaultResponderShowsAnItalianBox();
    void showExceptionAddsContextOnlyWhereDue_data();
    void showExceptionAddsContextOnlyWhereDue();
    void contextProviderFailureDoesNotHideTheError();
    void guardedStopsExceptions();
    void kryptoIsKeyedDigest();
    void shellPathsAndRealProcesses();
};

void TstFrameworkMessages::scriptedResponderAnswersQuestionsInOrder()
{
    ScriptedResponder user;
    user.answer(IDYES, QStringLiteral("Continuare")).answer(mrNo);

    // 52 = yes/no with the warning icon, the program's usual question.
    QCOMPARE(OvMessageBox(QStringLiteral("I dati saranno sovrascritti. Continuare ?"), 52), IDYES);
    QCOMPARE(OvMessageDlg(QStringLiteral("Salvare?"), mtConfirmation, mbYesNo), int(mrNo));
    // A notice needs no script: it is acknowledged and recorded.
    QCOMPARE(OvMessageBox(QStringLiteral("Fatto."), MB_OK | MB_ICONINFORMATION), IDOK);

    QCOMPARE(user.texts(), QStringList({QStringLiteral("I dati saranno sovrascritti. Continuare ?"),
                                        QStringLiteral("Salvare?"), QStringLiteral("Fatto.")}));
    const OvMessage &q = user.shown().at(0);
    QCOMPARE(q.icon, OvMessageIcon::Warning);
    QCOMPARE(q.buttons, QList<int>({IDYES, IDNO}));
    QCOMPARE(user.shown().at(1).icon, OvMessageIcon::Question);
    QCOMPARE(user.pendingAnswers(), 0);
    QVERIFY(user.failures().isEmpty());
}

void TstFrameworkMessages::scriptedResponderFailsOnWhatItDidNotExpect()
{
    IOvMessageResponder *before = messageResponder();
    QStringList failed;
    {
        ScriptedResponder user;
        user.setFailureHandler([&](const QString &why) { failed << why; });

        // Nothing scripted: the test fails, the code under test hears "No".
        QCOMPARE(OvMessageBox(QStringLiteral("Cancellare tutto?"), MB_YESNO | MB_ICONQUESTION), IDNO);
        QCOMPARE(failed.size(), 1);
        QVERIFY(failed.last().contains(QStringLiteral("Cancellare tutto?")));

        // A question other than the scripted one: failure, answered with Cancel.
        user.answer(IDYES, QStringLiteral("Stampare"));
        QCOMPARE(OvMessageBox(QStringLiteral("Importare?"), MB_YESNOCANCEL), IDCANCEL);
        QCOMPARE(failed.size(), 2);

        // A scripted answer the box does not offer.
        user.answer(IDOK);
        QCOMPARE(OvMessageBox(QStringLiteral("Procedere?"), MB_YESNO), IDNO);
        QCOMPARE(failed.size(), 3);

        // Answers left over fail when the responder goes away.
        user.answer(IDYES, QStringLiteral("mai chiesta"));
    }
    QCOMPARE(failed.size(), 4);
    QVERIFY(failed.last().contains(QStringLiteral("mai chiesta")));
    QCOMPARE(messageResponder(), before);
}

void TstFrameworkMessages::messageBoxFlags_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("escapeButton");
    QTest::newRow("16 error") << 16 << QList<int>{IDOK} << int(OvMessageIcon::Error) << IDOK << IDOK;
    QTest::newRow("52 yes/no warning") << 52 << QList<int>{IDYES, IDNO} << int(OvMessageIcon::Warning) << IDYES << IDNO;
    QTest::newRow("ok/cancel info") << (MB_OKCANCEL | MB_ICONINFORMATION) << QList<int>{IDOK, IDCANCEL}
                                    << int(OvMessageIcon::Information) << IDOK << IDCANCEL;
    QTest::newRow("yes/no/cancel, second default")
        << (MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) << QList<int>{IDYES, IDNO, IDCANCEL}
        << int(OvMessageIcon::Question) << IDNO << IDCANCEL;
    QTest::newRow("abort/retry/ignore") << MB_ABORTRETRYIGNORE << QList<int>{IDABORT, IDRETRY, IDIGNORE}
                                        << int(OvMessageIcon::None) << IDABORT << 0;
}

void TstFrameworkMessages::messageBoxFlags()
{
    QFETCH(int, flags);
    QFETCH(QList<int>, buttons);
    QFETCH(int, icon);
    QFETCH(int, defaultButton);
    QFETCH(int, escapeButton);
    ScriptedResponder user;
    if (buttons.size() > 1)
        user.answer(buttons.last());
    QCOMPARE(OvMessageBox(QStringLiteral("x"), flags), buttons.last());
    const OvMessage &m = user.shown().at(0);
    QCOMPARE(m.buttons, buttons);
    QCOMPARE(int(m.icon), icon);
    QCOMPARE(m.defaultButton, defaultButton);
    QCOMPARE(m.escapeButton, escapeButton);
    QCOMPARE(m.flags, flags);
}

void TstFrameworkMessages::messageBoxRejectsUnknownFlags()
{
    ScriptedResponder user;
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, OvMessageBox(QStringLiteral("x"), 0x07));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, OvMessageBox(QStringLiteral("x"), 0x50));
    QVERIFY(user.shown().isEmpty());
}

void TstFrameworkMessages::messageDlgButtonsAndAnswers()
{
    ScriptedResponder user;
    user.answer(mrCancel).answer(mrYes);
    QCOMPARE(OvMessageDlg(QStringLiteral("a"), mtWarning, mbYesNoCancel), int(mrCancel));
    QCOMPARE(OvMessageDlg(QStringLiteral("b"), mtError, {mbYes, mbNo}), int(mrYes));
    // Only a help button (or none at all) still gives the user an OK.
    QCOMPARE(OvMessageDlg(QStringLiteral("c"), mtInformation, mbHelp), int(mrOk));

    QCOMPARE(user.shown().at(0).buttons, QList<int>({mrYes, mrNo, mrCancel}));
    QCOMPARE(user.shown().at(0).escapeButton, int(mrCancel));
    QCOMPARE(user.shown().at(0).icon, OvMessageIcon::Warning);
    QCOMPARE(user.shown().at(1).icon, OvMessageIcon::Error);
    QCOMPARE(user.shown().at(1).defaultButton, int(mrYes));
    QCOMPARE(user.shown().at(2).buttons, QList<int>({mrOk}));
    // The answers are the Windows ones, whatever function asked.
    QCOMPARE(int(mrYes), IDYES);
    QCOMPARE(int(mrNo), IDNO);
    QCOMPARE(ovButtonText(IDYES), QStringLiteral("Sì"));
    QCOMPARE(ovButtonText(IDCANCEL), QStringLiteral("Annulla"));
}

void TstFrameworkMessages::defaultResponderShowsAnItalianBox()
{
    // Without windows of its own the seam writes to standard error and takes
    // the cautious answer, even with an application on screen.
    QVERIFY(!messageResponder()->showsWindows());
    QCOMPARE(OvMessageBox(QStringLiteral("Cancellare tutto?"), MB_YESNO | MB_ICONQUESTION), IDNO);

    // The windowed program's default (TOvApplication makes it so): the box.
    TOvDialogResponder boxes;
    setDefaultMessageResponder(&boxes);
    const auto restore = qScopeGuard([] { setDefaultMessageResponder(nullptr); });
    QStringList buttons;
    QString shownText;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        shownText = box->text();
        format = box->textFormat();
        for (QAbstractButton *b : box->buttons())
            buttons << b->text();
        for (QAbstractButton *b : box->buttons())
            if (b->text() == QStringLiteral("No"))
                b->click();
    });
    QCOMPARE(OvMessageBox(QStringLiteral("Riga <b>uno</b>\r\nRiga due"), 52), IDNO);
    buttons.sort();
    QCOMPARE(buttons, QStringList({QStringLiteral("No"), QStringLiteral("Sì")}));
    QCOMPARE(shownText, QStringLiteral("Riga <b>uno</b>\nRiga due"));
    QCOMPARE(format, Qt::PlainText);

    // Dismissed with Esc: the cautious answer.
    QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    QCOMPARE(OvMessageDlg(QStringLiteral("Salvare?"), mtConfirmation, mbYesNoCancel), int(mrCancel));
}

namespace {
enum Kind { Warning, Error, Assertion, Database, Plain, Abort };
void throwKind(int kind)
{
    switch (kind) {
    case Warning: throw EOvWarning(QStringLiteral("Attenzione: dato mancante"));
    case Error: throw EOvError(QStringLiteral("Valore errato"));
    case Assertion: throw EAssertionFailed(QStringLiteral("Campo inesistente"));
    case Database: throw EDatabaseError(QStringLiteral("Tabella bloccata"));
    case Plain: throw std::runtime_error("disk full");
    default: throw EAbort();
    }
}
} // namespace

void TstFrameworkMessages::showExceptionAddsContextOnlyWhereDue_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected"); // empty: nothing shown
    QTest::addColumn<int>("icon");
    const QString ctx = QStringLiteral("\r\nUltima operazione DB: QRY_SED");
    QTest::newRow("warning") << int(Warning) << QStringLiteral("Attenzione: dato mancante") << int(OvMessageIcon::Warning);
    QTest::newRow("framework error") << int(Error) << QStringLiteral("Valore errato") << int(OvMessageIcon::Error);
    QTest::newRow("assertion") << int(Assertion) << QStringLiteral("Campo inesistente") << int(OvMessageIcon::Error);
    QTest::newRow("database error") << int(Database) << QStringLiteral("Tabella bloccata") + ctx << int(OvMessageIcon::Error);
    // Not an error of the database work: no statement to name.
    QTest::newRow("other exception") << int(Plain) << QStringLiteral("disk full") << int(OvMessageIcon::Error);
    QTest::newRow("abort is silent") << int(Abort) << QString() << 0;
}

void TstFrameworkMessages::showExceptionAddsContextOnlyWhereDue()
{
    QFETCH(int, kind);
    QFETCH(QString, expected);
    QFETCH(int, icon);
    setErrorContextProvider([] { return QStringLiteral("\r\nUltima operazione DB: QRY_SED"); });
    ScriptedResponder user;
    try {
        throwKind(kind);
    } catch (const std::exception &e) {
        showException(e);
    }
    if (expected.isEmpty()) {
        QVERIFY(user.shown().isEmpty());
        return;
    }
    QCOMPARE(user.shown().size(), 1);
    QCOMPARE(user.lastText(), expected);
    QCOMPARE(int(user.shown().at(0).icon), icon);
    QCOMPARE(user.shown().at(0).buttons, QList<int>({IDOK}));
}

void TstFrameworkMessages::contextProviderFailureDoesNotHideTheError()
{
    setErrorContextProvider([]() -> QString { throw std::runtime_error("no connection"); });
    ScriptedResponder user;
    showException(EDatabaseError(QStringLiteral("Errore di lettura")));
    QCOMPARE(user.texts(), QStringList{QStringLiteral("Errore di lettura")});
}

void TstFrameworkMessages::guardedStopsExceptions()
{
    ScriptedResponder user;
    QVERIFY(ovGuarded([] {}));
    QVERIFY(!ovGuarded([] { throw EOvError(QStringLiteral("Operazione non riuscita")); }));
    QVERIFY(!ovGuarded([] { throw 42; }));
    QCOMPARE(user.texts(), QStringList({QStringLiteral("Operazione non riuscita"), QStringLiteral("Errore imprevisto.")}));
}

void TstFrameworkMessages::kryptoIsKeyedDigest()
{
    // HMAC-SHA256 reference vector (RFC 4231, case 2), upper-case hex.
    QCOMPARE(Krypto(QStringLiteral("what do ya want for nothing?"), QStringLiteral("Jefe"), 32, QLatin1Char('Z'),
                    QLatin1Char('A')),
             QStringLiteral("5BDCC146BF60754E6A042426089575C75A003F089D2739839DEC58B964EC3843"));
    // The historic extra arguments do not change the certificate.
    QCOMPARE(Krypto(QStringLiteral("riga1\r\nriga2"), QStringLiteral("ABCDEFGHIJ")),
             Krypto(QStringLiteral("riga1\r\nriga2"), QStringLiteral("ABCDEFGHIJ"), 16, QLatin1Char('A'), QLatin1Char('Z')));
    // One changed character, or another key, gives another certificate.
    QVERIFY(Krypto(QStringLiteral("riga1\r\nriga2"), QStringLiteral("ABCDEFGHIJ"))
            != Krypto(QStringLiteral("riga1\r\nriga3"), QStringLiteral("ABCDEFGHIJ")));
    QVERIFY(Krypto(QStringLiteral("età"), QStringLiteral("ABCDEFGHIJ"))
            != Krypto(QStringLiteral("eta"), QStringLiteral("ABCDEFGHIJ")));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, Krypto(QStringLiteral("x"), QString()));
}

void TstFrameworkMessages::shellPathsAndRealProcesses()
{
    QCOMPARE(ovJoinPath(QStringLiteral("/opt/velcu/USR\\KZ2025\\Res\\"), QStringLiteral("News.pdf")),
             QStringLiteral("/opt/velcu/USR/KZ2025/Res/News.pdf"));
    QCOMPARE(ovJoinPath(QStringLiteral("/altrove"), QStringLiteral("/opt/velcu/CU_2026_istruz.pdf")),
             QStringLiteral("/opt/velcu/CU_2026_istruz.pdf"));
    QCOMPARE(ovJoinPath(QString(), QStringLiteral("News.pdf")), QStringLiteral("News.pdf"));

    TOvDesktopShell shell;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A missing document is an error naming it, never a silent success.
    try {
        shell.openDocument(dir.filePath(QStringLiteral("manca.pdf")), {}, {}, false);
        QFAIL("no error for a missing document");
    } catch (const EOvError &e) {
        QVERIFY(e.message().contains(QStringLiteral("manca.pdf")));
    }
    QVERIFY_THROWS_EXCEPTION(EOvError, shell.runAndWait(dir.filePath(QStringLiteral("nessuno")), {}, {}));
    QCOMPARE(shell.runAndWait(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 3")}, dir.path()), 3);

    // A program opened with "wait" has finished when the call returns.
    const QString script = dir.filePath(QStringLiteral("aggiorna.sh"));
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nsleep 0.2\necho \"$1\" > fatto.txt\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    shell.openDocument(script, QStringLiteral("velcu_demo"), dir.path(), true);
    QFile done(dir.filePath(QStringLiteral("fatto.txt")));
    QVERIFY(done.open(QIODevice::ReadOnly));
    QCOMPARE(done.readAll().trimmed(), QByteArray("velcu_demo"));

    // A document waited for, with no opener on the PATH, or with an opener
    // that finds no program for it (xdg-open ends with 3): said, naming the file.
    const QString pdf = dir.filePath(QStringLiteral("CU-2026.pdf"));
    QFile doc(pdf);
    QVERIFY(doc.open(QIODevice::WriteOnly));
    doc.write("%PDF-1.4\n");
    doc.close();
    const QString noViewer = QStringLiteral("Nessun programma per aprire i PDF: il file è ") + pdf;
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir bin;
    qputenv("PATH", bin.path().toUtf8());
    QString said;
    try {
        shell.openDocument(pdf, {}, {}, true);
    } catch (const EOvError &e) {
        said = e.message();
    }
    QCOMPARE(said, noViewer);
    QFile opener(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nexit 3\n");
    opener.close();
    opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
    said.clear();
    try {
        shell.openDocument(pdf, {}, {}, true);
    } catch (const EOvError &e) {
        said = e.message();
    }
    qputenv("PATH", path);
    QCOMPARE(said, noViewer);
}

QTEST_MAIN(TstFrameworkMessages)
#include "tst_framework_messages.moc"
