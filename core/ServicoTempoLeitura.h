#pragma once
// The seconds between two polls of the concentrator: stored for the next start and applied at once
// to the running poll timer.
#include <QString>

class TLinkor;

class TServicoTempoLeitura {
public:
    explicit TServicoTempoLeitura(TLinkor& linkor);

    // The interval dialog's OK, on the engine's thread, given the seconds field's text. Stores and
    // applies the interval. A failure leaves the running interval as it was and is returned as the
    // box's text (empty when stored). The timer is off during the statement and always on again
    // afterwards, its countdown restarted.
    QString AlteraTempo(const QString& textoSegundos);

private:
    TLinkor& FLinkor;
};
