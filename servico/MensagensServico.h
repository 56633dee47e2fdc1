#pragma once
// The boxes of the service, which has no operator: what the window would show goes to the error
// log and to standard error (the journal). The start-up's "try again?" question is answered yes
// after a pause that grows with each refusal of the database; a confirmation is never given. A
// stop request during that pause (the clock interrupted) answers no, so the service ends promptly.
#include "Mensagens.h"

#include <atomic>
#include <functional>

class TNotificacaoSistema;
class TRelogio;

class TMensagensServico : public TMensagens {
public:
    using TRegistroErro = std::function<void(const QString&)>;

    // The pause sleeps on `relogio`, so the engine's stop request wakes it.
    TMensagensServico(TNotificacaoSistema& notificacao, const TRelogio& relogio);
    // Where each text also goes; empty while the error log does not exist yet.
    void DefineRegistroErro(TRegistroErro registro) { FRegistroErro = std::move(registro); }
    // Who else hears each box: "Caption: text", a line break as a newline. Called on the thread that
    // shows the box (the engine's); set before it starts.
    void DefineAoMostrar(TRegistroErro aoMostrar) { FAoMostrar = std::move(aoMostrar); }

    TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes = TBotoes::Ok) override;
    // One line to the error log and standard error, for what has no box in the window either.
    void Registra(const QString& texto);

    bool TerminoSolicitado() const { return FTerminoSolicitado; }
    // The pause before the n-th yes (1-based), in milliseconds.
    static int PausaTentativa(int tentativa);

private:
    TNotificacaoSistema& FNotificacao;
    const TRelogio& FRelogio;
    TRegistroErro FRegistroErro;
    TRegistroErro FAoMostrar;
    int FTentativas = 0;
    std::atomic<bool> FTerminoSolicitado{false}; // set on the engine's thread, read on the main one
};
