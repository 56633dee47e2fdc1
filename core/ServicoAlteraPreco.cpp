#include "ServicoAlteraPreco.h"

#include "CodigoConcentrador.h"
#include "Contexto.h"
#include "Erro.h"
#include "Textos.h"

namespace {
// The price mode the station always sends with a new price.
constexpr std::uint8_t kModoPreco = 3;
} // namespace

TServicoAlteraPreco::TServicoAlteraPreco(TContexto& contexto) : FContexto(contexto), FPrecos(contexto) {}

namespace {
QString FormataPreco(double preco, const TConfiguracaoRegional& regional)
{
    return FormataNumero(QStringLiteral("0.000"), preco, regional);
}
} // namespace

QList<TLinhaPreco> TServicoAlteraPreco::CarregaPrecos()
{
    QList<TLinhaPreco> linhas;
    for (const TPrecoBico& bico : FPrecos.ListaPrecos()) {
        const QString preco = FormataPreco(bico.PrecoVenda, FContexto.Regional());
        linhas << TLinhaPreco{bico.CodBico, bico.Descricao, preco, bico.CodConcentrador, preco};
    }
    return linhas;
}

TValidacaoPreco TServicoAlteraPreco::ValidaPreco(QString& texto, const TConfiguracaoRegional& regional)
{
    // Blanks and control characters at either end do not count.
    qsizetype inicio = 0;
    qsizetype fim = texto.size();
    while (inicio < fim && texto.at(inicio).unicode() <= ' ')
        ++inicio;
    while (fim > inicio && texto.at(fim - 1).unicode() <= ' ')
        --fim;
    if (inicio == fim)
        return TValidacaoPreco::EmBranco;
    const QString digitado = texto.mid(inicio, fim - inicio);
    // "1e3" is no way to write a price: the operator meant something else.
    if (digitado.contains(QLatin1Char('e'), Qt::CaseInsensitive))
        return TValidacaoPreco::Invalido;
    try {
        texto = FormataPreco(regional.LeNumero(digitado), regional);
        const double preco = regional.LeNumero(texto);
        if (!(preco > 0))
            return TValidacaoPreco::NaoPositivo;
        if (preco > kPrecoMaximo)
            return TValidacaoPreco::Invalido;
    } catch (const EErroConversao&) {
        return TValidacaoPreco::Invalido;
    }
    return TValidacaoPreco::Valido;
}

QString TServicoAlteraPreco::MensagemValidacao(TValidacaoPreco validacao)
{
    switch (validacao) {
    case TValidacaoPreco::EmBranco:
        return QStringLiteral("O preço não pode ficar em branco!");
    case TValidacaoPreco::NaoPositivo:
        return QStringLiteral("O preço tem que ser maior que zero!");
    case TValidacaoPreco::Invalido:
        return QStringLiteral("Valor Inválido!");
    case TValidacaoPreco::Valido:
        break;
    }
    return {};
}

QString TServicoAlteraPreco::MensagemFalha(const TResultadoPrecos& resultado)
{
    const QString separador = QStringLiteral(", ");
    QStringList linhas;
    if (!resultado.ErroBanco.isEmpty())
        linhas << QStringLiteral("Erro ao gravar os preços no banco: ") + resultado.ErroBanco;
    if (!resultado.SemResposta.isEmpty())
        linhas << QStringLiteral("Erro ao atualizar o preco na Bomba: ") + resultado.SemResposta.join(separador)
                      + QStringLiteral("; o banco ficou com o preço antigo desses bicos.");
    if (!resultado.SoNaBomba.isEmpty())
        linhas << QStringLiteral("O preço novo já está na bomba dos bicos: ") + resultado.SoNaBomba.join(separador)
                      + QStringLiteral("; o banco ficou com o preço antigo.");
    if (resultado.Alterados.isEmpty())
        linhas << QStringLiteral("Nenhum bico ficou com o preço novo.");
    else
        linhas << QStringLiteral("Com o preço novo na bomba e no banco: ") + resultado.Alterados.join(separador)
                      + QStringLiteral(".");
    return linhas.join(QLatin1Char('\r'));
}

QString TServicoAlteraPreco::CodigoHexadecimal(const QString& codConcentrador)
{
    return ::CodigoHexadecimal(codConcentrador);
}

void TServicoAlteraPreco::EnviaPreco(const TLinhaPreco& linha)
{
    const double preco = FContexto.Regional().LeNumero(linha.Preco);
    const QString bico = CodigoHexadecimal(linha.CodConcentrador);
    TConcentrador* concentrador = FContexto.Concentrador();
    if (!concentrador)
        throw EErro(QStringLiteral("O concentrador não foi iniciado."));
    concentrador->AlteraPrecoBico(bico, kModoPreco, preco);
}

TResultadoPrecos TServicoAlteraPreco::GravaPrecos(const QList<TLinhaPreco>& linhas)
{
    TResultadoPrecos resultado;
    const TConfiguracaoRegional& regional = FContexto.Regional();
    for (const TLinhaPreco& linha : linhas) {
        bool enviado = false;
        try {
            TGuardaTransacao transacao(FContexto.CnTankora());
            const double preco = regional.LeNumero(linha.Preco);
            // The database first: when it cannot take the price, the pump is not asked to.
            if (FPrecos.GravaPrecoVenda(linha.CodBico, preco) == 0)
                throw EErro(QStringLiteral("O bico %1 não foi encontrado na tabela Bombas.").arg(linha.CodBico));
            try {
                EnviaPreco(linha);
            } catch (const std::exception&) {
                // Unconfirmed: the guard rolls the row back, Bombas keeps the old price.
                resultado.SemResposta << linha.CodBico;
                continue;
            }
            enviado = true;
            transacao.Confirma();
        } catch (const std::exception& e) {
            if (enviado)
                resultado.SoNaBomba << linha.CodBico;
            resultado.ErroBanco = MensagemDe(e);
            break;
        }
        resultado.Gravados << linha.CodBico;
        if (linha.Preco != linha.PrecoAnterior)
            resultado.Alterados << linha.CodBico;
    }
    return resultado;
}
