#pragma once
// Esc closes none of the dialogs that install this (capture by ID, poll interval, block and
// release): their forms have no Esc handling of their own, so the key does nothing there, whatever
// control has the focus. Their buttons and the close box still close them.
#include <QKeyEvent>
#include <QObject>

class TIgnoraEsc : public QObject {
public:
    explicit TIgnoraEsc(QObject* dialogo) : QObject(dialogo) { dialogo->installEventFilter(this); }

    bool eventFilter(QObject* objeto, QEvent* evento) override
    {
        return objeto == parent() && evento->type() == QEvent::KeyPress
            && static_cast<QKeyEvent*>(evento)->key() == Qt::Key_Escape;
    }
};
