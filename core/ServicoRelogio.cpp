#include "ServicoRelogio.h"

#include "Contexto.h"

TServicoRelogio::TServicoRelogio(TContexto& contexto) : FContexto(contexto) {}

QString TServicoRelogio::TextoConfirmacao() const
{
    const QDateTime agora = FContexto.Relogio().Agora();
    const TConfiguracaoRegional& regional = FContexto.Regional();
    return QStringLiteral("Deseja sincronizar a Data/Hora do Concentrador com a Data/Hora do Sistema?\rData: ")
        + regional.TextoData(agora.date()) + QStringLiteral("\rHora: ") + regional.TextoHoraLonga(agora.time());
}

void TServicoRelogio::Acerta()
{
    FContexto.Concentrador()->AcertaDataHora();
}
