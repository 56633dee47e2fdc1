#include "Regional.h"

#include "Erro.h"

#include <QLocale>

#include <charconv>
#include <cmath>

QString MensagemDe(const std::exception& e)
{
    if (auto* erro = dynamic_cast<const EErro*>(&e))
        return erro->Mensagem();
    return QString::fromLocal8Bit(e.what());
}

namespace {

// The first character of a format that is neither a letter nor a blank is its separator.
QChar SeparadorDoFormato(const QString& formato, QChar padrao)
{
    for (QChar c : formato)
        if (!c.isLetter() && !c.isSpace() && c != '\'')
            return c;
    return padrao;
}

QString DoisDigitos(int n)
{
    return QString::number(n).rightJustified(2, '0');
}

bool Digito(QChar c)
{
    return c >= '0' && c <= '9';
}

// Up to `maximo` ASCII digits from `i`; -1 when there is none.
int LeDigitos(QStringView t, qsizetype& i, int maximo)
{
    int valor = 0;
    int lidos = 0;
    while (i < t.size() && lidos < maximo && Digito(t[i])) {
        valor = valor * 10 + (t[i].unicode() - '0');
        ++i;
        ++lidos;
    }
    return lidos ? valor : -1;
}

} // namespace

TConfiguracaoRegional TConfiguracaoRegional::DoSistema()
{
    QLocale local = QLocale::system();
    TConfiguracaoRegional c;
    c.SeparadorDecimal = local.decimalPoint().isEmpty() ? QChar('.') : local.decimalPoint().at(0);
    c.SeparadorMilhar = local.groupSeparator().isEmpty() ? QChar(',') : local.groupSeparator().at(0);
    c.SeparadorData = SeparadorDoFormato(local.dateFormat(QLocale::ShortFormat), '/');
    c.SeparadorHora = SeparadorDoFormato(local.timeFormat(QLocale::ShortFormat), ':');
    return c;
}

TConfiguracaoRegional TConfiguracaoRegional::PtBr()
{
    return TConfiguracaoRegional{};
}

QString TConfiguracaoRegional::TextoData(const QDate& data) const
{
    const QChar s = SeparadorData;
    return DoisDigitos(data.day()) + s + DoisDigitos(data.month()) + s
        + QString::number(data.year()).rightJustified(4, '0');
}

QString TConfiguracaoRegional::TextoDataCurta(const QDate& data) const
{
    const QChar s = SeparadorData;
    return DoisDigitos(data.day()) + s + DoisDigitos(data.month()) + s + DoisDigitos(data.year() % 100);
}

QString TConfiguracaoRegional::TextoHoraLonga(const QTime& hora) const
{
    const QChar s = SeparadorHora;
    return DoisDigitos(hora.hour()) + s + DoisDigitos(hora.minute()) + s + DoisDigitos(hora.second());
}

QTime TConfiguracaoRegional::LeHora(const QString& texto) const
{
    const QStringView t = QStringView(texto).trimmed();
    qsizetype i = 0;
    int partes[3] = {-1, 0, 0};
    bool valido = true;
    for (int p = 0; p < 3 && valido; ++p) {
        partes[p] = LeDigitos(t, i, 2);
        valido = partes[p] >= 0;
        if (i == t.size() || !valido)
            break;
        valido = t[i] == SeparadorHora && p < 2;
        ++i;
    }
    if (valido && i == t.size()) {
        const QTime hora(partes[0], partes[1] < 0 ? 0 : partes[1], partes[2] < 0 ? 0 : partes[2]);
        if (hora.isValid())
            return hora;
    }
    throw EErroConversao(QStringLiteral("'%1' não é um horário válido").arg(texto));
}

QDate TConfiguracaoRegional::LeData(const QString& texto) const
{
    const QStringView t = QStringView(texto).trimmed();
    qsizetype i = 0;
    auto separador = [&] {
        if (i < t.size() && (t[i] == SeparadorData || t[i] == '/')) {
            ++i;
            return true;
        }
        return false;
    };
    const int dia = LeDigitos(t, i, 2);
    const bool s1 = separador();
    const int mes = LeDigitos(t, i, 2);
    const bool s2 = separador();
    const qsizetype inicioAno = i;
    const int ano = LeDigitos(t, i, 4);
    if (dia >= 0 && s1 && mes >= 0 && s2 && ano >= 0 && i - inicioAno == 4 && i == t.size()) {
        const QDate data(ano, mes, dia);
        if (data.isValid())
            return data;
    }
    throw EErroConversao(QStringLiteral("'%1' não é uma data válida").arg(texto));
}

