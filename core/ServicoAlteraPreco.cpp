#include "ServicoAlteraPreco.h"

#include "Contexto.h"
#include "Erro.h"
#include "Textos.h"

namespace {
// The price mode the station always sends with a new price.
constexpr std::uint8_t kModoPreco = 3;
} // namespace

TServicoAlteraPreco::TServicoAlteraPreco(TContexto& contexto) : FContexto(contexto), FPrecos(contexto) {}

QString TServicoAlteraPreco::FormataPreco(double preco) const
{
    return FormataNumero(QStringLiteral("0.000"), preco, FContexto.Regional());
}

QList<TLinhaPreco> TServicoAlteraPreco::CarregaPrecos()
{
    QList<TLinhaPreco> linhas;
    for (const TPrecoBico& bico : FPrecos.ListaPrecos())
        linhas << TLinhaPreco{bico.CodBico, bico.Descricao, FormataPreco(bico.PrecoVenda), bico.CodConcentrador};
    return linhas;
}

TValidacaoPreco TServicoAlteraPreco::ValidaPreco(QString& texto) const
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
    try {
        texto = FormataPreco(FContexto.Regional().LeNumero(texto.mid(inicio, fim - inicio)));
        if (!(FContexto.Regional().LeNumero(texto) > 0))
            return TValidacaoPreco::NaoPositivo;
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

QString TServicoAlteraPreco::CodigoHexadecimal(const QString& codConcentrador)
{
    // A negative code keeps its 32-bit two's complement, as the platform's hexadecimal form did.
    const auto codigo = static_cast<quint32>(LeInteiro(codConcentrador));
    return QString::number(codigo, 16).toUpper().rightJustified(2, '0');
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

bool TServicoAlteraPreco::GravaPrecos(int quantidade, const std::function<bool(int)>& valida,
                                      const std::function<TLinhaPreco(int)>& linha)
{
    // Poll ticks skip while this transaction is open, so none commits part of the change.
    TGuardaTransacao transacao(FContexto.CnTankora());
    for (int r = 0; r < quantidade; ++r) {
        if (!valida(r))
            return false; // the guard rolls back what this call wrote
        const TLinhaPreco atual = linha(r);
        if (FPrecos.GravaPrecoVenda(atual.CodBico, FContexto.Regional().LeNumero(atual.Preco)) == 0)
            throw EErro(QStringLiteral("O bico %1 não foi encontrado na tabela Bombas.").arg(atual.CodBico));
        try {
            EnviaPreco(atual);
        } catch (const std::exception&) {
            FContexto.Mensagens().MostraMensagem(TTipoMensagem::Informacao,
                QStringLiteral("Erro ao atualizar o preco na Bomba: ") + atual.CodConcentrador);
        }
    }
    transacao.Confirma();
    return true;
}
