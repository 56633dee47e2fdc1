#pragma once
// The real message boxes behind the engine's TMensagens.
#include "Mensagens.h"

class TCaixaMensagem : public TMensagens {
public:
    TResposta MostraMensagem(TTipoMensagem tipo, const QString& texto, TBotoes botoes = TBotoes::Ok) override;
    // Once the program is being stopped from outside, no box is shown any more: each call gives the
    // cautious answer (OK, Cancelar or Não) at once, so no step waits for an operator.
    void Suprime() { FSuprimidas = true; }

private:
    bool FSuprimidas = false;
};
