#include "platform/framework/OvMessages.h"

#include "platform/core/OvExceptions.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

TOvConsoleResponder g_consoleResponder;
IOvMessageResponder *g_defaultResponder = &g_consoleResponder;
IOvMessageResponder *g_responder = nullptr;
OvErrorContextProvider g_contextProvider;

QString applicationCaption()
{
    QString t = QGuiApplication::applicationDisplayName();
    return t.isEmpty() ? QCoreApplication::applicationName() : t;
}

int defaultOf(const QList<int> &buttons, int defIndex)
{
    if (buttons.isEmpty())
        return 0;
    return buttons.at(qBound(0, defIndex, int(buttons.size()) - 1));
}

// The answer given when the user just dismisses the box: cancel, else no, else
// the only button.
int escapeOf(const QList<int> &buttons)
{
    if (buttons.contains(IDCANCEL))
        return IDCANCEL;
    if (buttons.contains(IDNO))
        return IDNO;
    if (buttons.size() == 1)
        return buttons.first();
    return 0;
}

int dispatch(const OvMessage &msg)
{
    const int answer = messageResponder()->respond(msg);
    if (!msg.offers(answer))
        throw EAssertionFailed(QStringLiteral("Risposta %1 non prevista per il messaggio \"%2\".")
                                   .arg(answer)
                                   .arg(msg.text));
    return answer;
}

} // namespace

IOvMessageResponder *setMessageResponder(IOvMessageResponder *responder)
{
    IOvMessageResponder *previous = messageResponder();
    // Putting back the default (a previous one that was the default) installs
    // none: the default stays the one that setDefaultMessageResponder names.
    g_responder = responder == g_defaultResponder ? nullptr : responder;
    return previous;
}

IOvMessageResponder *messageResponder()
{
    return g_responder ? g_responder : g_defaultResponder;
}

void setDefaultMessageResponder(IOvMessageResponder *responder)
{
    g_defaultResponder = responder ? responder : &g_consoleResponder;
}

QString ovButtonText(int answer)
{
    switch (answer) {
    case IDOK: return QStringLiteral("OK");
    case IDCANCEL: return QStringLiteral("Annulla");
    case IDABORT: return QStringLiteral("Interrompi");
    case IDRETRY: return QStringLiteral("Riprova");
    case IDIGNORE: return QStringLiteral("Ignora");
    case IDYES: return QStringLiteral("Sì");
    case IDNO: return QStringLiteral("No");
    case mrAll: return QStringLiteral("Tutti");
    case mrNoToAll: return QStringLiteral("No a tutti");
    case mrYesToAll: return QStringLiteral("Sì a tutti");
    default: return QString::number(answer);
    }
}

int OvMessageBox(const QString &text, int flags, int help)
{
    OvMessage msg;
    msg.origin = OvMessage::Box;
    msg.text = text;
    msg.caption = applicationCaption();
    msg.flags = flags;
    msg.helpContext = help;
    switch (flags & 0x0F) {
    case MB_OK: msg.buttons = {IDOK}; break;
    case MB_OKCANCEL: msg.buttons = {IDOK, IDCANCEL}; break;
    case MB_ABORTRETRYIGNORE: msg.buttons = {IDABORT, IDRETRY, IDIGNORE}; break;
    case MB_YESNOCANCEL: msg.buttons = {IDYES, IDNO, IDCANCEL}; break;
    case MB_YESNO: msg.buttons = {IDYES, IDNO}; break;
    case MB_RETRYCANCEL: msg.buttons = {IDRETRY, IDCANCEL}; break;
    default:
        throw EAssertionFailed(QStringLiteral("OvMessageBox: pulsanti %1 non previsti (messaggio \"%2\").")
                                   .arg(flags & 0x0F)
                                   .arg(text));
    }
    switch (flags & 0xF0) {
    case 0: msg.icon = OvMessageIcon::None; break;
    case MB_ICONERROR: msg.icon = OvMessageIcon::Error; break;
    case MB_ICONQUESTION: msg.icon = OvMessageIcon::Question; break;
    case MB_ICONWARNING: msg.icon = OvMessageIcon::Warning; break;
    case MB_ICONINFORMATION: msg.icon = OvMessageIcon::Information; break;
    default:
        throw EAssertionFailed(QStringLiteral("OvMessageBox: icona %1 non prevista (messaggio \"%2\").")
                                   .arg(flags & 0xF0)
                                   .arg(text));
    }
    msg.defaultButton = defaultOf(msg.buttons, (flags & 0xF00) >> 8);
    msg.escapeButton = escapeOf(msg.buttons);
    return dispatch(msg);
}

int OvMessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int help)
{
    OvMessage msg;
    msg.origin = OvMessage::Dialog;
    msg.text = text;
    msg.dlgType = type;
    msg.helpContext = help;
    switch (type) {
    case mtWarning:
        msg.icon = OvMessageIcon::Warning;
        msg.caption = QStringLiteral("Attenzione");
        break;
    case mtError:
        msg.icon = OvMessageIcon::Error;
        msg.caption = QStringLiteral("Errore");
        break;
    case mtInformation:
        msg.icon = OvMessageIcon::Information;
        msg.caption = QStringLiteral("Informazione");
        break;
    case mtConfirmation:
        msg.icon = OvMessageIcon::Question;
        msg.caption = QStringLiteral("Conferma");
        break;
    case mtCustom:
        msg.icon = OvMessageIcon::None;
        msg.caption = applicationCaption();
        break;
    }
    struct Map { TMsgDlgBtn btn; int answer; };
    static const Map order[] = {
        {mbYes, mrYes}, {mbNo, mrNo}, {mbOK, mrOk}, {mbCancel, mrCancel}, {mbAbort, mrAbort},
        {mbRetry, mrRetry}, {mbIgnore, mrIgnore}, {mbAll, mrAll}, {mbNoToAll, mrNoToAll},
        {mbYesToAll, mrYesToAll},
    };
    for (const Map &m : order)
        if (buttons.contains(m.btn))
            msg.buttons << m.answer;
    if (msg.buttons.isEmpty()) // only a help button, or none at all
        msg.buttons << mrOk;
    if (msg.offers(mrOk))
        msg.defaultButton = mrOk;
    else if (msg.offers(mrYes))
        msg.defaultButton = mrYes;
    else
        msg.defaultButton = msg.buttons.first();
    msg.escapeButton = escapeOf(msg.buttons);
    return dispatch(msg);
}

int TOvConsoleResponder::respond(const OvMessage &msg)
{
    QString text = msg.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const int answer = msg.escapeButton ? msg.escapeButton : msg.defaultButton;
    std::fprintf(stderr, "%s: %s\n", qPrintable(msg.caption), qPrintable(text));
    if (msg.isQuestion())
        std::fprintf(stderr, "  -> %s\n", qPrintable(ovButtonText(answer)));
    return answer;
}

void setErrorContextProvider(OvErrorContextProvider provider)
{
    g_contextProvider = std::move(provider);
}

QString exceptionText(const std::exception &e)
{
    const auto *ov = dynamic_cast<const EOvException *>(&e);
    QString text = ov ? ov->message() : QString::fromUtf8(e.what());
    // Only an error of the database work is about the last statement: a file,
    // a PDF or memory error would be pinned on a query it has nothing to do with.
    // A lost server is about no statement in particular.
    const bool aboutData = dynamic_cast<const EDatabaseError *>(&e) != nullptr
                           && dynamic_cast<const EOvConnectionLost *>(&e) == nullptr;
    if (aboutData && g_contextProvider) {
        try {
            text += g_contextProvider();
        } catch (...) {
            // The context is a courtesy: never let it hide the error itself.
        }
    }
    return text;
}

void showException(const std::exception &e)
{
    if (dynamic_cast<const EAbort *>(&e))
        return;
    const int icon = dynamic_cast<const EOvWarning *>(&e) ? MB_ICONWARNING : MB_ICONERROR;
    OvMessageBox(exceptionText(e), MB_OK | icon);
}

bool ovGuarded(const std::function<void()> &fn)
{
    QString error;
    bool plain = false;
    try {
        fn();
        return true;
    } catch (const std::exception &e) {
        try {
            showException(e);
            return false;
        } catch (...) {
            error = QString::fromUtf8(e.what());
        }
    } catch (...) {
        plain = true;
    }
    // Not even the message could be shown: say it where it can still be read
    // rather than let an exception into the event loop.
    try {
        if (plain) {
            OvMessageBox(QStringLiteral("Errore imprevisto."), MB_OK | MB_ICONERROR);
            return false;
        }
    } catch (...) {
        error = QStringLiteral("Errore imprevisto.");
    }
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
}

namespace {
OvInfoListWindow g_infoListWindow;
}

void setInfoListWindow(OvInfoListWindow window)
{
    g_infoListWindow = std::move(window);
}

QString ovInfoListCaption()
{
    return QStringLiteral("Informazioni");
}

QString ovInfoListQuestion()
{
    return QStringLiteral("Si desidera proseguire?");
}

int OvInfoList(const QStringList &lines, bool question, QWidget *parent)
{
    const bool shown = messageResponder()->showsWindows();
    if (shown && g_infoListWindow)
        return g_infoListWindow(lines, question, parent);
    OvMessage msg;
    msg.origin = OvMessage::Dialog;
    msg.text = lines.join(QStringLiteral("\r\n"));
    msg.caption = ovInfoListCaption();
    msg.icon = question ? OvMessageIcon::Question : OvMessageIcon::Information;
    msg.buttons = question ? QList<int>{mrYes, mrNo} : QList<int>{mrOk};
    msg.defaultButton = question ? mrNo : mrOk;
    msg.escapeButton = question ? mrNo : mrOk;
    if (question)
        msg.text += QStringLiteral("\r\n") + ovInfoListQuestion();
    return messageResponder()->respond(msg);
}
