#pragma once
// The seconds between two polls of the concentrator: stored for the next start and applied at once
// to the running poll timer.
#include <QString>

class TLinkor;

class TServicoTempoLeitura {
public:
    explicit TServicoTempoLeitura(TLinkor& linkor);

    // The interval dialog's OK, given the seconds field's text. Stores and applies the interval; a
    // failure is shown in a box and leaves the running interval as it was. The timer is off during
    // the statement and always on again afterwards, its countdown restarted. True when stored.
    bool AlteraTempo(const QString& textoSegundos);

private:
    TLinkor& FLinkor;
};
