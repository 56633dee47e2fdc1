#pragma once
// A generated fueling as the journal's decoded fields (what the drain appends beside its bytes).
#include "Abastecimentos.h"
#include "Diario.h"

namespace Bancada {

inline TCamposDiario CamposDe(const TFuelingGerado& f, const QString& codFid = {})
{
    TCamposDiario c;
    c.Id = f.Id;
    c.Bico = QString::fromLatin1(f.Bico);
    c.Data = QString::fromLatin1(f.Data);
    c.Hora = QString::fromLatin1(f.Hora);
    c.Litragem = f.Litros;
    c.ValorTotal = f.Total;
    c.PrecoUnit = f.Preco;
    c.EncerranteFinal = 1000 + f.Litros;
    c.CodFid = codFid;
    return c;
}

} // namespace Bancada
