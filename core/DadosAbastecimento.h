#pragma once
// One fueling as both record layouts deliver it, on its way to the database, and what became of it.
#include "ClassConcentrador.h"

#include <QString>

struct TDadosAbastecimento {
    bool Valido = false;
    qint64 ValorTotal = 0; // 1/10000
    double Litragem = 0;
    qint64 PrecoUnit = 0; // 1/10000
    QString Bico;
    QString Data;
    QString Hora;
    qint32 Id = 0;
    double EncerranteFinal = 0;
    QString CodFid; // first 16 characters of the tag code; empty for the plain layout

    static TDadosAbastecimento De(const TAbastecimento& registro);
    static TDadosAbastecimento De(const TAbastecimentoFid& registro);
};

// What became of one fueling record on the road to the database.
enum class TResultadoAbastecimento {
    Gravado,
    SemAbastecimento, // presence flag 0: nothing waiting
    ValoresZerados,   // litres or unit price round to zero
    ValoresInvalidos, // litres, price, amount or totalizer no sale can have (written to the error log)
    BicoDesconhecido, // no station nozzle on its concentrator code (written to the error log)
    JaGravado,        // stored already (delivered again): passed over, written to the error log
    Falhou,           // storing failed; only the tag layout returns it, the plain one raises
    // Through the journal (a capture by ID):
    Retido,     // the station database refused it: held in the journal for a technician
    Aguardando, // the database cannot store now: it waits in the journal
    Descartado, // the journal holds it as discarded
};
