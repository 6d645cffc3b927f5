// The documents the Help menu opens are delivered in the resource folder,
// where its commands look for them, and say what their titles promise.
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

QString text(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput()).simplified();
}

} // namespace

class TstHelpDocuments : public QObject
{
    Q_OBJECT
private slots:
    void helpDocumentsAreDeliveredWithTheirText_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("phrases");
        QTest::newRow("News") << QStringLiteral("News.pdf")
                              << QStringList{"Notizie sull'aggiornamento", "Certificazione Unica 2026",
                                             "periodo d'imposta 2025", "Firma ricevute", "USR\\KZ2025\\Stp"};
        QTest::newRow("invio") << QStringLiteral("invio_telematico.pdf")
                               << QStringList{"Istruzioni per l'invio telematico", "Crea File telematico", "CUR26",
                                              "USR\\KZ2025\\DichCU", "Entratel", "ricevuta",
                                              "Correggere un CU già inviato", "su Prenotazione",
                                              "velcu-cli fornitura --prenotati"};
        QTest::newRow("Provvedimento") << QStringLiteral("Provvedimento.pdf")
                                       << QStringList{"Provvedimento di approvazione", "15 gennaio 2026",
                                                      "www.agenziaentrate.gov.it", "Agenzia delle Entrate"};
    }

    void helpDocumentsAreDeliveredWithTheirText()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, phrases);
        // the folder of the Help commands: main folder + USR/KZ2025/Res/
        const QString path = QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/") + file;
        QVERIFY2(QFile::exists(path), qPrintable(path));
        const QString t = text(path);
        for (const QString &phrase : phrases)
            QVERIFY2(t.contains(phrase), qPrintable(file + QStringLiteral(": ") + phrase));
        QVERIFY(!t.contains(QLatin1Char('{')));   // no placeholder left
    }
};

QTEST_MAIN(TstHelpDocuments)
#include "tst_help_documents.moc"
