#include "GravadorAbastecimentos.h"

#include "Contexto.h"
#include "Erro.h"
#include "RegistroLogs.h"
#include "RepositorioParametros.h"
#include "Textos.h"

#include <QScopeGuard>

#include <cmath>

namespace {

const QString kSemTag = QStringLiteral("0000000000000000");
// Every second of a day taken on one nozzle is the most the time can move.
constexpr int kMaximoSegundosMovidos = 24 * 60 * 60;

QString DataComPontos(const QDate& data)
{
    return data.toString(QStringLiteral("dd.MM.yyyy"));
}

} // namespace

TGravadorAbastecimentos::TGravadorAbastecimentos(TContexto& contexto, TRepositorioParametros& parametros,
                                                 TRegistroLogs& logs)
    : FContexto(contexto), FParametros(parametros), FLogs(logs), FBicos(contexto), FAbastecimentos(contexto)
{
}

QString TGravadorAbastecimentos::CodigoConcentrador(const QString& bicoHexa)
{
    return StrZero(QString::number(LeInteiro(QStringLiteral("$") + bicoHexa)), 3);
}

bool TGravadorAbastecimentos::ValoresPlausiveis(const TDadosAbastecimento& dados)
{
    return std::isfinite(dados.Litragem) && dados.Litragem > 0 && dados.PrecoUnit > 0 && dados.ValorTotal > 0
        && std::isfinite(dados.EncerranteFinal);
}

TGravacao TGravadorAbastecimentos::Armazena(const TDadosAbastecimento& dados, const TOpcoesGravacao& opcoes)
{
    TGravacao gravacao;
    FOpcoes = opcoes;
    FChaveDeOutro = false;
    if (!dados.Valido) {
        gravacao.Motivo = QStringLiteral("O registro não traz abastecimento (marca de abastecimento zerada).");
        return gravacao;
    }
    gravacao.Resultado = TResultadoAbastecimento::ValoresZerados;
    if (Arredonda(dados.Litragem, 2) == 0 || Arredonda(dados.PrecoUnit / 10000.0, 2) == 0) {
        gravacao.Motivo = QStringLiteral("A litragem ou o preço unitário é zero.");
        return gravacao;
    }
    // No sale has negative, infinite or not-a-number litres, nor a price or amount of zero or less:
    // such a record is never stored as money. It is passed over like the ones above, with a line.
    if (!ValoresPlausiveis(dados)) {
        gravacao.Motivo = QStringLiteral("Abastecimento com litragem, preço unitário, valor ou encerrante impossível, "
                                         "não gravado: ")
            + FLogs.Rastro(dados) + QStringLiteral(" Preço unitário: ")
            + FContexto.Regional().TextoNumero(dados.PrecoUnit / 10000.0) + QStringLiteral(" Encerrante: ")
            + FContexto.Regional().TextoNumero(dados.EncerranteFinal);
        if (opcoes.RegistraFalhas)
            FLogs.RegistraErro(gravacao.Motivo);
        gravacao.Resultado = TResultadoAbastecimento::ValoresInvalidos;
        return gravacao;
    }
    FBicoConcentrador = CodigoConcentrador(dados.Bico);
    // One transaction for the whole fueling, the nozzle lookup included. A failure rolls it back
    // and the sequence advance with it.
    TGuardaTransacao transacao(FContexto.CnTankora());
    auto descarta = qScopeGuard([this] { FParametros.DescartaSequencia(); });
    const std::optional<TBico> bico = FBicos.LocalizaBico(FBicoConcentrador);
    if (!bico) {
        gravacao.Motivo = QStringLiteral("O sistema não encontrou nenhum bico relacionado com o concentrador ")
            + FBicoConcentrador + QStringLiteral(" ID: ") + StrZero(QString::number(dados.Id), 4)
            + QStringLiteral(" Dinheiro: ") + FContexto.Regional().TextoNumero(dados.ValorTotal / 10000.0)
            + QStringLiteral(" Litros: ") + FContexto.Regional().TextoNumero(dados.Litragem);
        if (opcoes.RegistraFalhas)
            FLogs.RegistraErro(gravacao.Motivo);
        gravacao.Resultado = TResultadoAbastecimento::BicoDesconhecido;
        return gravacao;
    }
    // The counter as it is now: another program may have advanced it.
    FParametros.Rele();
    // Delivered again (the library delivers at least once; a crash before its acknowledgement):
    // never a second row, never a second advance of the sequence.
    if (const std::optional<TChaveMvAbast> gravado = LocalizaGravado(dados, bico->CodBico)) {
        FLogs.RegistraErro(QStringLiteral("Abastecimento já gravado, recebido novamente e ignorado: ")
                           + FLogs.Rastro(dados));
        gravacao.Resultado = TResultadoAbastecimento::JaGravado;
        gravacao.Chave = *gravado;
        return gravacao;
    }
    TLinhaMvAbast linha;
    linha.Hora = dados.Hora;
    linha.CodBico = bico->CodBico;
    linha.Combustivel = FParametros.Texto(QStringLiteral("ImpreDescBico")) == QLatin1String("S")
        ? bico->DescricaoBico
        : bico->DescricaoProduto;
    linha.Litragem = dados.Litragem;
    linha.Valor = dados.ValorTotal / 10000.0;
    linha.CodProd = bico->CodProd;
    linha.CodGrade = SubstituiTexto(bico->Grade, QStringLiteral("/"), QString());
    linha.CodFid = dados.CodFid;
    linha.PrecoUnit = dados.PrecoUnit / 10000.0;
    linha.Desconto = 0;
    linha.Id = dados.Id;
    linha.EncerranteFinal = dados.EncerranteFinal;
    gravacao.Linhas = GravaAbastecimento(linha, dados.Data, FBicoConcentrador);
    transacao.Confirma();
    descarta.dismiss();
    FParametros.ConfirmaSequencia();
    gravacao.Resultado = TResultadoAbastecimento::Gravado;
    gravacao.Chave = {linha.Sequencia, linha.Data, linha.CodBico, linha.Hora};
    return gravacao;
}

