#pragma once
// The application object. Every handler catches its own errors; one that slips through anyway
// ends up here, in the default error box, and the program goes on.
#include <QApplication>

#include <memory>

class TCaixaMensagem;

class TAplicacao : public QApplication {
public:
    TAplicacao(int& argc, char** argv);
    ~TAplicacao() override;
    bool notify(QObject* receptor, QEvent* evento) override;

    // The boxes of the run; a stop signal silences them.
    TCaixaMensagem& Caixas() { return *FCaixas; }

    // SIGTERM and SIGINT close the main window through the ordinary close path, so the serial link
    // and the database are let go cleanly (an engine stuck in either is left behind instead, see
    // TMotor::Para). The signals are blocked in every thread (BloqueiaSinais
    // runs before any thread exists; threads inherit the mask) and read from a descriptor in the
    // event loop, so no thread of the database engine is ever interrupted in the middle of its work.
    static void BloqueiaSinais();
    void InstalaTratamentoSinais();
    // True once a signal asked the program to stop; a box open at that moment is closed, and no
    // further box is shown.
    bool TerminoSolicitado() const { return FTerminoSolicitado; }

private:
    bool FTerminoSolicitado = false;
    std::unique_ptr<TCaixaMensagem> FCaixas;
};

