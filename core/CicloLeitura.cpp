#include "CicloLeitura.h"

#include "Contexto.h"
#include "Erro.h"
#include "RepositorioParametros.h"
#include "Textos.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QScopeGuard>

#include <cmath>

namespace {

constexpr int kPassosAnimacao = 14;
constexpr int kPosicoesComCodigo = 32;
const QString kSemTag = QStringLiteral("0000000000000000");
// Every second of a day taken on one nozzle is the most the time can move.
constexpr int kMaximoSegundosMovidos = 24 * 60 * 60;

template <typename TRegistro>
TDadosAbastecimento DecodificaComum(const TRegistro& registro)
{
    TDadosAbastecimento d;
    d.Valido = registro.Valido != 0;
    d.ValorTotal = registro.ValorTotal;
    d.Litragem = registro.Litragem;
    d.PrecoUnit = registro.PrecoUnit;
    d.Bico = registro.Bico.Texto();
    d.Data = registro.Data.Texto();
    d.Hora = registro.Hora.Texto();
    d.Id = registro.Id;
    d.EncerranteFinal = registro.EncerranteFinal;
    return d;
}

} // namespace

TDadosAbastecimento TDadosAbastecimento::De(const TAbastecimento& registro)
{
    return DecodificaComum(registro);
}

TDadosAbastecimento TDadosAbastecimento::De(const TAbastecimentoFid& registro)
{
    TDadosAbastecimento d = DecodificaComum(registro);
    d.CodFid = registro.CodFid.Texto().left(16);
    return d;
}

TCicloLeitura::TCicloLeitura(TContexto& contexto, TRepositorioParametros& parametros, QObject* parent)
    : QObject(parent), FContexto(contexto), FParametros(parametros), FBicos(contexto), FAbastecimentos(contexto)
{
    FLeConcentrador.setParent(this); // moves with the cycle to the engine's thread
    FLeConcentrador.setObjectName(QStringLiteral("LeConcentrador"));
    connect(&FLeConcentrador, &QTimer::timeout, this, &TCicloLeitura::LeConcentradorTimer);
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
    // interval after this one ends, after any box it showed was closed.
    FLeConcentrador.stop();
    FEmTick = true;
    auto reabilita = qScopeGuard([this] {
        FEmTick = false;
        HabilitaLeitura();
        emit TiqueConcluido();
    });
    try {
        // A dialog's write sequence holds the shared connection's transaction: this tick must not
        // commit its half-done work, so it waits for the next one.
        if (FContexto.CnTankora().EmTransacao())
            return;
        AnimaStatus();
        DescarregaLogs();
        // While the database cannot be reached nothing is read: the concentrator keeps the fuelings.
        if (BancoAlcancavel()) {
            LeUmAbastecimento();
            if (!FBancoIndisponivel
                && FParametros.Texto(QStringLiteral("visualizastatusbomba")) == QLatin1String("S"))
                AtualizaStatusBicos();
            else
                FBicos.EsqueceStatusGravados(); // unwatched meanwhile: read them again when it resumes
        }
        QCoreApplication::processEvents();
    } catch (const std::exception& e) {
        FContexto.MostraErroPadrao(MensagemDe(e));
    }
}

void TCicloLeitura::LeUmAbastecimento()
{
    try {
        if (FPendente) {
            const TDadosAbastecimento pendente = *FPendente;
            ArmazenaNoCiclo(pendente);
            return;
        }
        TConcentrador& concentrador = *FContexto.Concentrador();
        if (FUsaFid)
            ArmazenaNoCiclo(TDadosAbastecimento::De(concentrador.GetLeAbastecimentoFID()));
        else
            ArmazenaNoCiclo(TDadosAbastecimento::De(concentrador.GetLeAbastecimento()));
    } catch (const std::exception& e) {
        RegistraErro(QStringLiteral("Erro ao ler abastecimento: ") + MensagemDe(e));
    }
}

