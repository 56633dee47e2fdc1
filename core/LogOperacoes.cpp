#include "LogOperacoes.h"

#include "Contexto.h"
#include "Erro.h"
#include "Regional.h"

namespace {

QString Campo(QString texto)
{
    texto.replace(QLatin1Char('|'), QLatin1Char('/'));
    texto.replace(QLatin1String("\r\n"), QLatin1String(" "));
    texto.replace(QLatin1Char('\r'), QLatin1Char(' '));
    texto.replace(QLatin1Char('\n'), QLatin1Char(' '));
    texto = texto.trimmed();
    return texto.isEmpty() ? QStringLiteral("-") : texto;
}

} // namespace

QString MontaLinhaOperacao(const QDateTime& momento, const TOperacaoRegistrada& operacao,
                           const TConfiguracaoRegional& regional)
{
    const QStringList campos{
        regional.TextoData(momento.date()) + QLatin1Char(' ') + regional.TextoHoraLonga(momento.time()),
        Campo(operacao.Usuario),
        Campo(operacao.Acao),
        Campo(operacao.Bicos.join(QStringLiteral(", "))),
        Campo(operacao.Mudanca),
        Campo(operacao.Resultado),
    };
    return campos.join(QStringLiteral(" | "));
}

QString RegistraOperacao(TContexto& contexto, const TOperacaoRegistrada& operacao)
{
    const QString linha = MontaLinhaOperacao(contexto.Relogio().Agora(), operacao, contexto.Regional());
    try {
        contexto.LogOperacoes().Acrescenta(contexto.Relogio().PastaExecutavel() + QStringLiteral("LogOperacoes"), linha);
        return {};
    } catch (const std::exception& e) {
        const QString aviso = QStringLiteral("O log de operações não pôde ser gravado (a linha fica guardada e é "
                                             "gravada quando a pasta aceitar): ")
            + MensagemDe(e);
        try {
            contexto.GravaLogErro(aviso + QStringLiteral(" Linha: ") + linha);
        } catch (const std::exception&) {
            // the error log keeps its line as well; the warning goes back with the answer
        }
        return aviso;
    }
}
