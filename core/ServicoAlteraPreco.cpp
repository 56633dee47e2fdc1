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
    for (const TPrecoBico& bico : FPrecos.ListaPrecos())
        linhas << TLinhaPreco{bico.CodBico, bico.Descricao, FormataPreco(bico.PrecoVenda, FContexto.Regional()), bico.CodConcentrador};
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

QString TServicoAlteraPreco::MensagemRecusado(const QString& codConcentrador)
{
    return QStringLiteral("Erro ao atualizar o preco na Bomba: ") + codConcentrador;
}

QString TServicoAlteraPreco::MensagemSoNaBomba(const TResultadoPrecos& resultado)
{
    QString texto = QStringLiteral("Erro ao gravar os preços no banco: ") + resultado.ErroBanco;
    if (!resultado.SoNaBomba.isEmpty())
        texto += QStringLiteral("\rO preço novo já está na bomba dos bicos: ") + resultado.SoNaBomba.join(QStringLiteral(", "))
            + QStringLiteral("; o banco ficou com o preço antigo.");
    return texto;
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
    QStringList enviados;
    try {
        TGuardaTransacao transacao(FContexto.CnTankora());
        for (const TLinhaPreco& linha : linhas) {
            // The pump first: a price it refuses is not written, so Bombas keeps what the pump shows.
            try {
                EnviaPreco(linha);
            } catch (const std::exception&) {
                resultado.Recusados << linha.CodConcentrador;
                continue;
            }
            enviados << linha.CodBico;
            if (FPrecos.GravaPrecoVenda(linha.CodBico, FContexto.Regional().LeNumero(linha.Preco)) == 0)
                throw EErro(QStringLiteral("O bico %1 não foi encontrado na tabela Bombas.").arg(linha.CodBico));
        }
        transacao.Confirma();
    } catch (const std::exception& e) {
        // The guard rolled back every price of this "&OK".
        resultado.ErroBanco = MensagemDe(e);
        resultado.SoNaBomba = enviados;
    }
    return resultado;
}
