#pragma once
// The program's application object. Every event handler is meant to show its
// own errors (ovGuarded); this is the last net under all of them: an exception
// that still leaves a handler is shown and the event loop goes on, instead of
// unwinding through Qt and leaving its windows half updated. It makes the
// message boxes (TOvDialogResponder) the default responder.
#include <QApplication>

class TOvApplication : public QApplication
{
    Q_OBJECT
public:
    TOvApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // "Errore non previsto: " and the error's own text.
    static QString netText(const QString &error);
    // Exceptions stopped here so far (an event handler that should have shown
    // its own error).
    static int caught();
};
