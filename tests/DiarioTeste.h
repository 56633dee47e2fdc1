#pragma once
// Journal entries for tests: a record's bytes and decoded fields made from its ID and nozzle.
#include "Diario.h"

namespace DiarioTeste {

inline const QDateTime kAgora(QDate(2026, 12, 11), QTime(8, 15));

// A record's bytes: its ID and nozzle written in, the rest a fixed filler, like the fid layout.
inline QByteArray Bruto(int id, const QString& bico = QStringLiteral("04"))
{
    QByteArray b = QByteArray::number(id).rightJustified(4, '0') + bico.toLatin1();
    b.append(QByteArray(176 - b.size(), 'F'));
    return b;
}

inline TCamposDiario Campos(int id, const QString& bico = QStringLiteral("04"))
{
    TCamposDiario c;
    c.Id = id;
    c.Bico = bico;
    c.Data = QStringLiteral("11/12/26");
    c.Hora = QStringLiteral("08:14:59");
    c.Litragem = 25.437;
    c.ValorTotal = 1500500;
    c.PrecoUnit = 58990;
    c.EncerranteFinal = 123456.789;
    c.CodFid = QStringLiteral("00A1B2C3");
    return c;
}

} // namespace DiarioTeste
