#pragma once
// The journal: every fueling record read from the concentrator is written here, durably (SQLite,
// WAL, synchronous=FULL), before anything else happens to it; only then may the library
// acknowledge it. Entries are forwarded to the station database in the order they were read and
// marked with the MvAbast key they were stored under. What the station database cannot take is
// held here with its reason for a technician, never dropped; nothing is deleted by hand, and only
// stored entries past their keeping time are pruned.
//
// One file per station folder. The engine owns it; the technician's tool opens the same file
// beside it (SQLite's own locking; every wait bounded).
#include "Erro.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

struct sqlite3;

// The journal cannot be opened, read or written (disk full, read-only, permissions, a damaged
// file). The message names the file and the reason, in Portuguese.
class EErroDiario : public EErro {
public:
    using EErro::EErro;
};

enum class TEstadoEntrada {
    Aguardando, // read, not yet in MvAbast
    Gravado,    // stored: Sequencia, DataGravada, CodBico and HoraGravada say where
    Retido,     // the station database refused it, or its nozzle is unknown: waits for a technician
    Descartado, // not a sale to store (zero litres or price, no fueling flag), or discarded by a technician
    Repetido,   // the same bytes as an earlier entry (delivered again): never forwarded
};

// How the journal names the states (file and tool): "aguardando", "gravado", "retido",
// "descartado", "repetido".
QString NomeEstado(TEstadoEntrada estado);
std::optional<TEstadoEntrada> EstadoDoNome(const QString& nome);

// The record's layouts as the journal names them.
inline const QString kLayoutSimples = QStringLiteral("simples"); // 144 bytes
inline const QString kLayoutFid = QStringLiteral("fid");         // 176 bytes
// Where it came from.
inline const QString kOrigemLeitura = QStringLiteral("leitura");
inline const QString kOrigemCaptura = QStringLiteral("captura");

// The fields decoded from the record, kept for the technician (the bytes are what is forwarded).
struct TCamposDiario {
    qint32 Id = 0;
    QString Bico; // the concentrator's two hexadecimal digits
    QString Data; // as the record gives them
    QString Hora;
    double Litragem = 0;
    qint64 ValorTotal = 0; // 1/10000
    qint64 PrecoUnit = 0;  // 1/10000
    double EncerranteFinal = 0;
    QString CodFid;
};

struct TEntradaDiario {
    qint64 Numero = 0; // the order read; never reused
    QDateTime LidoEm;
    QString Layout;
    QString Origem;
    QByteArray Bruto;
    TCamposDiario Campos;
    TEstadoEntrada Estado = TEstadoEntrada::Aguardando;
    QString Motivo; // why held or discarded, or what the last attempt said
    QDateTime MotivoEm;
    int Tentativas = 0;
    // The MvAbast row, once stored.
    qint64 Sequencia = 0;
    QDate DataGravada;
    QString CodBico;
    QString HoraGravada;
    QDateTime GravadoEm;
    // A technician asked to store it under the next sequence number (a concentrator that numbers
    // its fuelings afresh).
    bool NovaSequencia = false;
    // Stored, and later not found in MvAbast; forwarded again only when a technician asks.
    bool Sumido = false;
    QString Responsavel; // who discarded it or asked for it again (the tool's user)
    qint64 RepeteDe = 0; // for Repetido: the entry whose bytes it repeats
};

// Which entries a listing shows.
enum class TFiltroDiario { Todos, Aguardando, Retidos, Descartados, Sumidos };

// What opening does with a file that is not a readable journal: the engine sets it aside and
// begins anew; the technician's tool, beside a running engine, only says so (EErroDiario).
enum class TAberturaDiario { AfastaDanificado, SoAbre };

class TDiario {
public:
    // How long stored entries are kept before they are pruned.
    static constexpr int kDiasGuardados = 90;

    // Opens the journal `caminho`, creating it when missing. A file that is not a readable
    // journal is set aside under a dated name beside it and a new one begun (Afastado() says
    // where); it is never emptied in place. Raises EErroDiario when neither can be done.
    explicit TDiario(const QString& caminho, TAberturaDiario abertura = TAberturaDiario::AfastaDanificado);
    ~TDiario();
    TDiario(const TDiario&) = delete;
    TDiario& operator=(const TDiario&) = delete;

    // The journal of a station folder (ends with a separator, as the folders do elsewhere).
    static QString ArquivoDoPosto(const QString& pasta);
    const QString& Caminho() const { return FCaminho; }
    // The name a damaged journal was set aside under when this one was opened; empty otherwise.
    const QString& Afastado() const { return FAfastado; }

    // Appends one record read, committed durably before it returns. Bytes equal to those of an
    // entry of the last kDiasGuardados days make a Repetido entry pointing at it. Raises
    // EErroDiario when the entry is not durable (nothing half-written stays).
    TEntradaDiario Acrescenta(const QByteArray& bruto, const QString& layout, const TCamposDiario& campos,
                              const QString& origem, const QDateTime& lidoEm);

    // Waiting entries in the order read, at most `limite`.
    QList<TEntradaDiario> Aguardando(int limite);
    // Held entries in the order read, at most `limite`.
    QList<TEntradaDiario> Retidos(int limite);
    qint64 ContaAguardando();
    qint64 ContaRetidos();
    std::optional<TEntradaDiario> Entrada(qint64 numero);
    // A technician's listing; `dia` (when valid) keeps the entries read that day.
    QList<TEntradaDiario> Lista(TFiltroDiario filtro, const QDate& dia = {});
    // Stored entries read since `desde` that are not yet marked missing (the check against MvAbast).
    QList<TEntradaDiario> GravadosDesde(const QDateTime& desde);

    // State changes; each one commits before it returns and raises EErroDiario otherwise.
    void MarcaGravado(qint64 numero, qint64 sequencia, const QDate& dataGravada, const QString& codBico,
                      const QString& horaGravada, const QDateTime& quando);
    // Returns true when the entry was not held before or its reason changed (worth an error-log line).
    bool MarcaRetido(qint64 numero, const QString& motivo, const QDateTime& quando);
    void MarcaDescartado(qint64 numero, const QString& motivo, const QString& responsavel, const QDateTime& quando);
    // A technician discards an entry that waits, is held or went missing; false (nothing changed)
    // when it is in none of those states or does not exist.
    bool Descarta(qint64 numero, const QString& motivo, const QString& responsavel, const QDateTime& quando);
    void MarcaSumido(qint64 numero, const QDateTime& quando);
    // An attempt that failed for a reason of the database's own (it stays waiting).
    void RegistraTentativa(qint64 numero, const QString& motivo, const QDateTime& quando);
    // A technician asks for held (or missing) entries to be forwarded again: back to waiting,
    // optionally under the next sequence number. `numero` empty: every held one. Returns how many.
    int Reenvia(std::optional<qint64> numero, bool novaSequencia, const QString& responsavel,
                const QDateTime& quando);
    // Deletes stored (and repeated) entries read before `antesDe`; returns how many.
    int Poda(const QDateTime& antesDe);

private:
    void Abre();
    void Fecha();
    void Afasta();
    QString Mensagem(const QString& acao, int codigo) const;
    template <typename F> auto Protege(const QString& acao, F&& f);
    template <typename F> auto Transacao(F&& f);

    QString FCaminho;
    QString FAfastado;
    sqlite3* FBanco = nullptr;
};
