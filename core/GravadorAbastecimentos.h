#pragma once
// The fueling writer: decodes a fueling record and stores it as one row of MvAbast with the
// station's sequence, in one transaction. It hands back the fueling log lines of what it committed
// (a refused row has none); the error-log lines go through the shared log route.
#include "DadosAbastecimento.h"
#include "RepositorioAbastecimentos.h"
#include "RepositorioBicos.h"

#include <QStringList>

class TContexto;
class TRegistroLogs;
class TRepositorioParametros;

// A fueling handled: what became of it and, once committed, its fueling log lines.
struct TGravacao {
    TResultadoAbastecimento Resultado = TResultadoAbastecimento::SemAbastecimento;
    QStringList Linhas;
};

class TGravadorAbastecimentos {
public:
    TGravadorAbastecimentos(TContexto& contexto, TRepositorioParametros& parametros, TRegistroLogs& logs);

    bool UsaFid() const { return FUsaFid; }
    void DefineUsaFid(bool usaFid) { FUsaFid = usaFid; }
    // Concentrator code (three decimal digits) of the fueling being processed.
    const QString& BicoConcentrador() const { return FBicoConcentrador; }

    // Decoding and storing in one transaction (the caller's, when one is open), committed before
    // it returns. Raises on failure, with nothing committed and the sequence read again next time.
    TGravacao Armazena(const TDadosAbastecimento& dados);
    // Inside the caller's transaction. `linha` comes with the record's time in Hora and everything
    // but Data and Sequencia; `data` is the record's date text. On return Hora holds the stored
    // time. Returns the fueling log lines, to be written once the transaction commits.
    QStringList GravaAbastecimento(TLinhaMvAbast& linha, const QString& data, const QString& codConcentrador);
    // Whether this very fueling, on this station nozzle, is stored already: same ID, date and
    // totalizer after the sale (when the record carries one), whatever the sequence; or same ID under
    // the sequence or the one before, date, litres and time as the record gives it (or the later
    // second the time was moved to). A date or time that does not read as one is never stored.
    bool JaGravado(const TDadosAbastecimento& dados, const QString& codBico);

    // Litres finite and above zero, unit price and amount above zero, a finite totalizer.
    static bool ValoresPlausiveis(const TDadosAbastecimento& dados);

    // The station's three-digit concentrator code for the record's two hexadecimal digits ("44"
    // gives "068"); raises EErroConversao when they are not hexadecimal.
    static QString CodigoConcentrador(const QString& bicoHexa);

private:
    QString LinhaLog(const TLinhaMvAbast& linha, const QString& data, const QString& codConcentrador) const;

    TContexto& FContexto;
    TRepositorioParametros& FParametros;
    TRegistroLogs& FLogs;
    TRepositorioBicos FBicos;
    TRepositorioAbastecimentos FAbastecimentos;
    bool FUsaFid = false;
    QString FBicoConcentrador;
};
