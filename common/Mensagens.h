#pragma once
// How the program asks and tells the operator: message boxes of four kinds. The engine sees only
// this interface; the window supplies the real boxes and tests a scripted responder.
#include <QString>

enum class TTipoMensagem { Erro, Informacao, Alerta, Confirmacao };
enum class TBotoes { Ok, OkCancelar, SimNao };
enum class TResposta { Ok, Cancelar, Sim, Nao };

class TMensagens {
public:
    virtual ~TMensagens() = default;
    // Shows a box and waits for the answer. A carriage return in the text is a line break.
    virtual TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes = TBotoes::Ok) = 0;

    // The application's default error box: the message, with a full stop added when its last
    // character's code is above the full stop's.
    void MostraErroPadrao(const QString& mensagem);
};

QString TituloMensagem(TTipoMensagem tipo);
// The answer given when no operator may decide (the program is stopping, or runs without one):
// OK, Cancelar or Não.
TResposta RespostaCautelosa(TBotoes botoes);
QString TextoErroPadrao(const QString& mensagem);
