#pragma once
// The regional settings every text and number conversion uses. Read from the system locale at
// start-up; tests put their own in place.
#include <QChar>
#include <QDate>
#include <QString>
#include <QTime>

struct TConfiguracaoRegional {
    QChar SeparadorDecimal = ',';
    QChar SeparadorMilhar = '.';
    QChar SeparadorData = '/';
    QChar SeparadorHora = ':';

    static TConfiguracaoRegional DoSistema();
    static TConfiguracaoRegional PtBr();
    static const TConfiguracaoRegional& Atual();
    static void Define(const TConfiguracaoRegional& configuracao);
};

// Short date form, fixed to day/month/four-digit year with the regional date separator.
QString TextoData(const QDate& data);
// Long time form: hh:mm:ss with the regional time separator.
QString TextoHoraLonga(const QTime& hora);
// Date with the mask dd/mm/yy (regional date separator), as the error log writes it.
QString TextoDataCurta(const QDate& data);

// Time of day as the system reads it: h[:m[:s]] with the regional separator, no leading zeros needed.
// Raises EErroConversao "'%s' não é um horário válido".
QTime LeHora(const QString& texto);
// Date in the short date form; "/" is accepted besides the regional separator.
// Raises EErroConversao "'%s' não é uma data válida".
QDate LeData(const QString& texto);

// Integer in decimal; raises EErroConversao "'%s' não é um valor inteiro válido".
qint64 LeInteiro(const QString& texto);
// Number with the regional decimal separator; raises EErroConversao
// "'%s' não é um valor de ponto flutuante válido".
double LeNumero(const QString& texto);
// The general number form: up to 15 significant digits, no grouping, no trailing zeros,
// regional decimal separator (50 gives 50, 8.5 gives 8,5).
QString TextoNumero(double valor);