bool TCicloLeitura::BancoAlcancavel()
{
    TConexao& conexao = FContexto.CnTankora();
    if (conexao.Conectado() && !conexao.Perdida())
        return true;
    // One attempt per tick, without a question: the operator may be away for hours.
    try {
        conexao.Reconecta();
    } catch (const std::exception& e) {
        IniciaIndisponibilidade(MensagemDe(e), nullptr);
        return false;
    }
    FBicos.EsqueceStatusGravados(); // perhaps another server, or a restored database
    if (!FPendente)
        EncerraIndisponibilidade();
    return true;
}

void TCicloLeitura::IniciaIndisponibilidade(const QString& motivo, const TDadosAbastecimento* dados)
{
    if (!FBancoIndisponivel) {
        FBancoIndisponivel = true;
        QString linha = QStringLiteral("Banco de dados inacessível: ") + QString(motivo).replace('\n', ' ');
        if (dados)
            linha += QStringLiteral(" Abastecimento aguardando gravação: ") + Rastro(*dados);
        RegistraErro(linha);
    }
    AtualizaAviso();
}

void TCicloLeitura::EncerraIndisponibilidade()
{
    if (!FBancoIndisponivel)
        return;
    FBancoIndisponivel = false;
    RegistraErro(QStringLiteral("Banco de dados acessível novamente."));
    AtualizaAviso();
}

void TCicloLeitura::DescarregaLogs()
{
    if (!FLogSemGravacao)
        return;
    const bool erros = FContexto.LogErros().Descarrega();
    const bool abastecimentos = FLogAbastecimentos.Descarrega();
    if (erros && abastecimentos) {
        FLogSemGravacao = false;
        RegistraErro(QStringLiteral("Os arquivos de log voltaram a aceitar gravação; as linhas retidas foram gravadas."));
        AtualizaAviso();
    }
}

void TCicloLeitura::AtualizaAviso()
{
    QString aviso;
    QString status;
    if (FBancoIndisponivel) {
        status = kStatusBancoInacessivel;
        aviso = FPendente ? QStringLiteral("Banco de dados inacessível: um abastecimento aguarda para ser gravado. "
                                           "A leitura continua sozinha quando o banco voltar.")
                          : QStringLiteral("Banco de dados inacessível. A leitura continua sozinha quando o banco "
                                           "voltar.");
    }
    if (FLogSemGravacao) {
        if (status.isEmpty())
            status = kStatusLogSemGravacao;
        const QString motivo = !FLogAbastecimentos.Motivo().isEmpty() ? FLogAbastecimentos.Motivo()
                                                                      : FContexto.LogErros().Motivo();
        aviso += QString(aviso.isEmpty() ? "" : "\n")
            + QStringLiteral("Os arquivos de log não podem ser gravados (%1). Os abastecimentos continuam sendo "
                             "gravados no banco de dados; as linhas do log serão gravadas quando a pasta aceitar "
                             "gravação.")
                  .arg(motivo);
    }
    if (!status.isEmpty())
        DefineTextoStatus(status);
    else if (FTextoStatus == kStatusBancoInacessivel || FTextoStatus == kStatusLogSemGravacao)
        DefineTextoStatus(kProcurandoAbastecimentos);
    if (aviso != FAviso) {
        FAviso = aviso;
        emit AvisoAlterado(aviso);
    }
}

void TCicloLeitura::RegistraErro(const QString& mensagem)
{
    try {
        FContexto.GravaLogErro(mensagem);
    } catch (const std::exception&) {
        // kept by the log and written once the folder accepts writing
        if (!FLogSemGravacao) {
            FLogSemGravacao = true;
            AtualizaAviso();
        }
    }
}

