// The command table, the main window's menus and the year dialog, without a
// database.
#include "support/ScriptedResponder.h"

#include "platform/ui/framework/OvFormRegistry.h"
#include "platform/ui/framework/TOvOutlineBar.h"
#include "platform/ui/framework/TfmOvChildDoc.h"
#include "platform/ui/framework/TfmOvDialog.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "src/prj/unit/shell/TfmVelMain.h"
#include "src/prj/unit/shell/TfmVelParametri.h"
#include "src/prj/unit/shell/VelStartup.h"
#include "tor/query/torCQueryText.h"

#include "platform/core/OvExceptions.h"

#include <QAction>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// Stand-in of the CU print dialog: notes the flag it was opened with.
QList<bool> g_printFlags;
TdmVelAttivazioni *g_table = nullptr;

class PrintStandIn : public TfmOvDialog
{
public:
    explicit PrintStandIn(QWidget *parent = nullptr) : TfmOvDialog(parent) { g_printFlags << g_table->cuOrdinario(); }

protected:
    void formShow() override { QTimer::singleShot(0, this, &QDialog::accept); }
};

QStringList texts(const QList<QAction *> &actions, bool enabledMark = false)
{
    QStringList list;
    for (QAction *a : actions)
        if (!a->isSeparator())
            list << (enabledMark && !a->isEnabled() ? QStringLiteral("(") + a->text() + QStringLiteral(")") : a->text());
    return list;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QStringList yearsIn(const QString &path)
{
    TClientDataSet ds;
    ds.loadFromFile(path);
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(QStringLiteral("SCUAANNOFIN")).asString();
    return out;
}

} // namespace

class TstShell : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_res;
    std::unique_ptr<TdmRagParams> m_params;
    std::unique_ptr<TdmVelAttivazioni> m_table;
    std::unique_ptr<TfmVelMain> m_main;

