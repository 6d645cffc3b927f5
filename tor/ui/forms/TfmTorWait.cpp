#include "tor/ui/forms/TfmTorWait.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QVBoxLayout>

TfmTorWait::TfmTorWait()
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("Attendere..."));
    auto *l = new QVBoxLayout(this);
    l->addWidget(new QLabel(QStringLiteral("Caricamento in corso...attendere."), this));
    setWindowModality(Qt::ApplicationModal);
    resize(300, 80);
}

TTorWaitWindow::TTorWaitWindow() = default;
TTorWaitWindow::~TTorWaitWindow() = default;

void TTorWaitWindow::begin()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    if (m_depth++ == 0) {
        m_window = std::make_unique<TfmTorWait>();
        if (const QWidget *top = QApplication::activeWindow())
            m_window->move(top->geometry().center() - m_window->rect().center());
        m_window->show();
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QCoreApplication::processEvents();
    }
}

void TTorWaitWindow::end()
{
    if (m_depth > 0 && --m_depth == 0) {
        m_window.reset();
        QGuiApplication::restoreOverrideCursor();
    }
}
