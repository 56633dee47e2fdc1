#include "CicloLeitura.h"

#include "Contexto.h"
#include "Erro.h"
#include "RepositorioParametros.h"

#include <QFileInfo>
#include <QScopeGuard>

namespace {
constexpr int kPassosAnimacao = 14;
}

TCicloLeitura::TCicloLeitura(TContexto& contexto, TRepositorioParametros& parametros, QObject* parent)
    : QObject(parent), FContexto(contexto), FParametros(parametros), FLogs(contexto),
      FGravador(contexto, parametros, FLogs), FMonitor(contexto, FLogs), FEspera(contexto, FLogs)
{
    FLeConcentrador.setParent(this); // moves with the cycle to the engine's thread
    FLeConcentrador.setObjectName(QStringLiteral("LeConcentrador"));
    connect(&FLeConcentrador, &QTimer::timeout, this, &TCicloLeitura::LeConcentradorTimer);
    connect(&FLogs, &TRegistroLogs::LinhaLogEscrita, this, [this](const QString& linha) {
        // A line written after midnight went to the new day's file: the pane follows it there,
        // and the reload already holds the line when the file took it.
        const std::optional<QStringList> novoDia = ComecaNovoDia();
        if (!novoDia || novoDia->isEmpty() || novoDia->last() != linha)
            emit LinhaLogEscrita(linha);
    });
    connect(&FLogs, &TRegistroLogs::GravacaoAlterada, this, &TCicloLeitura::AtualizaAviso);
}

void TCicloLeitura::DefineIntervaloLeitura(int milissegundos)
{
    FIntervaloLeitura = milissegundos;
    FLeConcentrador.setInterval(milissegundos);
    HabilitaLeitura();
}

void TCicloLeitura::ParaLeitura()
{
    FLeConcentrador.stop();
}

void TCicloLeitura::HabilitaLeitura()
{
    // An interval of 0 never fires (a QTimer would fire continuously); a closing program never
    // polls again.
    if (FIntervaloLeitura > 0 && !FFinalizado)
        FLeConcentrador.start();
    else
        FLeConcentrador.stop();
}

void TCicloLeitura::Finaliza()
{
    FFinalizado = true;
    FLeConcentrador.stop();
}

void TCicloLeitura::DefineTextoStatus(const QString& texto)
{
    if (texto == FTextoStatus)
        return;
    FTextoStatus = texto;
    emit TextoStatusAlterado(texto);
}

void TCicloLeitura::LeConcentradorTimer()
{
    if (FEmTick)
        return;
    // The timer stays off for the whole tick, so ticks never nest, and the next one comes one full
    // interval after this one ends.
    FLeConcentrador.stop();
    FEmTick = true;
    auto reabilita = qScopeGuard([this] {
        FEmTick = false;
        HabilitaLeitura();
        emit TiqueConcluido();
    });
    try {
        // Jobs run between ticks on this thread, so no transaction is open here. Should one ever
        // be, this tick must not store into it: its fueling would be acknowledged before it commits.
        if (FContexto.CnTankora().EmTransacao())
            return;
        ComecaNovoDia();
        AnimaStatus();
        FLogs.Descarrega();
        // While the database cannot store nothing is read: the concentrator keeps the fuelings.
        if (BancoAlcancavel()) {
            LeUmAbastecimento();
            if (!FEspera.Ativa() && FParametros.Texto(QStringLiteral("visualizastatusbomba")) == QLatin1String("S")) {
                AtualizaStatusBicos();
            } else {
                FMonitor.EsqueceStatusGravados(); // unwatched meanwhile: read them again when it resumes
                const bool estavaMudo = ConcentradorMudo();
                FStatusMudo = false;
                AtualizaSilencio(estavaMudo);
            }
        }
    } catch (const std::exception& e) {
        FContexto.MostraErroPadrao(
            MensagemParaOperador(QStringLiteral("Erro no banco de dados durante a leitura do concentrador."), e));
    }
}

