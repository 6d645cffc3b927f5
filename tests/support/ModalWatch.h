#pragma once
// Answering a modal window from inside its own event loop.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Calls fn on the next modal window, from inside its own event loop.
// Delete the returned watcher when no modal window is expected to come.
inline QTimer *whenModal(std::function<void(QWidget *)> fn)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fn = std::move(fn)] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w)
            return;
        timer->stop();
        timer->deleteLater();
        fn(w);
    });
    timer->start();
    return timer;
}
