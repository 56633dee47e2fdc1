#include "Textos.h"

#include "Regional.h"

#include <algorithm>
#include <charconv>
#include <cmath>

QString StrZero(const QString& texto, int largura)
{
    qsizetype inicio = 0;
    qsizetype fim = texto.size();
    while (inicio < fim && texto.at(inicio).unicode() <= 32)
        ++inicio;
    while (fim > inicio && texto.at(fim - 1).unicode() <= 32)
        --fim;
    QString resultado = texto.mid(inicio, fim - inicio);
    if (resultado.size() > largura)
        resultado = DireitaTexto(resultado, largura);
    while (resultado.size() < largura)
        resultado.prepend('0');
    return resultado;
}

QString CompletaTexto(const QString& texto, const QString& preenchimento, int largura, bool esquerda)
{
    const qsizetype faltam = largura - texto.size();
    if (faltam <= 0)
        return texto;
    const QString enchimento = preenchimento.repeated(faltam);
    return esquerda ? enchimento + texto : texto + enchimento;
}

bool ContemTexto(const QString& procurado, const QString& texto)
{
    return !texto.isEmpty() && texto.contains(procurado);
}

QString SubstituiTexto(const QString& texto, const QString& procurado, const QString& substituto)
{
    if (procurado.isEmpty() || procurado == substituto)
        return texto;
    QString resultado = texto;
    // A replacement that holds the searched text would recreate it for ever: one pass from the
    // right then. Otherwise repeat on the result, bounded so that the operation always ends.
    if (substituto.contains(procurado)) {
        for (qsizetype p = resultado.lastIndexOf(procurado); p >= 0;
             p = p == 0 ? -1 : resultado.lastIndexOf(procurado, p - 1))
            resultado.replace(p, procurado.size(), substituto);
        return resultado;
    }
    qsizetype limite = (texto.size() + 1) * (procurado.size() + 1) + 16;
    for (qsizetype p = resultado.lastIndexOf(procurado); p >= 0 && limite-- > 0;
         p = resultado.lastIndexOf(procurado))
        resultado.replace(p, procurado.size(), substituto);
    return resultado;
}

QString Espacos(int quantidade)
{
    return quantidade > 0 ? QString(quantidade, ' ') : QString();
}

QString DireitaTexto(const QString& texto, int quantidade)
{
    if (quantidade <= 0)
        return {};
    const QString direita = texto.right(quantidade);
    return Espacos(quantidade - static_cast<int>(direita.size())) + direita;
}

namespace {

struct TDecimal {
    bool Negativo = false;
    QString Inteiro;   // at least one digit
    QString Fracao;    // exactly the requested decimals
};

// Rounds to `casas` decimals, half away from zero, on the 18-significant-digit form of the value.
TDecimal Decompoe(double valor, int casas)
{
    TDecimal d;
    char buffer[64];
    const auto fim = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(valor), std::chars_format::scientific, 17).ptr;
    // buffer: D.DDDDDDDDDDDDDDDDDe±XX, whatever the process's locale
    QString digitos = QString::fromLatin1(buffer, 1) + QString::fromLatin1(buffer + 2, 17);
    const char* e = std::find(buffer, fim, 'e');
    int expoente = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), fim, expoente);
    // Digits before the decimal point: expoente + 1 (may be zero or negative).
    int antes = expoente + 1;
    if (antes <= 0) {
        digitos = QString(-antes + 1, '0') + digitos;
        antes = 1;
    }
    const int manter = antes + casas;
    while (digitos.size() < manter + 1)
        digitos.append('0');
    QString mantidos = digitos.left(manter);
    if (digitos.at(manter) >= '5') {
        int i = manter - 1;
        for (; i >= 0; --i) {
            if (mantidos.at(i) == '9') {
                mantidos[i] = '0';
            } else {
                mantidos[i] = QChar(mantidos.at(i).unicode() + 1);
                break;
            }
        }
        if (i < 0) {
            mantidos.prepend('1');
            ++antes;
        }
    }
    d.Inteiro = mantidos.left(antes);
    d.Fracao = mantidos.mid(antes);
    while (d.Inteiro.size() > 1 && d.Inteiro.at(0) == '0')
        d.Inteiro.remove(0, 1);
    const QString todos = d.Inteiro + d.Fracao;
    const bool zero = std::all_of(todos.cbegin(), todos.cend(), [](QChar c) { return c == '0'; });
    d.Negativo = std::signbit(valor) && !zero;
    return d;
}

QString Agrupa(const QString& inteiro, QChar separador)
{
    QString resultado;
    const qsizetype n = inteiro.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            resultado.append(separador);
        resultado.append(inteiro.at(i));
    }
    return resultado;
}

QString FormataPelaMascara(const QString& mascara, double valor, const TConfiguracaoRegional& regional)
{
    if (std::isnan(valor))
        return QStringLiteral("NAN");
    if (std::isinf(valor))
        return valor > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    const qsizetype ponto = mascara.indexOf('.');
    const QString parteInteira = ponto < 0 ? mascara : mascara.left(ponto);
    const QString parteDecimal = ponto < 0 ? QString() : mascara.mid(ponto + 1);
    const int casas = static_cast<int>(parteDecimal.count('0'));
    const int minimoInteiro = static_cast<int>(parteInteira.count('0'));
    const bool agrupa = parteInteira.contains(',');

    TDecimal d = Decompoe(valor, casas);
    QString inteiro = d.Inteiro;
    if (inteiro == QLatin1String("0") && minimoInteiro == 0)
        inteiro.clear();
    while (inteiro.size() < minimoInteiro)
        inteiro.prepend('0');
    if (agrupa)
        inteiro = Agrupa(inteiro, regional.SeparadorMilhar);
    QString texto = (d.Negativo ? QStringLiteral("-") : QString()) + inteiro;
    if (casas > 0)
        texto += regional.SeparadorDecimal + d.Fracao;
    return texto;
}

} // namespace

double Arredonda(double valor, int casas)
{
    if (!std::isfinite(valor))
        return valor;
    const TDecimal d = Decompoe(valor, casas > 0 ? casas : 0);
    const QString texto = (d.Negativo ? QStringLiteral("-") : QString()) + d.Inteiro
        + (d.Fracao.isEmpty() ? QString() : '.' + d.Fracao);
    double resultado = 0;
    LeNumeroC(texto, resultado);
    return resultado == 0 ? 0.0 : resultado;
}

QString FormataNumero(const QString& mascara, double valor, const TConfiguracaoRegional& regional)
{
    return CompletaTexto(FormataPelaMascara(mascara, valor, regional), QStringLiteral(" "),
                         static_cast<int>(mascara.size()), true);
}
