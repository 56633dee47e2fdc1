#pragma once
// Capture of one fueling by its concentrator ID: the fueling the concentrator keeps in its memory is
// fetched and stored as if it had just been polled.
#include "Mensagens.h"

#include <QString>

class TLinkor;

// The box that tells how a capture ended.
struct TResultadoCaptura {
    TTipoMensagem Tipo = TTipoMensagem::Informacao;
    QString Texto;
    bool Gravado = false; // the fueling was stored by this capture
};

class TServicoCaptura {
public:
    explicit TServicoCaptura(TLinkor& linkor);

    // The ID of the field's text; raises the conversion error when it is not a whole number.
    static qint32 LeId(const QString& texto);
    // On the engine's thread: fetches the fueling with this ID and stores it as if polled, with the
    // poll timer off meanwhile and on again afterwards. `texto` is the field's text, for the box
    // returned; every outcome, failures included, is one.
    TResultadoCaptura Captura(qint32 id, const QString& texto);

private:
    TResultadoCaptura CapturaRegistro(qint32 id, const QString& texto);

    TLinkor& FLinkor;
};
