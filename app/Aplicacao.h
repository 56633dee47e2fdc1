#pragma once
// The application object: an exception escaping any event handler ends up here, is shown in an
// error box, and the program goes on.
#include <QApplication>

class TAplicacao : public QApplication {
public:
    TAplicacao(int& argc, char** argv);
    bool notify(QObject* receptor, QEvent* evento) override;

    // SIGTERM and SIGINT close the main window through the ordinary close path, so the serial link
    // and the database are let go cleanly. The signals are blocked in every thread (BloqueiaSinais
    // runs before any thread exists; threads inherit the mask) and read from a descriptor in the
    // event loop, so no thread of the database engine is ever interrupted in the middle of its work.
    static void BloqueiaSinais();
    void InstalaTratamentoSinais();
    // True once a signal asked the program to stop; a box open at that moment is closed, and no
    // further box is shown.
    bool TerminoSolicitado() const { return FTerminoSolicitado; }

private:
    bool FTerminoSolicitado = false;
};

// The text of the default error box: a full stop is added when the last character's code is
// above the full stop's.
QString TextoErroPadrao(const QString& mensagem);
void MostraErroPadrao(const QString& mensagem);
