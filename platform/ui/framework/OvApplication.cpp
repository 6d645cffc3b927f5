#include "platform/ui/framework/OvApplication.h"

#include "platform/core/OvItalian.h"

#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"
#include "platform/ui/framework/OvDialogResponder.h"

#include <cstdio>
#include <exception>

namespace {

int g_caught = 0;
bool g_showing = false;

// Shows the error once; an error raised while its box is on screen (a paint
// that fails again) only goes to the console, or the boxes would pile up.
void report(const QString &error, bool silent)
{
    ++g_caught;
    std::fprintf(stderr, "velcu: errore non gestito da una finestra: %s\n", qPrintable(error));
    if (silent || g_showing)
        return;
    g_showing = true;
    try {
        OvMessageBox(TOvApplication::netText(error), MB_OK | MB_ICONERROR);
    } catch (...) {
        // Already on the console.
    }
    g_showing = false;
}

} // namespace

TOvApplication::TOvApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    ovInstallItalian(*this);
    // a message with no responder installed is a box on screen
    static TOvDialogResponder boxes;
    setDefaultMessageResponder(&boxes);
}

QString TOvApplication::netText(const QString &error)
{
    return QStringLiteral("Errore non previsto: ") + error
           + QStringLiteral("\r\nIl programma resta aperto: controllare l'esito dell'ultima operazione.");
}

int TOvApplication::caught()
{
    return g_caught;
}

bool TOvApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        QString text;
        try {
            text = exceptionText(e);
        } catch (...) {
            text = QString::fromUtf8(e.what());
        }
        report(text, dynamic_cast<const EAbort *>(&e) != nullptr);
    } catch (...) {
        report(QStringLiteral("eccezione sconosciuta"), false);
    }
    return false;
}
