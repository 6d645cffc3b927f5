// velcu: the CU program of the school office.
#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Modello CU 2025"));
    QLabel label(QStringLiteral("velcu"));
    label.show();
    return app.exec();
}
