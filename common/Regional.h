#pragma once
// The regional settings behind every number, date and time the operator reads or types. Taken from
// the system locale at start-up and handed to whoever needs them; tests build their own.
// Nothing here depends on the C library's locale.
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

    // Short date form, fixed to day/month/four-digit year with the regional date separator.
    QString TextoData(const QDate& data) const;
    // Long time form: hh:mm:ss with the regional time separator.
    QString TextoHoraLonga(const QTime& hora) const;
    // Date with the mask dd/mm/yy (regional date separator), as the error log writes it.
    QString TextoDataCurta(const QDate& data) const;

    // Time of day as the system reads it: h[:m[:s]] with the regional separator, no leading zeros
    // needed. Raises EErroConversao "'%s' não é um horário válido".
    QTime LeHora(const QString& texto) const;
    // Date in the short date form; "/" is accepted besides the regional separator.
    // Raises EErroConversao "'%s' não é uma data válida".
    QDate LeData(const QString& texto) const;
    // Number with the regional decimal separator; raises EErroConversao
    // "'%s' não é um valor de ponto flutuante válido".
    double LeNumero(const QString& texto) const;
    // The general number form: up to 15 significant digits, no grouping, no trailing zeros,
    // regional decimal separator (50 gives 50, 8.5 gives 8,5).
    QString TextoNumero(double valor) const;
};

// Integer in decimal, or hexadecimal after "$"; raises EErroConversao
// "'%s' não é um valor inteiro válido".
qint64 LeInteiro(const QString& texto);

// Text and number in the C form ("." as decimal point, no grouping), whatever the process's
// locale: for everything internal (rounding, library texts, bound parameters).
// LeNumeroC returns false when the whole text is not a number.
bool LeNumeroC(QStringView texto, double& valor);
// Shortest text that reads back as the same double, or with `casasSignificativas` digits in the
// %G style when given (> 0).
QString TextoNumeroC(double valor, int casasSignificativas = 0);