private slots:
    void initTestCase()
    {
        qputenv("VELCU_STAGE_DIR", m_root.path().toUtf8());
        m_res = m_root.path() + QStringLiteral("/USR/KZ2025/Res/");
        QVERIFY(QDir().mkpath(m_res));
        QVERIFY(QDir().mkpath(m_root.path() + QStringLiteral("/USR/KZ2025/Stp")));
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));

        TVelStartup::registerForms({[this] { return m_main ? m_main->fiscalStore() : nullptr; }});
        registerFormClass<PrintStandIn>(QStringLiteral("TfmVelPdf"));
        m_params = std::make_unique<TdmRagParams>();
        m_table = std::make_unique<TdmVelAttivazioni>(nullptr, m_params.get());
        g_table = m_table.get();
        m_main.reset(ovCreate<TfmVelMain>(m_table.get()));
        m_table->SetMainForm(m_main.get());
        m_table->SetContainer(m_main->leftPanel(113));
        m_table->SetDocumentFolders(m_main->mainFolder());
        m_table->BuildMenu();
    }

    void cleanupTestCase()
    {
        m_main.reset();
        m_table.reset();
        m_params.reset();
    }

    void menusShowThePagesInOrderWithLaterWindowsDisabled()
    {
        QCOMPARE(m_main->windowTitle(), QStringLiteral("CU 2026"));
        QCOMPARE(texts(m_main->menuBar()->actions()),
                 (QStringList{"&File", "&Operazioni", "&Stampe", "File &telematico", "St&rumenti", "Fi&nestre", "&?"}));
        QStringList menus;
        for (QMenu *m : m_table->menus())
            menus << m->title() + QStringLiteral(": ") + texts(m->actions(), true).join(QStringLiteral(", "));
        // Hidden commands stay out; windows not in this build are disabled;
        // the print dialog stand-in and "Parametri" are there.
        QCOMPARE(menus, (QStringList{
                            "&Operazioni: Import, Dati CU, Fornitore, Dati Sostituto, Quadro CT, Rapporto ultima importazione",
                            "&Stampe: Stampa CU Sintetico, Stampa CU Ordinario, Stampa Frontespizio, "
                            "Stampa Quadro CT, Firma ricevute",
                            "File &telematico: File Telematico",
                            "St&rumenti: Parametri",
                        }));
        QVERIFY(m_table->xaFQuadroCT->action()->isEnabled());

        TOvOutlineBar *bar = m_table->outlineBar();
        QVERIFY(bar);
        QCOMPARE(bar->parentWidget(), m_main->leftPanel());
        QCOMPARE(bar->pageCount(), 4);
        QCOMPARE(bar->currentPage(), 0);
        QCOMPARE(bar->buttons(0).size(), 6);
        QVERIFY(!bar->buttons(0).first()->icon().isNull());   // "Import" has its image
        QVERIFY(!bar->pageHeader(0)->icon().isNull());
        QVERIFY(bar->pageHeader(3)->icon().isNull());         // "Strumenti" has none
        QCOMPARE(m_table->images.count(), 7);
    }

    void helpMenuOpensTheDocumentsOfThisEdition()
    {
        QCOMPARE(texts(m_main->mnHelp->actions()),
                 (QStringList{"Notizie sull'aggiornamento", "Note invio telematico", "Istruzioni CU 2026",
                              "Provvedimento approvazione", "&Informazioni su..."}));
        QCOMPARE(m_main->acIstruzioni->text(), QStringLiteral("2026 Istruzioni CUD"));

        writeFile(m_res + QStringLiteral("Check.txt"), "1");
        writeFile(m_res + QStringLiteral("news.PDF"), "%PDF");   // found whatever its case
        RecordingShell shell;
        ScriptedResponder user;
        m_main->acAid->trigger();
        m_main->acNoteTel->trigger();
        m_main->miIstruzioni->trigger();
        m_main->acProvAppr->trigger();
        QStringList opened;
        for (const RecordingShell::Document &d : shell.documents)
            opened << QDir(m_root.path()).relativeFilePath(d.filePath);
        QCOMPARE(opened, (QStringList{"USR/KZ2025/Res/news.PDF", "USR/KZ2025/Res/invio_telematico.pdf",
                                      "USR/KZ2025/Res/CU_2026_istruz.pdf", "USR/KZ2025/Res/Provvedimento.pdf"}));
        QVERIFY(user.shown().isEmpty());
        // The notes were opened: their marker is gone.
        QVERIFY(!QFile::exists(m_res + QStringLiteral("Check.txt")));
        QCOMPARE(m_table->xasInformativa->Directory, m_main->mainFolder() + QStringLiteral("USR/KZ2025/Stp/"));
    }

    void notesThatCannotOpenKeepTheirMarker()
    {
        writeFile(m_res + QStringLiteral("Check.txt"), "1");
        RecordingShell shell;
        shell.onOpen = [](const RecordingShell::Document &) { throw EOvError(QStringLiteral("Impossibile aprire")); };
        ScriptedResponder user;
        m_main->acAid->trigger();
        QCOMPARE(user.texts(), QStringList{QStringLiteral("Impossibile aprire")});
        QVERIFY(QFile::exists(m_res + QStringLiteral("Check.txt")));
        QVERIFY(QFile::remove(m_res + QStringLiteral("Check.txt")));
    }

    void bothCuPrintsOpenTheSameDialogWithTheirFlag()
    {
        g_printFlags.clear();
        QList<bool> forwarded;
        m_table->onCuOrdinario = [&](bool on) { forwarded << on; };
        ScriptedResponder user;
        QCOMPARE(m_table->xafStampa->ClasseForm, m_table->xafStpCuOrd->ClasseForm);
        QVERIFY(m_table->xafStampa->ModalForm && m_table->xafStpCuOrd->ModalForm);
        QVERIFY(m_table->Execute(QStringLiteral("xafStpCuOrd")));
        QVERIFY(m_table->Execute(QStringLiteral("xafStampa")));
        QVERIFY(m_table->Execute(QStringLiteral("xafStpCuOrd")));
        QCOMPARE(g_printFlags, (QList<bool>{true, false, true}));
        QCOMPARE(forwarded, g_printFlags);
        QVERIFY(user.shown().isEmpty());
        m_table->onCuOrdinario = nullptr;
    }

    void importsRefusedWhileAChildWindowIsOpen()
    {
        auto *child = new TfmOvChildDoc;
        m_main->addChild(child);
        QCOMPARE(m_main->mdiChildCount(), 1);
        bool wizardRan = false;
        m_table->RunImportWizard = [&](TClientDataSet &, TOvQueryCollection &) { return wizardRan = true; };
        {
            ScriptedResponder user;   // an unforeseen question would fail the test
            for (const char *name : {"xacImport", "xacIntegraDMA", "xacIntegraINPS"})
                QVERIFY(!m_table->Execute(QLatin1String(name)));
            QCOMPARE(user.texts(), QStringList(3, TdmVelAttivazioni::refusalWithChildren()));
            for (const OvMessage &m : user.shown())
                QCOMPARE(m.icon, OvMessageIcon::Error);
        }
        QVERIFY(!wizardRan);
        QVERIFY(!m_table->cdsParametri.active());
        QVERIFY(m_main->closeAllChildren());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Without children the hidden commands ask first; "No" runs nothing.
        {
            ScriptedResponder user;
            user.answer(IDNO).answer(IDNO);
            QVERIFY(m_table->Execute(QStringLiteral("xacIntegraDMA")));
            QVERIFY(m_table->Execute(QStringLiteral("xacIntegraINPS")));
            QCOMPARE(user.texts(), (QStringList{TdmVelAttivazioni::questionIntegraDMA(),
                                                TdmVelAttivazioni::questionIntegraINPS()}));
            QCOMPARE(user.shown().first().flags, 52);
        }
        QVERIFY(!wizardRan);
        m_table->RunImportWizard = nullptr;
    }

    void yearDialogFromAnUnreadableFile()
    {
        const QString file = m_res + QStringLiteral("TCUA_ANNOFIN.cds");
        writeFile(file, "{ non è un dataset");
        ScriptedResponder user;
        TfmVelParametri dialog;
        dialog.show();
        QTRY_COMPARE(user.shown().size(), 1);
        QCOMPARE(user.shown().first().icon, OvMessageIcon::Warning);
        QVERIFY2(user.lastText().contains(QStringLiteral("non leggibile")), qPrintable(user.lastText()));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Parametri"));
        QCOMPARE(dialog.edAnnoFin->text(), QStringLiteral("2025"));
        QVERIFY(dialog.deDataModello->isHidden());
        QCOMPARE(dialog.deDataModello->date(), QDate::currentDate());

        // A valid year replaces the unreadable file.
        dialog.edAnnoFin->setText(QStringLiteral("2026"));
        QVERIFY(dialog.clickOk());
        QCOMPARE(yearsIn(file), QStringList{QStringLiteral("2026")});
        QVERIFY(!dialog.cdsAnnoFin.active());
        QCOMPARE(user.shown().size(), 1);
    }
};

QTEST_MAIN(TstShell)
#include "tst_shell.moc"
