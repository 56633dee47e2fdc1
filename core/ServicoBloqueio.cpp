#include "ServicoBloqueio.h"

#include "CodigoConcentrador.h"
#include "Contexto.h"
#include "Erro.h"
#include "Regional.h"

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
    const QString status = FContexto.Concentrador()->GetLeStatus();
    if (!status.contains(QLatin1Char('B')))
        return;
    for (TBicoBloqueio& bico : bicos) {
        const int p = PosicaoStatus(bico.CodConcentrador);
        if (p <= status.size() && status[p - 1] == QLatin1Char('B'))
            bico.Marcado = bico.Bloqueado = true;
    }
}

QStringList TServicoBloqueio::EnviaComandos(const QList<TBicoBloqueio>& bicos)
{
    QStringList falhas;
    TConcentrador& concentrador = *FContexto.Concentrador();
    for (const TBicoBloqueio& bico : bicos) {
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
        }
    }
    return falhas;
}
