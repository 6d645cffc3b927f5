#pragma once
// "Informazioni": a list of lines shown read-only, with an optional yes/no
// question "Si desidera proseguire?". The import shows its message log here
// at the end of a run; the agent checks and the telematic file ask their
// question with it.
//
// Execute goes through the message seam: with the program's own responder
// the dialog is shown; a test's scripted responder receives the lines as one
// message (caption "Informazioni", buttons OK, or Sì/No with the question).
#include "platform/framework/OvMessages.h"
#include "platform/ui/framework/TfmOvDialog.h"

#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TfmVelInfo : public TfmOvDialog
{
    Q_OBJECT
public:
    explicit TfmVelInfo(QWidget *parent = nullptr);

    QPlainTextEdit *meInfo = nullptr;
    QLabel *lbDomanda = nullptr;
    QPushButton *buSi = nullptr;
    QPushButton *buOk = nullptr;
    QPushButton *buBloccoNote = nullptr;

    void setLines(const QStringList &lines, bool question);
    // Writes the lines to a new temporary ".txt" file and opens it with the
    // shell; returns the file's path.
    QString bloccoNote();

    // Shows the lines modally; returns mrYes / mrNo with the question, mrOk
    // without it.
    static int Execute(const QStringList &lines, bool question = false, QWidget *parent = nullptr);

    static QString caption() { return ovInfoListCaption(); }
    static QString domanda() { return ovInfoListQuestion(); }

private:
    QStringList m_lines;
    bool m_question = false;
};