void TCicloLeitura::LeUmAbastecimento()
{
    TDadosAbastecimento dados;
    if (FEspera.Pendente()) {
        dados = *FEspera.Pendente();
    } else {
        const bool estavaMudo = ConcentradorMudo();
        try {
            TConcentrador& concentrador = *FContexto.Concentrador();
            dados = FGravador.UsaFid() ? TDadosAbastecimento::De(concentrador.GetLeAbastecimentoFID())
                                       : TDadosAbastecimento::De(concentrador.GetLeAbastecimento());
            FSemResposta.clear();
        } catch (const EErroSemResposta& e) {
            FSemResposta = MensagemDe(e);
            AtualizaSilencio(estavaMudo);
            return;
        } catch (const std::exception& e) {
            FLogs.RegistraErro(QStringLiteral("Erro ao ler abastecimento: ") + MensagemDe(e));
            return;
        }
        AtualizaSilencio(estavaMudo);
    }
    try {
        ArmazenaNoCiclo(dados);
    } catch (const std::exception& e) {
        FLogs.RegistraErro(QStringLiteral("Erro ao ler abastecimento: ") + MensagemDe(e));
    }
}

bool TCicloLeitura::BancoAlcancavel()
{
    // Backing off: this tick leaves the database alone.
    if (!FEspera.PodeTentar())
        return false;
    TConexao& conexao = FContexto.CnTankora();
    if (conexao.Conectado() && !conexao.Perdida())
        return true;
    // Without a question: the operator may be away for hours.
    try {
        conexao.Reconecta();
    } catch (const std::exception& e) {
        FEspera.Falhou(TMotivoEspera::Inacessivel, MensagemDe(e), nullptr);
        AtualizaAviso();
        return false;
    }
    FMonitor.EsqueceStatusGravados(); // perhaps another server, or a restored database
    if (!FEspera.Pendente()) {
        FEspera.Encerra();
        AtualizaAviso();
    }
    return true;
}

void TCicloLeitura::AtualizaSilencio(bool estavaMudo)
{
    const bool mudo = ConcentradorMudo();
    if (mudo && !estavaMudo)
        FLogs.RegistraErro(!FSemResposta.isEmpty() ? FSemResposta : FMonitor.SemResposta());
    if (mudo != estavaMudo)
        AtualizaAviso();
}

void TCicloLeitura::AtualizaAviso()
{
    QStringList avisos;
    QString status = FEspera.TextoStatus();
    if (FEspera.Ativa())
        avisos << FEspera.Aviso();
    if (ConcentradorMudo()) {
        if (status.isEmpty())
            status = kStatusConcentradorMudo;
        avisos << QStringLiteral("O concentrador não responde (%1). A leitura continua sozinha quando ele voltar a "
                                 "responder.")
                      .arg(!FSemResposta.isEmpty() ? FSemResposta : FMonitor.SemResposta());
    }
    if (FLogs.SemGravacao()) {
        if (status.isEmpty())
            status = FLogs.Causa() == TCausaFalhaLog::DiscoCheio ? kStatusLogDiscoCheio : kStatusLogSemGravacao;
        avisos << QStringLiteral("Os arquivos de log não podem ser gravados (%1). Os abastecimentos continuam sendo "
                                 "gravados no banco de dados; as linhas do log serão gravadas quando a pasta aceitar "
                                 "gravação.")
                      .arg(FLogs.Motivo());
    }
    static const QStringList kStatusParados = {kStatusBancoInacessivel, kStatusBancoOcupado, kStatusBancoRecusa,
                                               kStatusConcentradorMudo, kStatusLogSemGravacao,
                                               kStatusLogDiscoCheio};
    if (!status.isEmpty())
        DefineTextoStatus(status);
    else if (kStatusParados.contains(FTextoStatus))
        DefineTextoStatus(kProcurandoAbastecimentos);
    const QString aviso = avisos.join('\n');
    if (aviso != FAviso) {
        FAviso = aviso;
        emit AvisoAlterado(aviso);
    }
}

void TCicloLeitura::AnimaStatus()
{
    for (int passo = 0; passo < kPassosAnimacao; ++passo) {
        if (FTextoStatus == kProcurandoAbastecimentos + QString(passo, '.')) {
            DefineTextoStatus(kProcurandoAbastecimentos + QString((passo + 1) % kPassosAnimacao, '.'));
            return;
        }
    }
}

TResultadoAbastecimento TCicloLeitura::ProcessaAbastecimento(const TAbastecimento& Registro)
{
    return ProcessaDados(TDadosAbastecimento::De(Registro), true);
}

