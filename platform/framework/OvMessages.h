#pragma once
// Messages and questions to the user. Every box the program shows goes through
// OvMessageBox / OvMessageDlg, which hand it to one replaceable responder. The
// windowed program's default is the one that shows a QMessageBox
// (platform/ui/framework/OvDialogResponder.h, made the default by
// TOvApplication); without windows the default is TOvConsoleResponder; tests
// install a scripted one. Nothing here needs a widget.
#include <QList>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <initializer_list>

class QWidget;

// Message-box flags, same values as the Windows ones.
inline constexpr int MB_OK = 0x00;
inline constexpr int MB_OKCANCEL = 0x01;
inline constexpr int MB_ABORTRETRYIGNORE = 0x02;
inline constexpr int MB_YESNOCANCEL = 0x03;
inline constexpr int MB_YESNO = 0x04;
inline constexpr int MB_RETRYCANCEL = 0x05;
inline constexpr int MB_ICONERROR = 0x10;
inline constexpr int MB_ICONHAND = MB_ICONERROR;
inline constexpr int MB_ICONSTOP = MB_ICONERROR;
inline constexpr int MB_ICONQUESTION = 0x20;
inline constexpr int MB_ICONWARNING = 0x30;
inline constexpr int MB_ICONEXCLAMATION = MB_ICONWARNING;
inline constexpr int MB_ICONINFORMATION = 0x40;
inline constexpr int MB_ICONASTERISK = MB_ICONINFORMATION;
inline constexpr int MB_DEFBUTTON1 = 0x000;
inline constexpr int MB_DEFBUTTON2 = 0x100;
inline constexpr int MB_DEFBUTTON3 = 0x200;

// Answers of OvMessageBox.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Answers of OvMessageDlg (the same numbers for the buttons both know).
inline constexpr int mrNone = 0;
inline constexpr int mrOk = IDOK;
inline constexpr int mrCancel = IDCANCEL;
inline constexpr int mrAbort = IDABORT;
inline constexpr int mrRetry = IDRETRY;
inline constexpr int mrIgnore = IDIGNORE;
inline constexpr int mrYes = IDYES;
inline constexpr int mrNo = IDNO;
inline constexpr int mrAll = 8;
inline constexpr int mrNoToAll = 9;
inline constexpr int mrYesToAll = 10;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };

// A set of dialog buttons: OvMessageDlg(text, mtConfirmation, {mbYes, mbNo}).
class TMsgDlgButtons
{
public:
    constexpr TMsgDlgButtons() = default;
    constexpr TMsgDlgButtons(TMsgDlgBtn b) : m_bits(1u << b) {}
    constexpr TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> list)
    {
        for (TMsgDlgBtn b : list)
            m_bits |= 1u << b;
    }
    constexpr bool contains(TMsgDlgBtn b) const { return m_bits & (1u << b); }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr TMsgDlgButtons operator|(TMsgDlgButtons o) const
    {
        TMsgDlgButtons r;
        r.m_bits = m_bits | o.m_bits;
        return r;
    }

private:
    unsigned m_bits = 0;
};

inline constexpr TMsgDlgButtons mbYesNo{mbYes, mbNo};
inline constexpr TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline constexpr TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline constexpr TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

enum class OvMessageIcon { None, Error, Question, Warning, Information };

// One message as the responder sees it, whichever function asked.
struct OvMessage
{
    enum Origin { Box, Dialog };
    Origin origin = Box;
    QString text;
    QString caption;          // window title
    OvMessageIcon icon = OvMessageIcon::None;
    QList<int> buttons;       // answers offered, in display order (IDOK, IDYES...)
    int defaultButton = 0;    // answer of the default button
    int escapeButton = 0;     // answer given when the box is dismissed (0: cannot be dismissed)
    int flags = 0;            // OvMessageBox: the flags as passed
    TMsgDlgType dlgType = mtCustom; // OvMessageDlg: the type as passed
    int helpContext = 0;

    bool isQuestion() const { return buttons.size() > 1; }
    bool offers(int answer) const { return buttons.contains(answer); }
};

// Answers messages. Exactly one is installed at a time.
class IOvMessageResponder
{
public:
    virtual ~IOvMessageResponder() = default;
    // Returns one of msg.buttons.
    virtual int respond(const OvMessage &msg) = 0;
    // True when the messages are shown in windows on screen (then a list
    // "Informazioni" goes to the program's list window).
    virtual bool showsWindows() const { return false; }
};

// The responder of a process without windows: the message goes to standard
// error and a question gets its cautious answer (Escape's, else the default).
class TOvConsoleResponder : public IOvMessageResponder
{
public:
    int respond(const OvMessage &msg) override;
};

// Installs a responder (nullptr restores the default one); returns the previous
// one. The caller keeps ownership.
IOvMessageResponder *setMessageResponder(IOvMessageResponder *responder);
IOvMessageResponder *messageResponder();
// The default responder, used while none is installed (nullptr: the console
// one). The windowed program makes the dialog responder the default.
void setDefaultMessageResponder(IOvMessageResponder *responder);

int OvMessageBox(const QString &text, int flags = MB_OK, int help = 0);
int OvMessageDlg(const QString &text, TMsgDlgType type, TMsgDlgButtons buttons, int help = 0);

// A list of lines shown read-only under "Informazioni", optionally followed by
// the question "Si desidera proseguire?". Engines (import, supply) report
// through here and never name a window: with the default responder the
// program's list window shows them (installed with setInfoListWindow, a plain
// message box until then); any other responder receives them as one message.
// Returns mrYes / mrNo with the question, mrOk without it.
using OvInfoListWindow = std::function<int(const QStringList &lines, bool question, QWidget *parent)>;
void setInfoListWindow(OvInfoListWindow window);
int OvInfoList(const QStringList &lines, bool question = false, QWidget *parent = nullptr);
QString ovInfoListCaption();
QString ovInfoListQuestion();

// Italian caption of an answer button ("Sì", "No", "OK", "Annulla"...).
QString ovButtonText(int answer);

// Extra text appended to the errors shown by showException (for example CR LF and
// the last database operation). An empty function removes it.
using OvErrorContextProvider = std::function<QString()>;
void setErrorContextProvider(OvErrorContextProvider provider);

// Shows an exception to the user: EOvWarning as a warning box, anything else as
// an error box; EAbort shows nothing. The error context is appended except for
// EOvWarning, EOvError and EAssertionFailed.
void showException(const std::exception &e);
// Text that showException would show (without the box).
QString exceptionText(const std::exception &e);

// Runs fn; an exception is shown through showException instead of leaving the
// caller (event handlers must not let exceptions into the event loop).
// Returns true when fn ended normally.
bool ovGuarded(const std::function<void()> &fn);
