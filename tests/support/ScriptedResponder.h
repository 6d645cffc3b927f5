#pragma once
// Test stand-ins for the user and for the desktop shell.
//
// ScriptedResponder answers the program's questions from a queue and records
// every message shown. A question (a box with more than one button) that the
// script did not foresee fails the running test, naming the question; it is
// then answered with its dismiss button (Cancel/No) so the code under test
// goes on quietly. Plain notices (one button) are acknowledged by themselves
// and only recorded: check them through shown() / texts().
//
// RecordingShell records the documents and programs the code asks to open.
#include "platform/framework/OvMessages.h"
#include "platform/framework/OvShell.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

class ScriptedResponder : public IOvMessageResponder
{
public:
    ScriptedResponder();            // installs itself
    ~ScriptedResponder() override;  // restores the previous responder; unused answers fail the test

    // Answer for the next question; with textPart the question must contain it.
    ScriptedResponder &answer(int answer, const QString &textPart = {});

    int respond(const OvMessage &msg) override;

    const QList<OvMessage> &shown() const { return m_shown; }
    QStringList texts() const;
    QString lastText() const { return m_shown.isEmpty() ? QString() : m_shown.last().text; }
    int pendingAnswers() const { return int(m_queue.size()); }
    QStringList failures() const { return m_failures; }
    void clear();

    // What a failure does (default: QTest::qFail on the running test).
    void setFailureHandler(std::function<void(const QString &)> handler) { m_onFailure = std::move(handler); }

private:
    struct Scripted
    {
        int answer;
        QString textPart;
    };
    void fail(const QString &why);

    IOvMessageResponder *m_previous = nullptr;
    QQueue<Scripted> m_queue;
    QList<OvMessage> m_shown;
    QStringList m_failures;
    std::function<void(const QString &)> m_onFailure;
};

class RecordingShell : public IOvShell
{
public:
    struct Document
    {
        QString filePath;
        QString params;
        QString directory;
        bool waitEnd = false;
    };
    struct Run
    {
        QString program;
        QStringList arguments;
        QString workingDirectory;
    };

    RecordingShell();            // installs itself
    ~RecordingShell() override;  // restores the previous shell

    void openDocument(const QString &filePath, const QString &params, const QString &directory,
                      bool waitEnd) override;
    int runAndWait(const QString &program, const QStringList &arguments,
                   const QString &workingDirectory) override;

    QList<Document> documents;
    QList<Run> runs;
    int exitCode = 0;                                   // answered by runAndWait
    std::function<void(const Document &)> onOpen;       // e.g. throw to simulate a failure

private:
    IOvShell *m_previous = nullptr;
};