QString TCicloLeitura::Rastro(const TDadosAbastecimento& dados) const
{
    const TConfiguracaoRegional& regional = FContexto.Regional();
    return QStringLiteral("ID: %1 Bico: %2 Data: %3 Hora: %4 Litros: %5 Valor: %6")
        .arg(StrZero(QString::number(dados.Id), 4), dados.Bico, dados.Data, dados.Hora,
             regional.TextoNumero(dados.Litragem), regional.TextoNumero(dados.ValorTotal / 10000.0));
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

bool TCicloLeitura::JaGravado(const TDadosAbastecimento& dados, const QString& codBico)
{
    QDate data;
    try {
        data = FContexto.Regional().LeData(dados.Data);
    } catch (const EErroConversao&) {
        return false;
    }
    return FAbastecimentos.JaGravado(dados.Id, data, codBico, dados.Litragem, FParametros.ReabreParametros());
}

QString TCicloLeitura::CodigoConcentrador(const QString& bicoHexa)
{
    return StrZero(QString::number(LeInteiro(QStringLiteral("$") + bicoHexa)), 3);
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
        return Armazena(dados);
    } catch (const std::exception& e) {
        FalhaDoAbastecimento(dados, MensagemDe(e), repassaErro);
    }
    return TResultadoAbastecimento::Falhou;
}

void TCicloLeitura::ArmazenaNoCiclo(const TDadosAbastecimento& dados)
{
    try {
        Armazena(dados);
    } catch (const EErroBanco& e) {
        if (!e.Transitorio()) {
            FPendente.reset();
            FalhaDoAbastecimento(dados, e.Mensagem(), !FUsaFid);
            return;
        }
        // Kept for the next ticks; the library's next read would acknowledge it, so none happens.
        FContexto.CnTankora().Abandona();
        FParametros.DescartaSequencia();
        FLinhasAdiadas.clear();
        FPendente = dados;
        IniciaIndisponibilidade(e.Mensagem(), &dados);
        return;
    } catch (const std::exception& e) {
        FPendente.reset();
        FalhaDoAbastecimento(dados, MensagemDe(e), !FUsaFid);
        return;
    }
    FPendente.reset();
    EncerraIndisponibilidade();
}

void TCicloLeitura::FalhaDoAbastecimento(const TDadosAbastecimento& dados, const QString& mensagem,
                                         bool repassaErro)
{
    FContexto.CnTankora().Abandona();
    FParametros.DescartaSequencia();
    FLinhasAdiadas.clear();
    // What the operator needs to capture it by ID later.
    RegistraErro(QStringLiteral("Abastecimento não gravado: ") + Rastro(dados));
    emit AtencaoSolicitada();
    FContexto.Mensagens().MostraMensagem(
        TTipoMensagem::Erro,
        QStringLiteral("Ocorreu um erro ao realizar a leitura do abastecimento:\r") + mensagem
            + QStringLiteral("\rFeche o sistema de conexão com o concentrador e o reinicie novamente!"));
    if (repassaErro)
        throw EErro(QStringLiteral("Erro ao tentar gravar o abastecimento ") + mensagem);
}

