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
    });
    try {
        // A dialog's write sequence holds the shared connection's transaction: this tick must not
        // commit its half-done work, so it waits for the next one.
        if (FContexto.CnTankora().EmTransacao())
            return;
        AnimaStatus();
        LeUmAbastecimento();
        if (FParametros.Texto(QStringLiteral("visualizastatusbomba")) == QLatin1String("S"))
            AtualizaStatusBicos();
        QCoreApplication::processEvents();
    } catch (const std::exception& e) {
        FContexto.MostraErroPadrao(MensagemDe(e));
    }
}

void TCicloLeitura::LeUmAbastecimento()
{
    try {
        TConcentrador& concentrador = *FContexto.Concentrador();
        if (FUsaFid)
            ProcessaAbastecimentoFid(concentrador.GetLeAbastecimentoFID());
        else
            ProcessaAbastecimento(concentrador.GetLeAbastecimento());
    } catch (const std::exception& e) {
        FContexto.GravaLogErro(QStringLiteral("Erro ao ler abastecimento: ") + MensagemDe(e));
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

bool TCicloLeitura::JaGravado(const TDadosAbastecimento& dados, const QString& codBico)
{
    return FAbastecimentos.JaGravado(dados.Id, FContexto.Regional().LeData(dados.Data), codBico, dados.Litragem,
                                     FParametros.ReabreParametros());
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
    TConexao& conexao = FContexto.CnTankora();
    try {
        if (!dados.Valido)
            return TResultadoAbastecimento::SemAbastecimento;
        if (Arredonda(dados.Litragem, 2) == 0 || Arredonda(dados.PrecoUnit / 10000.0, 2) == 0)
            return TResultadoAbastecimento::ValoresZerados;
        // A record whose floating-point fields are not numbers is refused, never stored as money.
        if (!std::isfinite(dados.Litragem) || !std::isfinite(dados.EncerranteFinal))
            throw EErroConversao(QStringLiteral("Abastecimento ID %1 com litragem ou encerrante inválido")
                                     .arg(dados.Id));
        FBicoConcentrador = CodigoConcentrador(dados.Bico);
        const std::optional<TBico> bico = FBicos.LocalizaBico(FBicoConcentrador);
        if (!bico) {
            FContexto.GravaLogErro(QStringLiteral("O sistema não encontrou nenhum bico relacionado com o concentrador ")
                                   + FBicoConcentrador + QStringLiteral(" ID: ") + StrZero(QString::number(dados.Id), 4)
                                   + QStringLiteral(" Dinheiro: ")
                                   + FContexto.Regional().TextoNumero(dados.ValorTotal / 10000.0)
                                   + QStringLiteral(" Litros: ") + FContexto.Regional().TextoNumero(dados.Litragem));
            return TResultadoAbastecimento::BicoDesconhecido;
        }
        const QString combustivel = FParametros.Texto(QStringLiteral("ImpreDescBico")) == QLatin1String("S")
            ? bico->DescricaoBico
            : bico->DescricaoProduto;
        const QString grade = SubstituiTexto(bico->Grade, QStringLiteral("/"), QString());
        IniciaTransacao(conexao);
        QString hora = dados.Hora;
        GravaAbastecimento(hora, dados.Data, bico->CodBico, combustivel, bico->CodProd, grade, dados.CodFid,
                           dados.Litragem, dados.ValorTotal / 10000.0, dados.PrecoUnit / 10000.0, 0,
                           dados.EncerranteFinal, dados.Id, FBicoConcentrador);
        ConfirmaTransacao(conexao);
        FParametros.ConfirmaSequencia();
        QCoreApplication::processEvents();
        return TResultadoAbastecimento::Gravado;
    } catch (const std::exception& e) {
        const QString mensagem = MensagemDe(e);
        conexao.Abandona();
        FParametros.DescartaSequencia();
        emit AtencaoSolicitada();
        FContexto.Mensagens().MostraMensagem(
            TTipoMensagem::Erro,
            QStringLiteral("Ocorreu um erro ao realizar a leitura do abastecimento:\r") + mensagem
                + QStringLiteral("\rFeche o sistema de conexão com o concentrador e o reinicie novamente!"));
        if (repassaErro)
            throw EErro(QStringLiteral("Erro ao tentar gravar o abastecimento ") + mensagem);
        return TResultadoAbastecimento::Falhou;
    }
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
        } catch (const std::exception& e) {
            const QString mensagem = MensagemDe(e);
            FContexto.GravaLogErro(QStringLiteral("Erro ao tentar gravar o abastecimento:  Sequencia: ")
                                   + QString::number(linha.Sequencia) + QStringLiteral(" Data: ")
                                   + regional.TextoData(linha.Data) + QStringLiteral(" Hora: ") + PHora
                                   + QStringLiteral(" Bico: ") + PCodBico + QStringLiteral(" Erro: ") + mensagem);
            EscreveLinhaLog(PData, PHora, PCodBico, PLitragem, PValor, PPrecoUnit,
                            QString::number(FParametros.ReabreParametros()), QString::number(PId), CodConcentrador);
            throw EErro(QStringLiteral("Erro ao tentar gravar o abastecimento ") + mensagem);
        }
        EscreveLinhaLog(PData, PHora, PCodBico, PLitragem, PValor, PPrecoUnit,
                        QString::number(FParametros.ReabreParametros()), QString::number(PId), CodConcentrador);
        if (PId == 9999)
            FParametros.AtualizaSequencia();
    } catch (const std::exception& e) {
        throw EErro(QStringLiteral("Erro ao Gravar o Abastecimento") + MensagemDe(e));
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
    FLogAbastecimentos.Acrescenta(
        FContexto.Relogio().PastaExecutavel() + NomeLogDoDia(FContexto.Relogio().Agora().date(), regional), linha);
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
    // One commit for the whole tick when no other transaction is open; inside another one's
    // transaction the updates simply join it.
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
                FContexto.GravaLogErro(QStringLiteral("Erro ao tentar gravar status do bico ")
                                       + StrZero(QString::number(p), 2));
                // What was written before the failure stays, as if each update had been committed.
                transacao.Confirma();
                throw EErro(QStringLiteral("Erro ao tentar gravar o status do bico") + mensagem);
            }
        }
    }
    transacao.Confirma();
}