TResultadoAbastecimento TCicloLeitura::ProcessaAbastecimentoFid(const TAbastecimentoFid& Registro)
{
    return ProcessaDados(TDadosAbastecimento::De(Registro), false);
}

// Both layouts take the same road; only the plain one passes a storing failure on to its caller.
TResultadoAbastecimento TCicloLeitura::ProcessaDados(const TDadosAbastecimento& dados, bool repassaErro)
{
    try {
        const TGravacao gravacao = FGravador.Armazena(dados);
        Conclui(gravacao);
        return gravacao.Resultado;
    } catch (const std::exception& e) {
        FalhaDoAbastecimento(dados, MensagemDe(e), repassaErro);
    }
    return TResultadoAbastecimento::Falhou;
}

void TCicloLeitura::ArmazenaNoCiclo(const TDadosAbastecimento& dados)
{
    TGravacao gravacao;
    try {
        gravacao = FGravador.Armazena(dados);
    } catch (const EErroBanco& e) {
        if (!e.Transitorio()) {
            FEspera.LiberaPendente();
            FalhaDoAbastecimento(dados, e.Mensagem(), !FGravador.UsaFid());
            return;
        }
        // Kept for the next attempts; the library's next read would acknowledge it, so none
        // happens meanwhile.
        FEspera.Falhou(TEsperaBanco::MotivoDe(e.Natureza()), e.Mensagem(), &dados);
        AtualizaAviso();
        return;
    } catch (const std::exception& e) {
        FEspera.LiberaPendente();
        FalhaDoAbastecimento(dados, MensagemDe(e), !FGravador.UsaFid());
        return;
    }
    FEspera.LiberaPendente();
    FEspera.Encerra();
    Conclui(gravacao);
    AtualizaAviso();
}

void TCicloLeitura::Conclui(const TGravacao& gravacao)
{
    for (const QString& linha : gravacao.Linhas)
        FLogs.EscreveLinha(linha);
}

void TCicloLeitura::FalhaDoAbastecimento(const TDadosAbastecimento& dados, const QString& mensagem,
                                         bool repassaErro)
{
    // What the operator needs to capture it by ID later.
    FLogs.RegistraErro(QStringLiteral("Abastecimento não gravado: ") + FLogs.Rastro(dados));
    emit AtencaoSolicitada();
    FContexto.Mensagens().MostraMensagem(
        TTipoMensagem::Erro,
        QStringLiteral("Ocorreu um erro ao realizar a leitura do abastecimento:\r") + mensagem
            + QStringLiteral("\rFeche o sistema de conexão com o concentrador e o reinicie novamente!"));
    if (repassaErro)
        throw EErro(QStringLiteral("Erro ao tentar gravar o abastecimento ") + mensagem);
}

void TCicloLeitura::IniciaLog()
{
    const QDate hoje = FContexto.Relogio().Agora().date();
    FDiaLog = hoje;
    emit CabecalhoLogDefinido(MontaCabecalhoLog(hoje, FContexto.Regional()));
    const QString caminho = FContexto.Relogio().PastaExecutavel() + NomeLogDoDia(hoje, FContexto.Regional());
    if (QFileInfo::exists(caminho))
        emit LogRecarregado(LeLinhasLog(caminho));
}

std::optional<QStringList> TCicloLeitura::ComecaNovoDia()
{
    const QDate hoje = FContexto.Relogio().Agora().date();
    if (!FDiaLog.isValid() || hoje == FDiaLog)
        return std::nullopt;
    // The pane shows one day, as its file holds it: the header takes the new date, and the count
    // starts again (the lines of the day before stay in their own file).
    FDiaLog = hoje;
    emit CabecalhoLogDefinido(MontaCabecalhoLog(hoje, FContexto.Regional()));
    QStringList linhas;
    try {
        linhas = LeLinhasLog(FContexto.Relogio().PastaExecutavel() + NomeLogDoDia(hoje, FContexto.Regional()));
    } catch (const std::exception&) {
        // the file says what it holds when opened; the pane starts the day empty
    }
    emit LogRecarregado(linhas);
    return linhas;
}

void TCicloLeitura::AtualizaStatusBicos()
{
    const bool estavaMudo = ConcentradorMudo();
    auto silencio = qScopeGuard([&] {
        FStatusMudo = FMonitor.Mudo();
        AtualizaSilencio(estavaMudo);
    });
    FMonitor.AtualizaStatusBicos();
}