TResultadoAbastecimento TCicloLeitura::Armazena(const TDadosAbastecimento& dados)
{
    TConexao& conexao = FContexto.CnTankora();
    if (!dados.Valido)
        return TResultadoAbastecimento::SemAbastecimento;
    if (Arredonda(dados.Litragem, 2) == 0 || Arredonda(dados.PrecoUnit / 10000.0, 2) == 0)
        return TResultadoAbastecimento::ValoresZerados;
    // A record whose floating-point fields are not numbers is refused, never stored as money.
    if (!std::isfinite(dados.Litragem) || !std::isfinite(dados.EncerranteFinal))
        throw EErroConversao(QStringLiteral("Abastecimento ID %1 com litragem ou encerrante inválido").arg(dados.Id));
    FBicoConcentrador = CodigoConcentrador(dados.Bico);
    // One transaction for the whole fueling, the nozzle lookup included.
    const bool propria = !conexao.EmTransacao();
    IniciaTransacao(conexao);
    const std::optional<TBico> bico = FBicos.LocalizaBico(FBicoConcentrador);
    if (!bico) {
        if (propria)
            DesfazTransacao(conexao);
        RegistraErro(QStringLiteral("O sistema não encontrou nenhum bico relacionado com o concentrador ")
                     + FBicoConcentrador + QStringLiteral(" ID: ") + StrZero(QString::number(dados.Id), 4)
                     + QStringLiteral(" Dinheiro: ") + FContexto.Regional().TextoNumero(dados.ValorTotal / 10000.0)
                     + QStringLiteral(" Litros: ") + FContexto.Regional().TextoNumero(dados.Litragem));
        return TResultadoAbastecimento::BicoDesconhecido;
    }
    // The counter as it is now: another program may have advanced it.
    FParametros.Rele();
    const QString combustivel = FParametros.Texto(QStringLiteral("ImpreDescBico")) == QLatin1String("S")
        ? bico->DescricaoBico
        : bico->DescricaoProduto;
    const QString grade = SubstituiTexto(bico->Grade, QStringLiteral("/"), QString());
    // Delivered again (the library delivers at least once; a crash before its acknowledgement):
    // never a second row, never a second advance of the sequence.
    if (JaGravado(dados, bico->CodBico)) {
        if (propria)
            DesfazTransacao(conexao);
        RegistraErro(QStringLiteral("Abastecimento já gravado, recebido novamente e ignorado: ") + Rastro(dados));
        return TResultadoAbastecimento::JaGravado;
    }
    QString hora = dados.Hora;
    FAdiaLinhas = true;
    FLinhasAdiadas.clear();
    auto libera = qScopeGuard([this] { FAdiaLinhas = false; });
    GravaAbastecimento(hora, dados.Data, bico->CodBico, combustivel, bico->CodProd, grade, dados.CodFid,
                       dados.Litragem, dados.ValorTotal / 10000.0, dados.PrecoUnit / 10000.0, 0,
                       dados.EncerranteFinal, dados.Id, FBicoConcentrador);
    ConfirmaTransacao(conexao);
    FParametros.ConfirmaSequencia();
    FAdiaLinhas = false;
    const QStringList linhas = std::exchange(FLinhasAdiadas, {});
    for (const QString& linha : linhas)
        GravaLinhaLog(linha);
    QCoreApplication::processEvents();
    return TResultadoAbastecimento::Gravado;
}

