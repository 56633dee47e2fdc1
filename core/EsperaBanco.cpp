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
    if (aguardando)
        FPendente = *aguardando;
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
        if (FPendente)
            linha += QStringLiteral(" Abastecimento aguardando gravação: ") + FLogs.Rastro(*FPendente);
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

QString TEsperaBanco::TextoStatus() const
{
    switch (FMotivo) {
    case TMotivoEspera::Nenhum:
        break;
    case TMotivoEspera::Inacessivel:
        return kStatusBancoInacessivel;
    case TMotivoEspera::Ocupado:
        return kStatusBancoOcupado;
    case TMotivoEspera::Recusa:
        return kStatusBancoRecusa;
    }
    return {};
}

QString TEsperaBanco::Aviso() const
{
    QString aviso;
    switch (FMotivo) {
    case TMotivoEspera::Nenhum:
        return {};
    case TMotivoEspera::Inacessivel:
        aviso = FPendente ? QStringLiteral("Banco de dados inacessível: um abastecimento aguarda para ser gravado. "
                                           "A leitura continua sozinha quando o banco voltar.")
                          : QStringLiteral("Banco de dados inacessível. A leitura continua sozinha quando o banco "
                                           "voltar.");
        break;
    case TMotivoEspera::Ocupado:
        aviso = QStringLiteral("Banco de dados ocupado por outro programa (%1): um abastecimento aguarda para ser "
                               "gravado. A leitura continua sozinha quando o banco for liberado.")
                    .arg(FMensagem);
        break;
    case TMotivoEspera::Recusa:
        aviso = QStringLiteral("O banco de dados responde, mas recusa gravar o abastecimento: %1\nO abastecimento "
                               "aguarda e será gravado quando o banco aceitar. Chame o técnico.")
                    .arg(FMensagem);
        break;
    }
    return aviso + QStringLiteral(" Próxima tentativa às %1.").arg(FContexto.Regional().TextoHoraLonga(FProxima.time()));
}
