#include "ServicoBloqueio.h"

#include "Contexto.h"
#include "Erro.h"
#include "Regional.h"
#include "StatusBicos.h"

TServicoBloqueio::TServicoBloqueio(TContexto& contexto) : FContexto(contexto), FBicos(contexto) {}

QList<TBicoBloqueio> TServicoBloqueio::CarregaBicos()
{
    QList<TBicoBloqueio> bicos;
    for (const TBicoConcentrador& bico : FBicos.BicosConcentrador())
        bicos << TBicoBloqueio{bico.CodBico, bico.Descricao, bico.CodConcentrador, false};
    return bicos;
}

void TServicoBloqueio::MarcaBloqueados(QList<TBicoBloqueio>& bicos)
{
    const TStatusBicos status = TStatusBicos::Le(*FContexto.Concentrador());
    if (!status.PorPosicao().contains(QLatin1Char('B')))
        return;
    for (TBicoBloqueio& bico : bicos) {
        if (status.Letra(LeInteiro(bico.CodConcentrador)) == QLatin1Char('B'))
            bico.Marcado = bico.Bloqueado = true;
    }
}

QStringList TServicoBloqueio::EnviaComandos(const QList<TBicoBloqueio>& bicos, QStringList* recusados)
{
    QStringList falhas;
    TConcentrador& concentrador = *FContexto.Concentrador();
    for (const TBicoBloqueio& bico : bicos) {
        // The one empty row of a station with no nozzle on the concentrator: its release goes out
        // with the empty code, whose conversion error is what the operator is shown.
        if (bico.CodBico.trimmed().isEmpty() && bicos.size() == 1) {
            concentrador.FLiberaBico(bico.CodConcentrador);
            continue;
        }
        if (bico.Marcado == bico.Bloqueado)
            continue;
        try {
            if (bico.Marcado)
                concentrador.FBloqueiaBico(bico.CodConcentrador);
            else
                concentrador.FLiberaBico(bico.CodConcentrador);
        } catch (const std::exception& e) {
            falhas << (bico.Marcado ? QStringLiteral("Erro ao bloquear o Bico: ") : QStringLiteral("Erro ao desbloquear o Bico: "))
                    + bico.CodBico + QStringLiteral("\r") + MensagemDe(e);
            if (recusados)
                *recusados << bico.CodBico;
        }
    }
    return falhas;
}
