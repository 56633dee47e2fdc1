#pragma once
// The station parameters (table ParaPosto) and the fueling sequence counter.
#include "Conexao.h"

#include <QHash>

#include <optional>

class TContexto;

class TRepositorioParametros {
public:
    // The longest poll interval a station can mean, in seconds (TEMPOLECONCENTRADOR): an hour.
    static constexpr qint64 kMaximoTempoLeitura = 3600;

    explicit TRepositorioParametros(TContexto& contexto);

    // Opens the parameters and the sequence (start-up); a closed connection gets one more attempt.
    void Abre();
    // Reads the parameter row and the sequence again (before each fueling is stored), so a counter
    // another program advanced is the one used and advanced from. Raises EErroBanco when the
    // database does not answer; what was read before stays readable.
    void Rele();
    // A column of the parameter row, by name; the last row read when a re-read failed.
    QString Texto(const QString& campo) const;
    qint64 Inteiro(const QString& campo) const;
    // The table has no row at all (the station was never set up).
    bool SemLinha() const { return FSemLinha; }

    // The current SequenciaAbast: the value read at start-up until the sequence was first advanced
    // in this run; after that, read again unless the row was read since the last advance.
    int ReabreParametros();
    // Advances the sequence by one inside the caller's transaction; raises
    // "Erro ao Atualizar a Sequência de Abastecimentos.". The value the next advance starts from
    // moves only once that transaction commits (ConfirmaSequencia); a rollback discards it
    // (DescartaSequencia).
    void AtualizaSequencia();
    void ConfirmaSequencia();
    void DescartaSequencia();
    bool SequenciaAlterada() const { return FSequenciaAlterada; }

    // Stores the seconds between two polls (column TEMPOLECONCENTRADOR, the station's one row).
    void AlteraTempoLeitura(qint64 segundos);

private:
    void GuardaLinha();
    void LeSequencia();
    void GuardaSequencia(const TConsulta& consulta);

    TContexto& FContexto;
    TConsulta FParaPosto;
    QHash<QString, std::pair<QString, qint64>> FLinha; // upper-case column -> text, integer
    TConsulta FSequenciaAbast;
    TConsulta FAtualizaSequencia;
    TConsulta FAlteraTempo;
    qint64 FSequenciaLida = 0; // what the sequence row held when last read or committed
    bool FSequenciaNula = false;
    std::optional<qint64> FSequenciaPendente; // written, not yet committed
    bool FSequenciaAlterada = false;
    bool FLinhaAtual = false; // the held row was read after the last advance
    bool FSemLinha = false;
};
