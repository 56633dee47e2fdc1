#pragma once
// The totalizer capture: lists the station's nozzles, reads the marked nozzles' totalizers from the
// concentrator, finds the open shift and records every nozzle's initial and final totalizer and
// the litres sold in between under it. The dialog keeps the rows; this holds what is done to them.
#include "RepositorioEncerrantes.h"
#include "RepositorioTurnos.h"

#include <functional>

class TContexto;

// One nozzle's row as the capture shows it: numbers as text in the "0.000" form of the regional
// settings.
struct TLinhaEncerrante {
    QString CodBico;
    QString Descricao;
    QString Inicial;
    QString Final;
    QString Saida;
    QString CodConcentrador; // three decimal digits
    bool Marcado = false;
};

class TServicoEncerrantes {
public:
    explicit TServicoEncerrantes(TContexto& contexto);

    // Every nozzle of the station, with Final equal to Inicial and no litres sold.
    QList<TLinhaEncerrante> CarregaBicos();

    // Reads the totalizers of the marked rows in order. After each row `lida` gets the row's index
    // and the status text naming it (the caller repaints and lets messages run). A failing
    // request tells the operator and stops there, leaving the rows read before it: false.
    bool LeEncerrantes(QList<TLinhaEncerrante>& linhas,
                       const std::function<void(int indice, const QString& status)>& lida = {});
    // The reading of one row: its concentrator code's last two digits go to the concentrator.
    void LeEncerrante(TLinhaEncerrante& linha);

    // The shift query (see TRepositorioTurnos).
    bool AbreMvTurno(const TFiltroTurno& filtro);
    // Whether an open shift covers this date (short date form) and time (long time form); tells
    // the operator when none does. Turno() is then the shift found.
    bool VerificaTurnoAberto(const QString& data, const QString& hora);
    const TTurno& Turno() const { return FTurno; }
    // The key the last recording stored its rows under.
    const QString& ChaveTurno() const { return FChaveTurno; }

    // Records every row under the earliest open shift, in one transaction; `gravando` gets the
    // status text after each row. Tells the operator the outcome. False only when no open shift
    // covers now and nothing was tried; true when the recording ran, whether it was stored or
    // rolled back (the dialog is done either way).
    bool GravaEncerrantes(const QList<TLinhaEncerrante>& linhas,
                          const std::function<void(const QString& status)>& gravando = {});

    // Final minus Inicial, in the "0.000" form.
    QString CalculaSaida(const QString& final, const QString& inicial) const;

    static const QString kFiltroOrdem;

private:
    QString Formata(double valor) const;
    void Informa(const QString& texto);

    TContexto& FContexto;
    TRepositorioEncerrantes FEncerrantes;
    TRepositorioTurnos FTurnos;
    TTurno FTurno;
    QString FChaveTurno;
    bool FGravando = false;
};
