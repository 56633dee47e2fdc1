#pragma once
// Setting the concentrator's clock to the computer's date and time, at the operator's request.
#include <QString>

class TContexto;

class TServicoRelogio {
public:
    explicit TServicoRelogio(TContexto& contexto);

    // The question, with the computer's date and time on their own lines.
    QString TextoConfirmacao() const;
    // On the engine's thread, once the operator said Yes: one clock command. A driver error
    // propagates; the program is to end only when it ran through.
    void Acerta();
    static QString MensagemSucesso() { return QStringLiteral("Data/Hora sincronizada com sucesso!"); }

private:
    TContexto& FContexto;
};
