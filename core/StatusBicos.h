#pragma once
// The status letter of each nozzle. The concentrator reports one letter per pump position, and a
// position holds up to four nozzles (one per channel), so a position's "B" says only that some
// nozzle of it is blocked. Where the library also gives the nozzles' own letters (the nozzle status
// text: 100 characters, four per position for positions 1 to 25, channels 1 to 4 in order, a blank
// where the position has no nozzle on that channel), each nozzle takes its own.
#include "ClassConcentrador.h"

#include <QString>

class TStatusBicos {
public:
    static constexpr int kPosicoesPorBico = 25;

    TStatusBicos() = default;
    TStatusBicos(QString porPosicao, QString porBico);
    // Reads the position letters, and the nozzle letters when a position reads blocked (the only
    // letter that differs between the nozzles of a position that matters here; at rest this costs
    // no second exchange). A library without the nozzle status leaves the position letters.
    // The concentrator's silence raises, as GetLeStatus does.
    static TStatusBicos Le(TConcentrador& concentrador);

    // The letter of the nozzle with this concentrator code (its decimal number): its own where the
    // nozzle status of its position agrees with the position's letter, otherwise its position's.
    // Anything that is not one of the seven status letters means the concentrator said nothing
    // usable (a blank in the nozzle status: no such nozzle on the concentrator).
    QChar Letra(qint64 codigo) const;
    // The position letters, one per position, unknown bytes included in their place.
    const QString& PorPosicao() const { return FPorPosicao; }
    bool operator==(const TStatusBicos&) const = default;

    static bool LetraValida(QChar letra);

private:
    // The nozzle letters of this position can be trusted: they agree with the position about a
    // block (the position reads "B" exactly when one of them does) and give at least one letter.
    bool PosicaoConfere(int posicao) const;

    QString FPorPosicao;
    QString FPorBico;
};
