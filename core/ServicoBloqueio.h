#pragma once
// Blocking and releasing nozzles at the concentrator: lists the nozzles on the concentrator, marks
// those whose pump position reads blocked, and sends a block or a release for every listed nozzle.
#include "RepositorioBicos.h"

class TContexto;

// One listed nozzle; a marked one is blocked, or is to be blocked.
struct TBicoBloqueio {
    QString CodBico;
    QString Descricao;
    QString CodConcentrador; // three decimal digits, as the concentrator commands take it
    bool Marcado = false;
};

class TServicoBloqueio {
public:
    explicit TServicoBloqueio(TContexto& contexto);

    // The nozzles with a concentrator code, by nozzle code, none marked.
    QList<TBicoBloqueio> CarregaBicos();
    // Marks the nozzle of every position the concentrator reads as blocked ("B"): position p
    // marks the nozzle whose code is p + 3 (its first channel) and no other. Nothing is unmarked.
    // A code that is not a decimal number raises once any position is blocked.
    void MarcaBloqueados(QList<TBicoBloqueio>& bicos);
    // One command per nozzle, in order: block the marked, release the others. The first failing
    // command raises; the nozzles after it get none.
    void EnviaComandos(const QList<TBicoBloqueio>& bicos);

private:
    TContexto& FContexto;
    TRepositorioBicos FBicos;
};
