#pragma once
// Every message box of the program is built here. Tests swap in a scripted responder.
#include <QString>

enum class TTipoMensagem { Erro, Informacao, Alerta, Confirmacao };
enum class TBotoes { Ok, OkCancelar, SimNao };
enum class TResposta { Ok, Cancelar, Sim, Nao };

class TRespondedor {
public:
    virtual ~TRespondedor() = default;
    virtual TResposta Responde(TTipoMensagem tipo, const QString& texto, TBotoes botoes) = 0;
};

// Shows a box. A carriage return in the text is shown as a line break; the text itself is kept.
TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes = TBotoes::Ok);
// Puts a responder in place (nullptr restores the real boxes); the caller keeps ownership.
void DefineRespondedor(TRespondedor* respondedor);

QString TituloMensagem(TTipoMensagem tipo);

// Once the program is being stopped from outside, no box is shown any more: each call gives the
// cautious answer (OK, Cancelar or Não) at once, so no start-up step waits for an operator.
void SuprimeMensagens();