double TConfiguracaoRegional::LeNumero(const QString& texto) const
{
    // The regional separator is the only decimal mark accepted; the C reader does the rest.
    QString t = texto.trimmed();
    const bool outroPonto = SeparadorDecimal != '.' && t.contains('.');
    t.replace(SeparadorDecimal, '.');
    double valor = 0;
    if (outroPonto || !LeNumeroC(t, valor))
        throw EErroConversao(QStringLiteral("'%1' não é um valor de ponto flutuante válido").arg(texto));
    return valor;
}

QString TConfiguracaoRegional::TextoNumero(double valor) const
{
    QString texto = TextoNumeroC(valor, 15);
    texto.replace('.', SeparadorDecimal);
    return texto;
}

qint64 LeInteiro(const QString& texto)
{
    bool ok = false;
    const QString limpo = texto.trimmed();
    qint64 valor = 0;
    if (limpo.startsWith('$'))
        valor = limpo.mid(1).toLongLong(&ok, 16);
    else if (!limpo.isEmpty() && limpo.at(0) != '+')
        valor = limpo.toLongLong(&ok, 10);
    if (!ok || limpo.size() != texto.size())
        throw EErroConversao(QStringLiteral("'%1' não é um valor inteiro válido").arg(texto));
    return valor;
}

bool LeNumeroC(QStringView texto, double& valor)
{
    // Sign, digits with at most one ".", an optional exponent: nothing else (no blanks, no "inf").
    QByteArray ascii;
    ascii.reserve(texto.size());
    qsizetype i = 0;
    const qsizetype n = texto.size();
    if (i < n && (texto[i] == '-' || texto[i] == '+')) {
        if (texto[i] == '-')
            ascii += '-';
        ++i;
    }
    int digitos = 0;
    bool ponto = false;
    for (; i < n; ++i) {
        const QChar c = texto[i];
        if (Digito(c)) {
            ++digitos;
        } else if (c == '.' && !ponto) {
            ponto = true;
        } else {
            break;
        }
        ascii += static_cast<char>(c.unicode());
    }
    if (digitos == 0)
        return false;
    if (i < n && (texto[i] == 'e' || texto[i] == 'E')) {
        ascii += 'e';
        ++i;
        if (i < n && (texto[i] == '-' || texto[i] == '+'))
            ascii += static_cast<char>(texto[i++].unicode());
        int expoente = 0;
        for (; i < n && Digito(texto[i]); ++i, ++expoente)
            ascii += static_cast<char>(texto[i].unicode());
        if (expoente == 0)
            return false;
    }
    if (i != n)
        return false;
    const auto [fim, erro] = std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), valor);
    if (erro == std::errc::result_out_of_range) {
        // Too large is an infinity, too small a zero, as the C library reads them.
        const bool negativo = ascii.startsWith('-');
        const bool grande = !ascii.contains("e-");
        valor = grande ? (negativo ? -HUGE_VAL : HUGE_VAL) : (negativo ? -0.0 : 0.0);
        return true;
    }
    return erro == std::errc() && fim == ascii.constData() + ascii.size();
}

QString TextoNumeroC(double valor, int casasSignificativas)
{
    if (std::isnan(valor))
        return QStringLiteral("NAN");
    if (std::isinf(valor))
        return valor > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    char buffer[64];
    const auto resultado = casasSignificativas > 0
        ? std::to_chars(buffer, buffer + sizeof buffer, valor, std::chars_format::general, casasSignificativas)
        : std::to_chars(buffer, buffer + sizeof buffer, valor);
    QString texto = QString::fromLatin1(buffer, resultado.ptr - buffer).toUpper();
    if (texto == QLatin1String("-0"))
        texto = QStringLiteral("0");
    return texto;
}
