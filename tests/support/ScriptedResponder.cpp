#include "ScriptedResponder.h"

#include <QtTest>

#include <exception>

ScriptedResponder::ScriptedResponder()
{
    m_previous = setMessageResponder(this);
}

ScriptedResponder::~ScriptedResponder()
{
    setMessageResponder(m_previous);
    if (!m_queue.isEmpty() && std::uncaught_exceptions() == 0 && !(m_onFailure == nullptr && QTest::currentTestFailed())) {
        QStringList left;
        for (const Scripted &s : m_queue)
            left << (s.textPart.isEmpty() ? QString::number(s.answer) : s.textPart);
        fail(QStringLiteral("Risposte preparate e mai chieste: %1").arg(left.join(QStringLiteral(" | "))));
    }
}

ScriptedResponder &ScriptedResponder::answer(int answer, const QString &textPart)
{
    m_queue.enqueue({answer, textPart});
    return *this;
}

void ScriptedResponder::clear()
{
    m_queue.clear();
    m_shown.clear();
    m_failures.clear();
}

QStringList ScriptedResponder::texts() const
{
    QStringList list;
    for (const OvMessage &m : m_shown)
        list << m.text;
    return list;
}

void ScriptedResponder::fail(const QString &why)
{
    m_failures << why;
    if (m_onFailure)
        m_onFailure(why);
    else
        QTest::qFail(qPrintable(why), __FILE__, __LINE__);
}

int ScriptedResponder::respond(const OvMessage &msg)
{
    m_shown << msg;
    if (!msg.isQuestion())
        return msg.buttons.value(0, IDOK);
    const int dismiss = msg.escapeButton ? msg.escapeButton : msg.buttons.last();
    if (m_queue.isEmpty()) {
        fail(QStringLiteral("Domanda inattesa: \"%1\"").arg(msg.text));
        return dismiss;
    }
    const Scripted next = m_queue.dequeue();
    if (!next.textPart.isEmpty() && !msg.text.contains(next.textPart)) {
        fail(QStringLiteral("Domanda \"%1\" al posto di quella attesa (\"%2\")").arg(msg.text, next.textPart));
        return dismiss;
    }
    if (!msg.offers(next.answer)) {
        fail(QStringLiteral("La risposta %1 non è tra i pulsanti della domanda \"%2\"").arg(next.answer).arg(msg.text));
        return dismiss;
    }
    return next.answer;
}

RecordingShell::RecordingShell()
{
    m_previous = setOvShell(this);
}

RecordingShell::~RecordingShell()
{
    setOvShell(m_previous);
}

void RecordingShell::openDocument(const QString &filePath, const QString &params, const QString &directory,
                                  bool waitEnd)
{
    Document d{filePath, params, directory, waitEnd};
    documents << d;
    if (onOpen)
        onOpen(d);
}

int RecordingShell::runAndWait(const QString &program, const QStringList &arguments, const QString &workingDirectory)
{
    runs << Run{program, arguments, workingDirectory};
    return exitCode;
}
