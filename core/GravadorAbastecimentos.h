#pragma once
// The fueling writer: decodes a fueling record and stores it as one row of MvAbast with the
// station's sequence, in one transaction. It hands back the fueling log lines of what it committed
// (a refused row has none); the error-log lines go through the shared log route.
#include "DadosAbastecimento.h"
#include "RepositorioAbastecimentos.h"
#include "RepositorioBicos.h"

#include <QStringList>

#include <optional>

class TContexto;
class TRegistroLogs;
class TRepositorioParametros;

// Where a fueling is in MvAbast: the row's unique key (Id, Sequencia, Data) with its nozzle and time.
struct TChaveMvAbast {
    qint64 Sequencia = 0;
    QDate Data;
    QString CodBico;
    QString Hora;
};

// A fueling handled: what became of it, where it is stored (stored, or found stored already) and,
// once committed, its fueling log lines. For a fueling passed over, why.
struct TGravacao {
    TResultadoAbastecimento Resultado = TResultadoAbastecimento::SemAbastecimento;
    QStringList Linhas;
    TChaveMvAbast Chave;
    QString Motivo;
};

// How one fueling is stored.
struct TOpcoesGravacao {
    // A technician asked for it: when the row's key (Id, Sequencia, Data) is taken by another fueling
    // (a concentrator that numbered its fuelings afresh), the sequence is advanced first, as the
    // wrap after ID 9999 does.
    bool NovaSequencia = false;
    // The error-log lines of a fueling passed over or refused; the journal's road writes its own,
    // once per held entry.
    bool RegistraFalhas = true;
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
    TGravacao Armazena(const TDadosAbastecimento& dados, const TOpcoesGravacao& opcoes = {});
    // Inside the caller's transaction. `linha` comes with the record's time in Hora and everything
    // but Data and Sequencia; `data` is the record's date text. On return Hora holds the stored
    // time. Returns the fueling log lines, to be written once the transaction commits.
    QStringList GravaAbastecimento(TLinhaMvAbast& linha, const QString& data, const QString& codConcentrador);
    // The last refusal was by the key, and the row holding that key is another fueling.
    bool ChaveDeOutroAbastecimento() const { return FChaveDeOutro; }
    // Whether this very fueling, on this station nozzle, is stored already: same ID, date and
    // totalizer after the sale (when the record carries one), whatever the sequence; or same ID under
    // the sequence or the one before, date, litres and time as the record gives it (or the later
    // second the time was moved to). A date or time that does not read as one is never stored.
    bool JaGravado(const TDadosAbastecimento& dados, const QString& codBico)
    {
        return LocalizaGravado(dados, codBico).has_value();
    }
    // The same, with the key of the row found.
    std::optional<TChaveMvAbast> LocalizaGravado(const TDadosAbastecimento& dados, const QString& codBico);

    // Whether MvAbast still holds the row of this key (Id, Sequencia, Data).
    bool ExisteGravado(qint32 id, qint64 sequencia, const QDate& data);

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
    TOpcoesGravacao FOpcoes;
    bool FChaveDeOutro = false;
};