void TCicloLeitura::GravaAbastecimento(QString& PHora, const QString& PData, const QString& PCodBico,
                                       const QString& PCombustivel, const QString& PCodProd,
                                       const QString& PCodGrade, const QString& PCodFid, double PLitragem,
                                       double PValor, double PPrecoUnit, double PDesconto, double PEncerranteFinal,
                                       qint32 PId, const QString& CodConcentrador)
{
    const TConfiguracaoRegional& regional = FContexto.Regional();
    try {
        QTime hora = regional.LeHora(PHora);
        const QString dataComPontos = SubstituiTexto(PData, QStringLiteral("/"), QStringLiteral("."));
        // Move the time past any other fueling of this nozzle at the same date and second, unless
        // this very fueling is the one already stored.
        for (int movidos = 0;; ++movidos) {
            if (!FAbastecimentos.ExisteNaHora(dataComPontos, regional.TextoHoraLonga(hora), PCodBico)
                || FAbastecimentos.ExisteAbastecimento(PId, FParametros.ReabreParametros(), dataComPontos))
                break;
            if (movidos >= kMaximoSegundosMovidos)
                throw EErro(QStringLiteral("Não há horário livre no dia %1 para o bico %2.").arg(PData, PCodBico));
            hora = hora.addSecs(1);
        }
        PHora = regional.TextoHoraLonga(hora);

        TLinhaMvAbast linha;
        linha.Data = regional.LeData(PData);
        linha.Hora = PHora;
        linha.CodBico = PCodBico;
        linha.Combustivel = PCombustivel;
        linha.Litragem = PLitragem;
        linha.Valor = PValor;
        linha.CodProd = PCodProd;
        linha.CodGrade = PCodGrade;
        if (FUsaFid && PCodFid != kSemTag)
            linha.CodFid = PCodFid.isNull() ? QStringLiteral("") : PCodFid;
        linha.PrecoUnit = PPrecoUnit;
        linha.Desconto = PDesconto;
        linha.Id = PId;
        linha.Sequencia = FParametros.ReabreParametros();
        linha.EncerranteFinal = PEncerranteFinal;
        try {
            FAbastecimentos.Insere(linha);
        } catch (const EErroBanco& e) {
            // The connection or a lock: the whole fueling is tried again later, so this attempt
            // leaves no line of its own.
            if (e.Transitorio())
                RepassaComPrefixo(QStringLiteral("Erro ao tentar gravar o abastecimento "), e);
            const QString mensagem = MensagemDe(e);
            FContexto.GravaLogErro(QStringLiteral("Erro ao tentar gravar o abastecimento:  Sequencia: ")
                                   + QString::number(linha.Sequencia) + QStringLiteral(" Data: ")
                                   + regional.TextoData(linha.Data) + QStringLiteral(" Hora: ") + PHora
                                   + QStringLiteral(" Bico: ") + PCodBico + QStringLiteral(" Erro: ") + mensagem);
            FAdiaLinhas = false; // a refused fueling still appears in the log
            EscreveLinhaLog(PData, PHora, PCodBico, PLitragem, PValor, PPrecoUnit,
                            QString::number(FParametros.ReabreParametros()), QString::number(PId), CodConcentrador);
            RepassaComPrefixo(QStringLiteral("Erro ao tentar gravar o abastecimento "), e);
        }
        EscreveLinhaLog(PData, PHora, PCodBico, PLitragem, PValor, PPrecoUnit,
                        QString::number(FParametros.ReabreParametros()), QString::number(PId), CodConcentrador);
        if (PId == 9999)
            FParametros.AtualizaSequencia();
    } catch (const std::exception& e) {
        RepassaComPrefixo(QStringLiteral("Erro ao Gravar o Abastecimento"), e);
    }
}

void TCicloLeitura::IniciaLog()
{
    const QDate hoje = FContexto.Relogio().Agora().date();
    emit CabecalhoLogDefinido(MontaCabecalhoLog(hoje, FContexto.Regional()));
    const QString caminho = FContexto.Relogio().PastaExecutavel() + NomeLogDoDia(hoje, FContexto.Regional());
    if (QFileInfo::exists(caminho))
        emit LogRecarregado(LeLinhasLog(caminho));
}

void TCicloLeitura::EscreveLinhaLog(const QString& Data, const QString& Hora, const QString& Bico, double Litragem,
                                    double Valor, double PrecoUnit, const QString& Sequencia, const QString& Id,
                                    const QString& CodConcentrador)
{
    const TConfiguracaoRegional& regional = FContexto.Regional();
    const QString linha =
        MontaLinhaLog(Data, Hora, Bico, Litragem, Valor, PrecoUnit, Sequencia, Id, CodConcentrador, regional);
    if (FAdiaLinhas)
        FLinhasAdiadas << linha;
    else
        GravaLinhaLog(linha);
}

void TCicloLeitura::GravaLinhaLog(const QString& linha)
{
    try {
        FLogAbastecimentos.Acrescenta(FContexto.Relogio().PastaExecutavel()
                                          + NomeLogDoDia(FContexto.Relogio().Agora().date(), FContexto.Regional()),
                                      linha);
    } catch (const std::exception&) {
        // The fueling is stored: the line is kept and written once the folder accepts writing.
        if (!FLogSemGravacao) {
            FLogSemGravacao = true;
            AtualizaAviso();
        }
    }
    emit LinhaLogEscrita(linha);
}

