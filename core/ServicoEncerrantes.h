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
    // Final holds a reading the concentrator gave in this capture. Only such a row is recorded: a
    // row never read would overwrite the shift's stored reading with no sale.
    bool Lido = false;
};

// What a recording ended in: the boxes to show, in order, and whether the dialog is done (only
// after every marked nozzle was recorded; otherwise the readings stay for another try).
struct TResultadoGravacao {
    QStringList Mensagens;
    bool Encerra = false;
    bool Falhou = false; // the database refused the recording: its messages are errors
};

// Runs on the engine's thread; tells the operator nothing itself: it returns what happened.
class TServicoEncerrantes {
public:
    explicit TServicoEncerrantes(TContexto& contexto);

    // Every nozzle of the station, with Final equal to Inicial and no litres sold.
    QList<TLinhaEncerrante> CarregaBicos();

    // Reads the totalizers of the marked rows on the concentrator in order; after each row `lida`
    // gets its index and the status text naming it. A row read is Lido; a row that could not be
    // read keeps its Final and what it was: the nozzle codes of such rows are returned (empty when
    // every marked row was read).
    QStringList LeEncerrantes(QList<TLinhaEncerrante>& linhas,
                              const std::function<void(int indice, const QString& status)>& lida = {});
    // The reading of one row, asked by the nozzle's concentrator code ("068" asks for "44"). False,
    // Final untouched, when the answer names another nozzle or no positive total; a failed request
    // raises.
    bool LeEncerrante(TLinhaEncerrante& linha);
    // The status text after a reading, and the box when some rows were not read.
    static QString TextoLeitura(const QStringList& naoLidos);
    static QString MensagemNaoLidos(const QStringList& naoLidos);
    // A row the operator may mark: a nozzle the concentrator knows.
    static bool Marcavel(const TLinhaEncerrante& linha);

    // The shift query (see TRepositorioTurnos).
    bool AbreMvTurno(const TFiltroTurno& filtro);
    // Whether an open shift covers this date (short date form) and time (long time form). Turno()
    // is then the shift found.
    bool VerificaTurnoAberto(const QString& data, const QString& hora);
    const TTurno& Turno() const { return FTurno; }
    // The key the last recording stored its rows under.
    const QString& ChaveTurno() const { return FChaveTurno; }

    // Records the marked rows under the earliest open shift, in one transaction; `gravando` gets
    // the status text after each row. Nothing is written when a marked row was not read, when no
    // row is marked, when no open shift covers now, or when the database fails (Encerra false in
    // all of these); an unmarked row is never written.
    TResultadoGravacao GravaEncerrantes(const QList<TLinhaEncerrante>& linhas,
                                        const std::function<void(const QString& status)>& gravando = {});

    // Final minus Inicial, in the "0.000" form.
    QString CalculaSaida(const QString& final, const QString& inicial) const;

    static const QString kFiltroOrdem;

private:
    QString Formata(double valor) const;

    TContexto& FContexto;
    TRepositorioEncerrantes FEncerrantes;
    TRepositorioTurnos FTurnos;
    TTurno FTurno;
    QString FChaveTurno;
};