QStringList TGravadorAbastecimentos::GravaAbastecimento(TLinhaMvAbast& linha, const QString& data,
                                                        const QString& codConcentrador)
{
    const TConfiguracaoRegional& regional = FContexto.Regional();
    try {
        QTime hora = regional.LeHora(linha.Hora);
        const QString dataComPontos = SubstituiTexto(data, QStringLiteral("/"), QStringLiteral("."));
        // Asked for by a technician: the key still taken by another fueling means a concentrator
        // that began its numbering again, and a new sequence is what the wrap after 9999 gives.
        if (FOpcoes.NovaSequencia
            && FAbastecimentos.ExisteAbastecimento(linha.Id, FParametros.ReabreParametros(), dataComPontos))
            FParametros.AtualizaSequencia();
        // Move the time past any other fueling of this nozzle at the same date and second, unless
        // this very fueling is the one already stored.
        for (int movidos = 0;; ++movidos) {
            if (!FAbastecimentos.ExisteNaHora(dataComPontos, regional.TextoHoraLonga(hora), linha.CodBico)
                || FAbastecimentos.ExisteAbastecimento(linha.Id, FParametros.ReabreParametros(), dataComPontos))
                break;
            if (movidos >= kMaximoSegundosMovidos)
                throw EErro(QStringLiteral("Não há horário livre no dia %1 para o bico %2.").arg(data, linha.CodBico));
            hora = hora.addSecs(1);
        }
        linha.Hora = regional.TextoHoraLonga(hora);
        linha.Data = regional.LeData(data);
        if (!FUsaFid || linha.CodFid == kSemTag)
            linha.CodFid = QString();
        else if (linha.CodFid.isNull())
            linha.CodFid = QStringLiteral("");
        linha.Sequencia = FParametros.ReabreParametros();
        try {
            FAbastecimentos.Insere(linha);
        } catch (const EErroBanco& e) {
            // Anything but the row's own values is tried again later, as a whole: this attempt
            // leaves no line of its own.
            if (e.Transitorio())
                RepassaComPrefixo(QStringLiteral("Erro ao tentar gravar o abastecimento "), e);
            // Refused by the key while another fueling holds it: the concentrator numbered afresh.
            try {
                FChaveDeOutro = FAbastecimentos.ExisteAbastecimento(linha.Id, linha.Sequencia, dataComPontos);
            } catch (const std::exception&) {
                FChaveDeOutro = false;
            }
            if (FOpcoes.RegistraFalhas)
                FLogs.RegistraErro(QStringLiteral("Erro ao tentar gravar o abastecimento:  Sequencia: ")
                               + QString::number(linha.Sequencia) + QStringLiteral(" Data: ")
                               + regional.TextoData(linha.Data) + QStringLiteral(" Hora: ") + linha.Hora
                               + QStringLiteral(" Bico: ") + linha.CodBico + QStringLiteral(" Erro: ") + MensagemDe(e));
            // Refused: no fueling line anywhere. The pane, the day's file and the count show rows
            // of MvAbast, nothing else.
            RepassaComPrefixo(QStringLiteral("Erro ao tentar gravar o abastecimento "), e);
        }
        const QStringList linhas{LinhaLog(linha, data, codConcentrador)};
        if (linha.Id == 9999)
            FParametros.AtualizaSequencia();
        return linhas;
    } catch (const std::exception& e) {
        RepassaComPrefixo(QStringLiteral("Erro ao Gravar o Abastecimento"), e);
    }
}

