#pragma once
// The application object: an exception escaping any event handler ends up here, is shown in an
// error box, and the program goes on.
#include <QApplication>

class TAplicacao : public QApplication {
public:
    TAplicacao(int& argc, char** argv);
    bool notify(QObject* receptor, QEvent* evento) override;
};

// The text of the default error box: a full stop is added when the last character's code is
// above the full stop's.
QString TextoErroPadrao(const QString& mensagem);
void MostraErroPadrao(const QString& mensagem);
