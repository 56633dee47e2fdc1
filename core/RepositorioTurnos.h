#pragma once
// The shift movements (MvTurno with its shift and attendant), kept by the station's other software
// and only read here: the totalizer capture looks for the open shift among them.
#include "Conexao.h"

#include <QList>

class TContexto;

// The filters of the shift query; an empty text filters nothing. Dates are in the short date form.
struct TFiltroTurno {
    QString CodEmpresa;
    QString DtMovimento;
    QString CodTurno;
    QString CodVendedor;
    QString Status;
    QString DtFechamento;
    QString HrFechamento;
    QString Controle;
    QString Ordem; // ORDER BY list; empty: no order
};

// One shift movement as the open-shift lookup reads it.
struct TTurno {
    QString Controle;
    QString CodEmpresa;
    QDateTime DtMovimento;
    QDateTime HrAbertura;
    QDateTime DtTermino;
    QDateTime HrTermino;
    // The end as text: empty when not filled in.
    QString DtTerminoTexto;
    QString HrTerminoTexto;
};

class TRepositorioTurnos {
public:
    explicit TRepositorioTurnos(TContexto& contexto);

    // The statement for these filters, terms in their fixed order.
    static QString SQLMvTurno(const TFiltroTurno& filtro);
    // Runs the shift query; true when it found at least one row, which Turnos() then holds.
    bool AbreMvTurno(const TFiltroTurno& filtro);
    const QList<TTurno>& Turnos() const { return FTurnos; }

private:
    TContexto& FContexto;
    TConsulta FMvTurno;
    QList<TTurno> FTurnos;
};