QString TGravadorAbastecimentos::LinhaLog(const TLinhaMvAbast& linha, const QString& data,
                                          const QString& codConcentrador) const
{
    return MontaLinhaLog(data, linha.Hora, linha.CodBico, linha.Litragem, linha.Valor, linha.PrecoUnit,
                         QString::number(FParametros.ReabreParametros()), QString::number(linha.Id), codConcentrador,
                         FContexto.Regional());
}

bool TGravadorAbastecimentos::ExisteGravado(qint32 id, qint64 sequencia, const QDate& data)
{
    TGuardaTransacao transacao(FContexto.CnTankora());
    return FAbastecimentos.ExisteAbastecimento(id, sequencia, DataComPontos(data));
}

std::optional<TChaveMvAbast> TGravadorAbastecimentos::LocalizaGravado(const TDadosAbastecimento& dados,
                                                                     const QString& codBico)
{
    const TConfiguracaoRegional& regional = FContexto.Regional();
    QDate data;
    QTime hora;
    try {
        data = regional.LeData(dados.Data);
        hora = regional.LeHora(dados.Hora);
    } catch (const EErroConversao&) {
        return std::nullopt;
    }
    // A record that carries the nozzle's totalizer is known by it: neither another program advancing
    // the sequence nor an edit of the row's time or litres makes it a new fueling.
    if (dados.EncerranteFinal != 0) {
        if (const auto achada = FAbastecimentos.ComEncerrante(dados.Id, data, codBico, dados.EncerranteFinal))
            return TChaveMvAbast{achada->Sequencia, data, codBico, achada->Hora};
    }
    const QList<TRepositorioAbastecimentos::TGravada> gravadas =
        FAbastecimentos.Gravadas(dados.Id, data, codBico, dados.Litragem, FParametros.ReabreParametros());
    for (const TRepositorioAbastecimentos::TGravada& candidata : gravadas) {
        QTime gravada;
        try {
            gravada = regional.LeHora(candidata.Hora);
        } catch (const EErroConversao&) {
            continue;
        }
        // Stored at the record's own time, or moved from it second by second past other fuelings
        // of this nozzle: every second from the record's time up to the stored one is taken.
        const int movidos = (hora.secsTo(gravada) + kMaximoSegundosMovidos) % kMaximoSegundosMovidos;
        int passo = 0;
        while (passo < movidos
               && FAbastecimentos.ExisteNaHora(DataComPontos(data), regional.TextoHoraLonga(hora.addSecs(passo)),
                                               codBico))
            ++passo;
        if (passo == movidos)
            return TChaveMvAbast{candidata.Sequencia, data, codBico, candidata.Hora};
    }
    return std::nullopt;
}
