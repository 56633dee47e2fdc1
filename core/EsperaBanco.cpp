#include "EsperaBanco.h"

#include "Contexto.h"
#include "RegistroLogs.h"

#include <algorithm>

TEsperaBanco::TEsperaBanco(TContexto& contexto, TRegistroLogs& logs) : FContexto(contexto), FLogs(logs) {}

TMotivoEspera TEsperaBanco::MotivoDe(TNaturezaErroBanco natureza)
{
    switch (natureza) {
    case TNaturezaErroBanco::Conexao:
        return TMotivoEspera::Inacessivel;
    case TNaturezaErroBanco::Bloqueio:
        return TMotivoEspera::Ocupado;
    case TNaturezaErroBanco::Recusa:
    case TNaturezaErroBanco::Servidor:
        break;
    }
    return TMotivoEspera::Recusa;
}

bool TEsperaBanco::PodeTentar() const
{
    if (!Ativa())
        return true;
    const QDateTime agora = FContexto.Relogio().Agora();
    // A clock set back would otherwise hold the next attempt for as long as it went back.
    return agora >= FProxima || agora < FUltima;
}

void TEsperaBanco::Falhou(TMotivoEspera motivo, const QString& mensagem, const TDadosAbastecimento* aguardando)
{
    FMensagem = QString(mensagem).replace('\n', ' ');
    // One line when the outage starts, and one whenever what is wrong changes.
    if (motivo != FMotivo) {
        QString linha;
        switch (motivo) {
        case TMotivoEspera::Inacessivel:
            linha = QStringLiteral("Banco de dados inacessível: ");
            break;
        case TMotivoEspera::Ocupado:
            linha = QStringLiteral("Banco de dados ocupado por outro programa: ");
            break;
        case TMotivoEspera::Recusa:
        case TMotivoEspera::Nenhum:
            linha = QStringLiteral("O banco de dados responde mas recusa gravar o abastecimento: ");
            break;
        }
        linha += FMensagem;
        if (aguardando)
            linha += QStringLiteral(" Abastecimento aguardando gravação: ") + FLogs.Rastro(*aguardando);
        FLogs.RegistraErro(linha);
    }
    FMotivo = motivo;
    FEsperaSegundos = FEsperaSegundos == 0 ? kPrimeiraEsperaSegundos
                                           : std::min(FEsperaSegundos * 2, kMaiorEsperaSegundos);
    FUltima = FContexto.Relogio().Agora();
    FProxima = FUltima.addSecs(FEsperaSegundos);
}

void TEsperaBanco::Encerra()
{
    if (!Ativa())
        return;
    FLogs.RegistraErro(FMotivo == TMotivoEspera::Inacessivel
                           ? QStringLiteral("Banco de dados acessível novamente.")
                           : QStringLiteral("Banco de dados voltou a aceitar o abastecimento."));
    FMotivo = TMotivoEspera::Nenhum;
    FMensagem.clear();
    FEsperaSegundos = 0;
}

QString TEsperaBanco::TextoStatus(qint64 aguardando) const
{
    const bool um = aguardando <= 1;
    switch (FMotivo) {
    case TMotivoEspera::Nenhum:
        break;
    case TMotivoEspera::Inacessivel:
        return um ? kStatusBancoInacessivel
                  : QStringLiteral(" Banco inacessível: %1 abastecimentos aguardando").arg(aguardando);
    case TMotivoEspera::Ocupado:
        return um ? kStatusBancoOcupado : QStringLiteral(" Banco ocupado: %1 abastecimentos aguardando").arg(aguardando);
    case TMotivoEspera::Recusa:
        return um ? kStatusBancoRecusa
                  : QStringLiteral(" Banco recusa os abastecimentos (%1 aguardando): chame o técnico").arg(aguardando);
    }
    return {};
}

QString TEsperaBanco::Aviso(qint64 aguardando) const
{
    const QString quantos = aguardando == 0 ? QString()
        : aguardando == 1                   ? QStringLiteral("um abastecimento aguarda para ser gravado")
                                            : QStringLiteral("%1 abastecimentos aguardam para ser gravados").arg(aguardando);
    const QString guardados = aguardando == 0 ? QString()
                                              : QStringLiteral(" Estão guardados no diário do Linkor e a leitura do "
                                                               "concentrador continua.");
    QString aviso;
    switch (FMotivo) {
    case TMotivoEspera::Nenhum:
        return {};
    case TMotivoEspera::Inacessivel:
        aviso = (quantos.isEmpty() ? QStringLiteral("Banco de dados inacessível.")
                                   : QStringLiteral("Banco de dados inacessível: ") + quantos + '.')
            + guardados + QStringLiteral(" A gravação continua sozinha quando o banco voltar.");
        break;
    case TMotivoEspera::Ocupado:
        aviso = QStringLiteral("Banco de dados ocupado por outro programa (%1)").arg(FMensagem)
            + (quantos.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + quantos + '.') + guardados
            + QStringLiteral(" A gravação continua sozinha quando o banco for liberado.");
        break;
    case TMotivoEspera::Recusa:
        aviso = QStringLiteral("O banco de dados responde, mas recusa gravar o abastecimento: %1\n").arg(FMensagem)
            + (quantos.isEmpty() ? QString() : quantos.left(1).toUpper() + quantos.mid(1) + '.') + guardados
            + QStringLiteral(" Serão gravados quando o banco aceitar. Chame o técnico.");
        break;
    }
    return aviso + QStringLiteral(" Próxima tentativa às %1.").arg(FContexto.Regional().TextoHoraLonga(FProxima.time()));
}
