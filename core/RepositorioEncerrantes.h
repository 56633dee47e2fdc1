#pragma once
// The totalizer readings of a shift (table MvEncerrantes) and the nozzles they are taken from.
#include "Conexao.h"

#include <QList>

class TContexto;

// A nozzle with its initial totalizer, as the capture lists it.
struct TBicoEncerrante {
    QString CodBico;
    QString Descricao;
    QString CodConcentrador;
    double EncerranteIni = 0;
};

// One nozzle's reading in one shift.
struct TLinhaMvEncerrantes {
    QString CodEmpresa;
    QString CodTurno;
    QString CodBico;
    double EncerranteIni = 0;
    double EncerranteFim = 0;
    double Saida = 0;
    QDateTime DataLeitura;
    QString HoraLeitura; // hh:mm:ss
};

class TRepositorioEncerrantes {
public:
    explicit TRepositorioEncerrantes(TContexto& contexto);

    // Every nozzle of the station, by nozzle code.
    QList<TBicoEncerrante> Bombas();
    // Stores the reading: the row of its company, shift and nozzle is updated when it exists,
    // otherwise added.
    void Grava(const TLinhaMvEncerrantes& linha);

private:
    TConsulta FBombas;
    TConsulta FMvEncerrantes;
    TConsulta FInsere;
    TConsulta FAtualiza;
};
