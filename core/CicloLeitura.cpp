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
        // be, this tick must not store into it: its fueling would be marked stored before it commits.
        if (FContexto.CnTankora().EmTransacao())
            return;
        ComecaNovoDia();
        AnimaStatus();
        FLogs.Descarrega();
        // Reading does not wait for the database: what the concentrator delivers goes into the
        // journal, and waits there for the database.
        Drena();
        ContaDiario();
        bool bancoPronto = false;
        if (FContexto.Diario() && BancoAlcancavel()) {
            EncaminhaAguardando();
            if (!FEspera.Ativa()) {
                RetentaRetidos();
                ConfereGravados();
            }
            bancoPronto = !FEspera.Ativa();
            ContaDiario();
        }
        AtualizaAviso();
        if (bancoPronto && FParametros.Texto(QStringLiteral("visualizastatusbomba")) == QLatin1String("S")) {
            AtualizaStatusBicos();
        } else {
            FMonitor.EsqueceStatusGravados(); // unwatched meanwhile: read them again when it resumes
            const bool estavaMudo = ConcentradorMudo();
            FStatusMudo = false;
            AtualizaSilencio(estavaMudo);
        }
    } catch (const std::exception& e) {
        FContexto.MostraErroPadrao(
            MensagemParaOperador(QStringLiteral("Erro no banco de dados durante a leitura do concentrador."), e));
    }
}

bool TCicloLeitura::BancoAlcancavel()
{
    // Backing off: this tick leaves the database alone.
    if (!FEspera.PodeTentar())
        return false;
    TConexao& conexao = FContexto.CnTankora();
    if (conexao.Conectado() && !conexao.Perdida() && !FReconecta)
        return true;
    // Without a question: the operator may be away for hours. A refusal of the server's own (a
    // permission, a column) is tried again on a fresh attachment, which sees a grant or a change.
    try {
        conexao.Reconecta();
    } catch (const std::exception& e) {
        FEspera.Falhou(TMotivoEspera::Inacessivel, MensagemDe(e), nullptr);
        AtualizaAviso();
        return false;
    }
    FReconecta = false;
    FMonitor.EsqueceStatusGravados(); // perhaps another server, or a restored database
    if (FAguardando == 0) {
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

QString TextoStatusRetidos(qint64 retidos)
{
    return retidos == 1 ? QStringLiteral(" 1 abastecimento retido: chame o técnico")
                        : QStringLiteral(" %1 abastecimentos retidos: chame o técnico").arg(retidos);
}

void TCicloLeitura::AtualizaAviso()
{
    QStringList avisos;
    QStringList tipos;
    QString status;
    if (!FFalhaDiario.isEmpty()) {
        tipos << QStringLiteral("diario-sem-gravacao");
        status = kStatusDiarioSemGravacao;
        avisos << QStringLiteral("O diário dos abastecimentos não pode ser gravado (%1). A leitura do concentrador "
                                 "está parada até que ele possa ser gravado; os abastecimentos ficam guardados no "
                                 "concentrador.")
                      .arg(FFalhaDiario);
    }
    if (FEspera.Ativa()) {
        if (status.isEmpty())
            status = FEspera.TextoStatus(FAguardando);
        avisos << FEspera.Aviso(FAguardando);
        tipos << (FEspera.Motivo() == TMotivoEspera::Ocupado ? QStringLiteral("banco-ocupado")
                  : FEspera.Motivo() == TMotivoEspera::Recusa ? QStringLiteral("banco-recusa")
                                                              : QStringLiteral("banco-inacessivel"));
    }
    if (ConcentradorMudo()) {
        if (status.isEmpty())
            status = kStatusConcentradorMudo;
        tipos << QStringLiteral("concentrador-mudo");
        avisos << QStringLiteral("O concentrador não responde (%1). A leitura continua sozinha quando ele voltar a "
                                 "responder.")
                      .arg(!FSemResposta.isEmpty() ? FSemResposta : FMonitor.SemResposta());
    }
    if (FLogs.SemGravacao()) {
        if (status.isEmpty())
            status = FLogs.Causa() == TCausaFalhaLog::DiscoCheio ? kStatusLogDiscoCheio : kStatusLogSemGravacao;
        tipos << QStringLiteral("logs-sem-gravacao");
        avisos << QStringLiteral("Os arquivos de log não podem ser gravados (%1). Os abastecimentos continuam sendo "
                                 "gravados no banco de dados; as linhas do log serão gravadas quando a pasta aceitar "
                                 "gravação.")
                      .arg(FLogs.Motivo());
    }
    if (FRetidos > 0) {
        if (status.isEmpty())
            status = TextoStatusRetidos(FRetidos);
        tipos << QStringLiteral("retidos");
        avisos << (FRetidos == 1 ? QStringLiteral("1 abastecimento está retido")
                                 : QStringLiteral("%1 abastecimentos estão retidos").arg(FRetidos))
                + QStringLiteral(" no diário: o banco de dados recusou gravá-los, ou o bico não está cadastrado. Nada "
                                 "foi perdido. Chame o técnico (linkor-diario lista --retidos).");
    }
    if (!FDiarioAfastado.isEmpty()) {
        tipos << QStringLiteral("diario-afastado");
        avisos << QStringLiteral("O diário dos abastecimentos estava ilegível e foi guardado como %1; um diário novo "
                                 "foi começado. Chame o técnico.")
                      .arg(FDiarioAfastado);
    }
    static const QStringList kStatusParados = {kStatusBancoInacessivel, kStatusBancoOcupado, kStatusBancoRecusa,
                                               kStatusConcentradorMudo, kStatusLogSemGravacao,
                                               kStatusLogDiscoCheio, kStatusDiarioSemGravacao};
    if (!status.isEmpty()) {
        DefineTextoStatus(status);
        FStatusParado = true;
    } else if (FStatusParado || kStatusParados.contains(FTextoStatus)) {
        DefineTextoStatus(kProcurandoAbastecimentos);
        FStatusParado = false;
    }
    const QString aviso = avisos.join('\n');
    if (aviso != FAviso) {
        FAviso = aviso;
        FTipoAviso = tipos.join(',');
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
