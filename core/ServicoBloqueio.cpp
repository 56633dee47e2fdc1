#include "ServicoBloqueio.h"

#include "Contexto.h"
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
    for (qsizetype p = 1; p <= status.size(); ++p) {
        if (status[p - 1] != QLatin1Char('B'))
            continue;
        for (TBicoBloqueio& bico : bicos)
            if (LeInteiro(bico.CodConcentrador) == p + 3)
                bico.Marcado = true;
    }
}

void TServicoBloqueio::EnviaComandos(const QList<TBicoBloqueio>& bicos)
{
    TConcentrador& concentrador = *FContexto.Concentrador();
    for (const TBicoBloqueio& bico : bicos) {
        if (bico.Marcado)
            concentrador.FBloqueiaBico(bico.CodConcentrador);
        else
            concentrador.FLiberaBico(bico.CodConcentrador);
    }
}
