#pragma once
// How the program asks and tells the operator: message boxes of four kinds. The engine sees only
// this interface; the window supplies the real boxes and tests a scripted responder.
#include <QString>

#include <functional>

enum class TTipoMensagem { Erro, Informacao, Alerta, Confirmacao };
enum class TBotoes { Ok, OkCancelar, SimNao };
enum class TResposta { Ok, Cancelar, Sim, Nao };

class TMensagens {
public:
    virtual ~TMensagens() = default;
    // Shows a box and waits for the answer. A carriage return in the text is a line break.
    virtual TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes = TBotoes::Ok) = 0;
    // The program is stopping: from now on no box waits for the operator, and a question waiting
    // for an answer gets the cautious one (OK, Cancelar or Não) at once. Callable from any thread.
    virtual void Suprime() {}
    // The window closes from inside the program (a failed start-up, "&Sair", the clock set): a
    // question the engine waits on gets its cautious answer at once, but a box the operator has
    // not answered yet (or one on its way) stays until answered, so nothing told is lost on the
    // way out. `depois` runs on the window's thread once none is open.
    virtual void Encerra(std::function<void()> depois)
    {
        Suprime();
        if (depois)
            depois();
    }

    // The application's default error box: the message, with a full stop added when its last
    // character's code is above the full stop's.
    void MostraErroPadrao(const QString& mensagem);
};

QString TituloMensagem(TTipoMensagem tipo);
// The answer given when nobody is there to answer.
TResposta RespostaCautelosa(TBotoes botoes);
QString TextoErroPadrao(const QString& mensagem);