QStringList TCicloLeitura::MontaCanais(const QString& Codigo)
{
    // Position j on channel k is known to the station as 4 + 64*(k-1) + (j-1).
    for (int canal = 0; canal < 4; ++canal) {
        for (int linha = 0; linha < kPosicoesComCodigo; ++linha) {
            if (StrZero(QString::number(4 + 64 * canal + linha), 3) == Codigo) {
                QStringList codigos;
                for (int k = 0; k < 4; ++k)
                    codigos << StrZero(QString::number(4 + 64 * k + linha), 3);
                return codigos;
            }
        }
    }
    return {QString(), QString(), QString(), QString()};
}

void TCicloLeitura::AtualizaStatusBicos()
{
    QString status;
    try {
        status = FContexto.Concentrador()->GetLeStatus();
    } catch (const EErroSemResposta& e) {
        // No answer is not "every nozzle free": nothing is written this tick. Logged once per run
        // of failures, since it repeats every tick while the concentrator is silent.
        if (!FFalhaStatus)
            FContexto.GravaLogErro(MensagemDe(e));
        FFalhaStatus = true;
        return;
    }
    FFalhaStatus = false;
    static const QString kLetras = QStringLiteral("ABCEFLP");
    // What the nozzles hold, read before the refresh's own transaction (a refresh that changes
    // nothing then starts none), or as the last refresh left them. One commit for the whole tick
    // when no other transaction is open; inside another one's transaction the updates simply join
    // it, and since that one may still be undone, the letters are read again next time.
    bool confiavel = false;
    auto esquece = qScopeGuard([&] {
        if (!confiavel)
            FBicos.EsqueceStatusGravados();
    });
    if (!FBicos.StatusGravadosLidos() || ++FRefreshesSemLerStatus >= kRefreshesReleituraStatus) {
        FBicos.LeStatusGravados();
        FRefreshesSemLerStatus = 0;
    } else if (status == FStatusAplicado) {
        // The same answer the last refresh committed in full: every nozzle holds its letter.
        confiavel = true;
        return;
    }
    TGuardaTransacao transacao(FContexto.CnTankora());
    // Positions above 32 have no concentrator codes: an update with an empty code would stamp
    // every nozzle that is not on the concentrator, so they are skipped.
    const int posicoes = static_cast<int>(std::min<qsizetype>(status.size(), kPosicoesComCodigo));
    for (int p = 1; p <= posicoes; ++p) {
        const QChar letra = status.at(p - 1);
        if (!kLetras.contains(letra))
            continue;
        const QStringList codigos = MontaCanais(StrZero(QString::number(p + 3), 3));
        for (const QString& codigo : codigos) {
            try {
                FBicos.GravaStatusBico(QString(letra), codigo);
            } catch (const std::exception& e) {
                const QString mensagem = MensagemDe(e);
                const auto* banco = dynamic_cast<const EErroBanco*>(&e);
                const bool transitorio = banco && banco->Transitorio();
                // A row another program holds, or a database that went away, repeats every tick:
                // one line until the status is written again, and no box.
                if (!transitorio || !FFalhaStatusBanco)
                    RegistraErro(QStringLiteral("Erro ao tentar gravar status do bico ") + StrZero(QString::number(p), 2)
                                 + (transitorio ? QStringLiteral(": ") + mensagem : QString()));
                // What was written before the failure stays, as if each update had been committed.
                try {
                    transacao.Confirma();
                } catch (const std::exception&) {
                    // the status error is the one to report
                }
                if (transitorio) {
                    FFalhaStatusBanco = true;
                    return;
                }
                throw EErro(QStringLiteral("Erro ao tentar gravar o status do bico") + mensagem);
            }
        }
    }
    transacao.Confirma();
    confiavel = transacao.Propria();
    FStatusAplicado = status;
    FFalhaStatusBanco = false;
}
