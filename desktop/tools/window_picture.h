// The picture of a shown window for the documentation: under a window
// system (Windows, Wine on an X display) what the screen shows where the
// window lies, once the system has shown and painted it, with whatever lies
// over it (a message box); offscreen, the window's own rendering.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QWidget>

inline QPixmap window_picture(QWidget& window)
{
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return window.grab();
    constexpr int kSettleMs = 1500;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kSettleMs) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    const QRect frame = window.frameGeometry();
    return window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
}
