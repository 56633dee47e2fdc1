#include "DadosAbastecimento.h"

namespace {

template <typename TRegistro>
TDadosAbastecimento DecodificaComum(const TRegistro& registro)
{
    TDadosAbastecimento d;
    d.Valido = registro.Valido != 0;
    d.ValorTotal = registro.ValorTotal;
    d.Litragem = registro.Litragem;
    d.PrecoUnit = registro.PrecoUnit;
    d.Bico = registro.Bico.Texto();
    d.Data = registro.Data.Texto();
    d.Hora = registro.Hora.Texto();
    d.Id = registro.Id;
    d.EncerranteFinal = registro.EncerranteFinal;
    return d;
}

} // namespace

TDadosAbastecimento TDadosAbastecimento::De(const TAbastecimento& registro)
{
    return DecodificaComum(registro);
}

TDadosAbastecimento TDadosAbastecimento::De(const TAbastecimentoFid& registro)
{
    TDadosAbastecimento d = DecodificaComum(registro);
    d.CodFid = registro.CodFid.Texto().left(16);
    return d;
}
