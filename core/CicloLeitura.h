#pragma once
// The poll cycle and everything it drives: reading the next fueling, decoding it, storing it with
// its sequence number, the fueling log, and the pump status monitor. The window only listens to
// its signals.
#include "ClassConcentrador.h"
#include "LogArquivos.h"
#include "RepositorioAbastecimentos.h"
#include "RepositorioBicos.h"

#include <QObject>
#include <QTimer>

#include <optional>

class TContexto;
class TRepositorioParametros;

// One fueling as both record layouts deliver it, on its way to the database.
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
    BicoDesconhecido, // no station nozzle on its concentrator code (written to the error log)
    JaGravado,        // stored already (delivered again): passed over, written to the error log
    Falhou,           // storing failed; only the tag layout returns it, the plain one raises
};

// Status panel 0 at rest; the poll animation adds up to 13 full stops to it.
inline const QString kProcurandoAbastecimentos = QStringLiteral(" Procurando Abastecimentos");
// Status panel 0 while the database cannot store the fueling read, and while the logs cannot be
// written; the animation stands still meanwhile.
inline const QString kStatusBancoInacessivel = QStringLiteral(" Banco inacessível: abastecimento aguardando");
inline const QString kStatusLogSemGravacao = QStringLiteral(" Pasta dos logs sem permissão de gravação");

class TCicloLeitura : public QObject {
    Q_OBJECT
public:
    TCicloLeitura(TContexto& contexto, TRepositorioParametros& parametros, QObject* parent = nullptr);

    // The poll timer. Interval in milliseconds; 0 means no polling at all.
    int IntervaloLeitura() const { return FIntervaloLeitura; }
    void DefineIntervaloLeitura(int milissegundos);
    bool LeituraAtiva() const { return FLeConcentrador.isActive(); }
    const QTimer& LeConcentrador() const { return FLeConcentrador; }
    // Switches the timer off, and back on where an interval is set (dialogs that work alone).
    void ParaLeitura();
    void HabilitaLeitura();
    // The program is closing: the timer stays off for good, even when a tick is still running.
    void Finaliza();

    bool UsaFid() const { return FUsaFid; }
    void DefineUsaFid(bool usaFid) { FUsaFid = usaFid; }
    // Concentrator code (three decimal digits) of the fueling being processed.
    const QString& BicoConcentrador() const { return FBicoConcentrador; }
    QString TextoStatus() const { return FTextoStatus; }
    void DefineTextoStatus(const QString& texto);

    // One tick: never nested, never run while another write sequence holds a transaction open;
    // an error it raises is shown in the default error box before the timer is re-armed.
    void LeConcentradorTimer();
    void AnimaStatus();

    // Whether this fueling, on this station nozzle, is stored already (see TRepositorioAbastecimentos).
    // A date that does not read as one is never stored.
    bool JaGravado(const TDadosAbastecimento& dados, const QString& codBico);

    // The station's three-digit concentrator code for the record's two hexadecimal digits ("44"
    // gives "068"); raises EErroConversao when they are not hexadecimal.
    static QString CodigoConcentrador(const QString& bicoHexa);
    // A fueling read whose storing failed for a database reason: it is retried on the next ticks
    // before anything new is read, so the library never acknowledges an unstored fueling.
    bool AbastecimentoPendente() const { return FPendente.has_value(); }
    bool BancoIndisponivel() const { return FBancoIndisponivel; }
    bool LogSemGravacao() const { return FLogSemGravacao; }
    // What is wrong, for the tray tip and the window's notice; empty when all is well.
    const QString& Aviso() const { return FAviso; }

    // Decoding and storing. The plain layout passes a storing failure on; the tag layout does not.
    TResultadoAbastecimento ProcessaAbastecimento(const TAbastecimento& Registro);
    TResultadoAbastecimento ProcessaAbastecimentoFid(const TAbastecimentoFid& Registro);
    // Inside the caller's transaction.
    void GravaAbastecimento(QString& PHora, const QString& PData, const QString& PCodBico,
                            const QString& PCombustivel, const QString& PCodProd, const QString& PCodGrade,
                            const QString& PCodFid, double PLitragem, double PValor, double PPrecoUnit,
                            double PDesconto, double PEncerranteFinal, qint32 PId,
                            const QString& CodConcentrador);

