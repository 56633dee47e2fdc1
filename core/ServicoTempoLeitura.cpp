#include "ServicoTempoLeitura.h"

#include "Erro.h"
#include "Linkor.h"

#include <QScopeGuard>

TServicoTempoLeitura::TServicoTempoLeitura(TLinkor& linkor) : FLinkor(linkor) {}

QString TServicoTempoLeitura::AlteraTempo(const QString& textoSegundos)
{
    TCicloLeitura& ciclo = FLinkor.Ciclo();
    ciclo.ParaLeitura();
    // Enabling restarts the countdown: the next poll comes one full interval after the click.
    auto reabilita = qScopeGuard([&ciclo] { ciclo.HabilitaLeitura(); });
    qint64 segundos = 0;
    try {
        segundos = LeInteiro(textoSegundos);
        // An interval of 0 or less would stop polling for good, also after the next start.
        if (segundos < 1)
            throw EErro(QStringLiteral(": o tempo deve ser de pelo menos 1 segundo."));
        // Past an hour no station means it: 99999 would poll once a day.
        if (segundos > TRepositorioParametros::kMaximoTempoLeitura)
            throw EErro(QStringLiteral(": o tempo deve ser de no máximo %1 segundos.")
                            .arg(TRepositorioParametros::kMaximoTempoLeitura));
        FLinkor.Parametros().AlteraTempoLeitura(segundos);
    } catch (const std::exception& e) {
        return TextoComCausa(QStringLiteral("Erro ao tentar alterar o tempo de leitura do concentrador"), e);
    }
    ciclo.DefineIntervaloLeitura(static_cast<int>(segundos * 1000));
    return {};
}
