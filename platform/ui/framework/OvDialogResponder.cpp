#include "platform/ui/framework/OvDialogResponder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHash>
#include <QMessageBox>
#include <QPushButton>

int TOvDialogResponder::respond(const OvMessage &msg)
{
    // Texts come with Windows line ends; shown as they are, never as markup.
    QString text = msg.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        // No windows in this process after all: said as the console would.
        TOvConsoleResponder console;
        return console.respond(msg);
    }
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(msg.caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (msg.icon) {
    case OvMessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case OvMessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case OvMessageIcon::Question: box.setIcon(QMessageBox::Question); break;
    case OvMessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case OvMessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    QHash<QAbstractButton *, int> answers;
    for (int answer : msg.buttons) {
        QMessageBox::ButtonRole role = QMessageBox::ActionRole;
        switch (answer) {
        case IDOK: role = QMessageBox::AcceptRole; break;
        case IDCANCEL: case IDABORT: role = QMessageBox::RejectRole; break;
        case IDYES: case mrYesToAll: role = QMessageBox::YesRole; break;
        case IDNO: case mrNoToAll: role = QMessageBox::NoRole; break;
        default: break;
        }
        QPushButton *b = box.addButton(ovButtonText(answer), role);
        answers.insert(b, answer);
        if (answer == msg.defaultButton)
            box.setDefaultButton(b);
        if (answer == msg.escapeButton)
            box.setEscapeButton(b);
    }
    box.exec();
    const auto it = answers.constFind(box.clickedButton());
    if (it != answers.constEnd())
        return it.value();
    return msg.escapeButton ? msg.escapeButton : msg.defaultButton;
}
