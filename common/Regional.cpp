#include "Regional.h"

#include "Erro.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <cstdlib>

QString MensagemDe(const std::exception& e)
{
    if (auto* erro = dynamic_cast<const EErro*>(&e))
        return erro->Mensagem();
    return QString::fromLocal8Bit(e.what());
}

namespace {

TConfiguracaoRegional& Configuracao()
{
    static TConfiguracaoRegional atual = TConfiguracaoRegional::DoSistema();
    return atual;
}

// The first character of a format that is neither a letter nor a blank is its separator.
QChar SeparadorDoFormato(const QString& formato, QChar padrao)
{
    for (QChar c : formato)
        if (!c.isLetter() && !c.isSpace() && c != '\'')
            return c;
    return padrao;
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

const TConfiguracaoRegional& TConfiguracaoRegional::Atual()
{
    return Configuracao();
}

void TConfiguracaoRegional::Define(const TConfiguracaoRegional& configuracao)
{
    Configuracao() = configuracao;
}

namespace {
QString DoisDigitos(int n)
{
    return QString::number(n).rightJustified(2, '0');
}
} // namespace

QString TextoData(const QDate& data)
{
    const QChar s = Configuracao().SeparadorData;
    return DoisDigitos(data.day()) + s + DoisDigitos(data.month()) + s
        + QString::number(data.year()).rightJustified(4, '0');
}

QString TextoDataCurta(const QDate& data)
{
    const QChar s = Configuracao().SeparadorData;
    return DoisDigitos(data.day()) + s + DoisDigitos(data.month()) + s + DoisDigitos(data.year() % 100);
}

QString TextoHoraLonga(const QTime& hora)
{
    const QChar s = Configuracao().SeparadorHora;
    return DoisDigitos(hora.hour()) + s + DoisDigitos(hora.minute()) + s + DoisDigitos(hora.second());
}

QTime LeHora(const QString& texto)
{
    const QString s = QRegularExpression::escape(QString(Configuracao().SeparadorHora));
    static const QString modelo = QStringLiteral("^\\s*(\\d{1,2})(?:%1(\\d{1,2})(?:%1(\\d{1,2}))?)?\\s*$");
    QRegularExpressionMatch m = QRegularExpression(modelo.arg(s)).match(texto);
    if (m.hasMatch()) {
        QTime hora(m.captured(1).toInt(), m.captured(2).isEmpty() ? 0 : m.captured(2).toInt(),
                   m.captured(3).isEmpty() ? 0 : m.captured(3).toInt());
        if (hora.isValid())
            return hora;
    }
    throw EErroConversao(QStringLiteral("'%1' não é um horário válido").arg(texto));
}

QDate LeData(const QString& texto)
{
    const QString s = QRegularExpression::escape(QString(Configuracao().SeparadorData));
    static const QString modelo = QStringLiteral("^\\s*(\\d{1,2})(?:%1|/)(\\d{1,2})(?:%1|/)(\\d{4})\\s*$");
    QRegularExpressionMatch m = QRegularExpression(modelo.arg(s)).match(texto);
    if (m.hasMatch()) {
        QDate data(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
        if (data.isValid())
            return data;
    }
    throw EErroConversao(QStringLiteral("'%1' não é uma data válida").arg(texto));
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

double LeNumero(const QString& texto)
{
    QString t = texto.trimmed();
    const QChar decimal = Configuracao().SeparadorDecimal;
    bool valido = !t.isEmpty() && !t.contains('.') && t.count(decimal) <= 1;
    if (decimal == '.')
        valido = !t.isEmpty() && t.count('.') <= 1;
    t.replace(decimal, '.');
    static const QRegularExpression numero(QStringLiteral("^[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?$"));
    if (!valido || !numero.match(t).hasMatch())
        throw EErroConversao(QStringLiteral("'%1' não é um valor de ponto flutuante válido").arg(texto));
    return std::strtod(t.toLatin1().constData(), nullptr);
}

QString TextoNumero(double valor)
{
    if (std::isnan(valor))
        return QStringLiteral("NAN");
    if (std::isinf(valor))
        return valor > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", valor);
    QString texto = QString::fromLatin1(buffer);
    if (texto == QLatin1String("-0"))
        texto = QStringLiteral("0");
    texto.replace('.', Configuracao().SeparadorDecimal);
    return texto;
}