    // The fueling log: header, reload of the day's file, and one line per fueling.
    void IniciaLog();
    void EscreveLinhaLog(const QString& Data, const QString& Hora, const QString& Bico, double Litragem,
                         double Valor, double PrecoUnit, const QString& Sequencia, const QString& Id,
                         const QString& CodConcentrador);

    // Pump status monitor. The letters the nozzles hold are kept from one refresh to the next, so
    // a station at rest reads and writes nothing; they are read again every this many refreshes
    // (about a minute at the usual interval), in case another program changed one.
    static constexpr int kRefreshesReleituraStatus = 60;
    void AtualizaStatusBicos();
    static QStringList MontaCanais(const QString& Codigo);

signals:
    void CabecalhoLogDefinido(const QStringList& linhas);
    void LogRecarregado(const QStringList& linhas);
    void LinhaLogEscrita(const QString& linha);
    void TextoStatusAlterado(const QString& texto);
    // A fueling could not be stored: the window comes out of the tray before the box.
    void AtencaoSolicitada();
    // The database or the log folder stopped or resumed working (empty text: all is well again).
    void AvisoAlterado(const QString& aviso);
    // A tick ran to its end (the service feeds its watchdog from it).
    void TiqueConcluido();

private:
    TResultadoAbastecimento ProcessaDados(const TDadosAbastecimento& dados, bool repassaErro);
    void LeUmAbastecimento();
    // Decoding and storing, raising on failure; the caller rolls back.
    TResultadoAbastecimento Armazena(const TDadosAbastecimento& dados);
    // The poll road: a database reason keeps the fueling pending, anything else takes the
    // specified failure path.
    void ArmazenaNoCiclo(const TDadosAbastecimento& dados);
    // The specified failure path: rollback, trace line, window out of the tray, box.
    void FalhaDoAbastecimento(const TDadosAbastecimento& dados, const QString& mensagem, bool repassaErro);
    // Re-opens a lost connection (one attempt); false while the database stays unreachable.
    bool BancoAlcancavel();
    void IniciaIndisponibilidade(const QString& motivo, const TDadosAbastecimento* dados);
    void EncerraIndisponibilidade();
    void DescarregaLogs();
    void AtualizaAviso();
    // The error log for the poll road: a line that cannot be written is kept, never raised.
    void RegistraErro(const QString& mensagem);
    QString Rastro(const TDadosAbastecimento& dados) const;
    void GravaLinhaLog(const QString& linha);

    TContexto& FContexto;
    TRepositorioParametros& FParametros;
    TRepositorioBicos FBicos;
    TRepositorioAbastecimentos FAbastecimentos;
    TLogArquivo FLogAbastecimentos;
    QTimer FLeConcentrador;
    int FIntervaloLeitura = 0;
    bool FUsaFid = false;
    bool FEmTick = false;
    bool FFinalizado = false;
    int FRefreshesSemLerStatus = 0; // refreshes since the stored letters were last read
    QString FStatusAplicado;        // the concentrator's answer the last refresh wrote
    bool FFalhaStatus = false; // the status read is failing: logged once until it answers again
    bool FFalhaStatusBanco = false; // the status writes fail for a database reason: logged once
    std::optional<TDadosAbastecimento> FPendente;
    bool FBancoIndisponivel = false;
    bool FLogSemGravacao = false;
    QString FAviso;
    // Fueling log lines of the transaction being stored: written once it commits, so a rolled-back
    // and retried fueling never leaves two lines.
    bool FAdiaLinhas = false;
    QStringList FLinhasAdiadas;
    QString FBicoConcentrador;
    QString FTextoStatus = kProcurandoAbastecimentos;
};
