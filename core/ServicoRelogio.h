#pragma once
// Setting the concentrator's clock to the computer's date and time, at the operator's request.
#include <QString>

class TContexto;

class TServicoRelogio {
public:
    explicit TServicoRelogio(TContexto& contexto);

    // The question, with the computer's date and time on their own lines.
    QString TextoConfirmacao() const;
    // Asks; on Yes sends one clock command and reports success. True when the clock was set: the
    // program is then to end. A driver error propagates before the success box.
    bool Sincroniza();

private:
    TContexto& FContexto;
};
