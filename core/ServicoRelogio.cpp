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

bool TServicoRelogio::Sincroniza()
{
    TMensagens& mensagens = FContexto.Mensagens();
    if (mensagens.MostraMensagem(TTipoMensagem::Confirmacao, TextoConfirmacao(), TBotoes::SimNao) != TResposta::Sim)
        return false;
    FContexto.Concentrador()->AcertaDataHora();
    mensagens.MostraMensagem(TTipoMensagem::Informacao, QStringLiteral("Data/Hora sincronizada com sucesso!"));
    return true;
}
