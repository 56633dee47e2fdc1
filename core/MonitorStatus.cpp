#include "MonitorStatus.h"

#include "Contexto.h"
#include "Erro.h"
#include "RegistroLogs.h"
#include "Textos.h"

#include <QScopeGuard>

namespace {
constexpr int kPosicoesComCodigo = 32;
}

TMonitorStatus::TMonitorStatus(TContexto& contexto, TRegistroLogs& logs)
    : FContexto(contexto), FLogs(logs), FBicos(contexto)
{
}

QStringList TMonitorStatus::MontaCanais(const QString& Codigo)
{
    // Position j on channel k is known to the station as 4 + 64*(k-1) + (j-1).
    for (int canal = 0; canal < 4; ++canal) {
        for (int linha = 0; linha < kPosicoesComCodigo; ++linha) {
            if (StrZero(QString::number(4 + 64 * canal + linha), 3) == Codigo) {
                QStringList codigos;
                for (int k = 0; k < 4; ++k)
                    codigos << StrZero(QString::number(4 + 64 * k + linha), 3);
                return codigos;
            }
        }
    }
    return {QString(), QString(), QString(), QString()};
}

void TMonitorStatus::AtualizaStatusBicos()
{
    TStatusBicos status;
    try {
        status = TStatusBicos::Le(*FContexto.Concentrador());
    } catch (const EErroSemResposta& e) {
        // No answer is not "every nozzle free": nothing is written. The cycle tells the operator
        // and the error log, once per silence.
        FSemResposta = MensagemDe(e);
        return;
    }
    FSemResposta.clear();
    // What the nozzles hold, read before the refresh's own transaction (a refresh that changes
    // nothing then starts none), or as the last refresh left them. One commit for the whole
    // refresh; inside another one's transaction the updates join it, and since that one may still
    // be undone, the letters are read again next time.
    bool confiavel = false;
    auto esquece = qScopeGuard([&] {
        if (!confiavel)
            FBicos.EsqueceStatusGravados();
    });
    if (!FBicos.StatusGravadosLidos() || ++FRefreshesSemLerStatus >= kRefreshesReleituraStatus) {
        FBicos.LeStatusGravados();
        FRefreshesSemLerStatus = 0;
    } else if (status == FStatusAplicado) {
        // The same answer the last refresh committed in full: every nozzle holds its letter.
        confiavel = true;
        return;
    }
    TGuardaTransacao transacao(FContexto.CnTankora());
    // Positions above 32 have no concentrator codes: an update with an empty code would stamp
    // every nozzle that is not on the concentrator, so they are skipped.
    // Each nozzle takes its own letter where the concentrator gives one, so a blocked nozzle never
    // marks its free neighbours; a position without a status letter is left as it was.
    const int posicoes = static_cast<int>(std::min<qsizetype>(status.PorPosicao().size(), kPosicoesComCodigo));
    for (int p = 1; p <= posicoes; ++p) {
        const QStringList codigos = MontaCanais(StrZero(QString::number(p + 3), 3));
        for (const QString& codigo : codigos) {
            const QChar letra = status.Letra(codigo.toInt());
            if (!TStatusBicos::LetraValida(letra))
                continue;
            try {
                FBicos.GravaStatusBico(QString(letra), codigo);
            } catch (const std::exception& e) {
                const QString mensagem = MensagemDe(e);
                const auto* banco = dynamic_cast<const EErroBanco*>(&e);
                const bool transitorio = banco && banco->Transitorio();
                // A row another program holds, or a database that went away, repeats every tick:
                // one line until the status is written again, and no box.
                if (!transitorio || !FFalhaStatusBanco)
                    FLogs.RegistraErro(QStringLiteral("Erro ao tentar gravar status do bico ")
                                       + StrZero(QString::number(p), 2)
                                       + (transitorio ? QStringLiteral(": ") + mensagem : QString()));
                // What was written before the failure stays, as if each update had been committed.
                try {
                    transacao.Confirma();
                } catch (const std::exception&) {
                    // the status error is the one to report
                }
                if (transitorio) {
                    FFalhaStatusBanco = true;
                    return;
                }
                throw EErro(QStringLiteral("Erro ao tentar gravar o status do bico") + mensagem);
            }
        }
    }
    transacao.Confirma();
    confiavel = transacao.Propria();
    FStatusAplicado = status;
    FFalhaStatusBanco = false;
}
