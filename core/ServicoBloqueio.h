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
    bool Bloqueado = false; // as read when the list was made
};

// Runs on the engine's thread; tells the operator nothing itself.
class TServicoBloqueio {
public:
    explicit TServicoBloqueio(TContexto& contexto);

    // The nozzles with a concentrator code, by nozzle code, none marked.
    QList<TBicoBloqueio> CarregaBicos();
    // Marks (and notes as blocked) every nozzle the concentrator reads as blocked ("B"): by its own
    // letter where the library gives the nozzles' status, otherwise by its position's letter, on
    // any channel (position 1 is codes 004, 068, 132 and 196, as the status monitor numbers them).
    // Nothing is unmarked. A code that is not a decimal number raises once any position is blocked.
    void MarcaBloqueados(QList<TBicoBloqueio>& bicos);
    // One command for each nozzle whose mark the operator changed, in order: block the marked,
    // release the others. Where only a position's letter is known its nozzles share it, so a nozzle
    // left as read is left alone rather than blocked for its neighbour. A command that fails does not stop
    // the others; the message naming each such nozzle is returned. The empty row the grid shows
    // when no nozzle is on the concentrator gets a release with the empty code, whose conversion
    // error is raised. `recusados`, when given, gets the nozzle code of each failed command.
    QStringList EnviaComandos(const QList<TBicoBloqueio>& bicos, QStringList* recusados = nullptr);

private:
    TContexto& FContexto;
    TRepositorioBicos FBicos;
};
