#pragma once
// The outage state of the poll road: the database cannot store (unreachable, busy with another
// program's locks, or answering and refusing for a reason of its own), the fuelings read meanwhile
// wait in the journal, and attempts back off (1, 2, 4 ... up to 60 s) so the ticks in between leave
// the database alone. It reports through the error log and its texts; it knows nothing of the cycle.
#include "Conexao.h"
#include "DadosAbastecimento.h"

#include <QDateTime>

#include <optional>

class TContexto;
class TRegistroLogs;

enum class TMotivoEspera {
    Nenhum,
    Inacessivel, // the database cannot be reached
    Ocupado,     // another program holds the rows past the lock wait
    Recusa,      // it answers and refuses for a reason of its own (column, permission, metadata)
};

class TEsperaBanco {
public:
    static constexpr int kPrimeiraEsperaSegundos = 1;
    static constexpr int kMaiorEsperaSegundos = 60;

    TEsperaBanco(TContexto& contexto, TRegistroLogs& logs);

    bool Ativa() const { return FMotivo != TMotivoEspera::Nenhum; }
    TMotivoEspera Motivo() const { return FMotivo; }
    // The database's own message of the last failed attempt.
    const QString& Mensagem() const { return FMensagem; }
    // Whether the database may be tried now: always outside an outage; during one, once the back-off
    // has run out (or the clock went back).
    bool PodeTentar() const;
    QDateTime ProximaTentativa() const { return FProxima; }

    // An attempt failed: starts or goes on with the outage, the next attempt a longer wait away.
    // The fueling given (the one the attempt was for) is named in the line that starts it.
    void Falhou(TMotivoEspera motivo, const QString& mensagem, const TDadosAbastecimento* aguardando);
    // The database took what it was given: the outage, if any, ends.
    void Encerra();

    // What failed attempts of this nature mean for the poll road.
    static TMotivoEspera MotivoDe(TNaturezaErroBanco natureza);
    // Status bar text and the notice (tray tip, window), with how many fuelings wait in the journal;
    // empty outside an outage.
    QString TextoStatus(qint64 aguardando) const;
    QString Aviso(qint64 aguardando) const;

private:
    TContexto& FContexto;
    TRegistroLogs& FLogs;
    TMotivoEspera FMotivo = TMotivoEspera::Nenhum;
    QString FMensagem;
    int FEsperaSegundos = 0;
    QDateTime FUltima;
    QDateTime FProxima;
};

// Status panel 0 during an outage, for one fueling waiting (more: their count); the animation stands
// still meanwhile.
inline const QString kStatusBancoInacessivel = QStringLiteral(" Banco inacessível: abastecimento aguardando");
inline const QString kStatusBancoOcupado = QStringLiteral(" Banco ocupado: abastecimento aguardando");
inline const QString kStatusBancoRecusa = QStringLiteral(" Banco recusa o abastecimento: chame o técnico");
