#include "Alvos.h"

const std::vector<TAlvoFuzz>& ListaAlvos()
{
    static const std::vector<TAlvoFuzz> alvos{
        {"quadros", TestaQuadros, ExemplosQuadros},
        {"ini", TestaIni, ExemplosIni},
        {"dispositivo", TestaDispositivo, ExemplosDispositivo},
        {"registros", TestaRegistros, ExemplosRegistros},
    };
    return alvos;
}

const TAlvoFuzz* ProcuraAlvo(std::string_view nome)
{
    for (const TAlvoFuzz& alvo : ListaAlvos())
        if (nome == alvo.Nome)
            return &alvo;
    return nullptr;
}
