#pragma once
// The poll cycle: on every tick it reads the next fueling and hands it to the fueling writer,
// keeps it waiting through a database outage, runs the pump status monitor, and says what is
// wrong. The window only listens to its signals.
#include "DadosAbastecimento.h"
#include "EsperaBanco.h"
#include "GravadorAbastecimentos.h"
#include "MonitorStatus.h"
#include "RegistroLogs.h"

#include <QDate>
#include <QObject>
#include <QTimer>

#include <optional>

class TContexto;
class TRepositorioParametros;

// Status panel 0 at rest; the poll animation adds up to 13 full stops to it.
inline const QString kProcurandoAbastecimentos = QStringLiteral(" Procurando Abastecimentos");
// Status panel 0 while the concentrator does not answer, and while the logs cannot be written;
// the animation stands still meanwhile.
inline const QString kStatusConcentradorMudo = QStringLiteral(" Concentrador não responde");
inline const QString kStatusLogSemGravacao = QStringLiteral(" Pasta dos logs sem permissão de gravação");
inline const QString kStatusLogDiscoCheio = QStringLiteral(" Disco dos logs cheio");

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

    bool UsaFid() const { return FGravador.UsaFid(); }
    void DefineUsaFid(bool usaFid) { FGravador.DefineUsaFid(usaFid); }
    // Concentrator code (three decimal digits) of the fueling being processed.
    const QString& BicoConcentrador() const { return FGravador.BicoConcentrador(); }
    QString TextoStatus() const { return FTextoStatus; }
    void DefineTextoStatus(const QString& texto);

    // One tick: never nested; an error it raises is shown in the default error box before the
    // timer is re-armed. During a database outage a tick touches the database only once the
    // back-off has run out.
    void LeConcentradorTimer();
    void AnimaStatus();

    // A fueling read whose storing failed for a database reason: it is retried before anything
    // new is read, so the library never acknowledges an unstored fueling.
    bool AbastecimentoPendente() const { return FEspera.Pendente().has_value(); }
    // The database cannot store now (unreachable, busy, or refusing for a reason of its own).
    bool BancoIndisponivel() const { return FEspera.Ativa(); }
    const TEsperaBanco& Espera() const { return FEspera; }
    bool LogSemGravacao() const { return FLogs.SemGravacao(); }
    // The concentrator got no answer on its last read; until it answers again.
    bool ConcentradorMudo() const { return !FSemResposta.isEmpty() || FStatusMudo; }
    // What is wrong, for the tray tip and the window's notice; empty when all is well.
    const QString& Aviso() const { return FAviso; }

    // Decoding and storing outside the poll road (a capture by ID, tests). The plain layout
    // passes a storing failure on; the tag layout does not.
    TResultadoAbastecimento ProcessaAbastecimento(const TAbastecimento& Registro);
    TResultadoAbastecimento ProcessaAbastecimentoFid(const TAbastecimentoFid& Registro);

    // The fueling log's header and the reload of the day's file.
    void IniciaLog();
    // Once the date has changed since the pane's day began: the new day's header, and the pane
    // reloaded with the new day's file (empty until its first line), whose lines are returned.
    // Every tick and every log line asks; nothing before IniciaLog.
    std::optional<QStringList> ComecaNovoDia();

    // Pump status monitor (see TMonitorStatus); a status read without answer is told once.
    static constexpr int kRefreshesReleituraStatus = TMonitorStatus::kRefreshesReleituraStatus;
    void AtualizaStatusBicos();
    static QStringList MontaCanais(const QString& Codigo) { return TMonitorStatus::MontaCanais(Codigo); }

signals:
    void CabecalhoLogDefinido(const QStringList& linhas);
    void LogRecarregado(const QStringList& linhas);
    void LinhaLogEscrita(const QString& linha);
    void TextoStatusAlterado(const QString& texto);
    // A fueling could not be stored: the window comes out of the tray before the box.
    void AtencaoSolicitada();
    // The database, the concentrator or the log folder stopped or resumed working (empty text:
    // all is well again).
    void AvisoAlterado(const QString& aviso);
    // A tick ran to its end (the service feeds its watchdog from it).
    void TiqueConcluido();

private:
    TResultadoAbastecimento ProcessaDados(const TDadosAbastecimento& dados, bool repassaErro);
    void LeUmAbastecimento();
    // The poll road: a database reason keeps the fueling waiting, anything else takes the
    // failure path.
    void ArmazenaNoCiclo(const TDadosAbastecimento& dados);
    // Commits done: the fueling log lines go out.
    void Conclui(const TGravacao& gravacao);
    // The failure path: trace line, window out of the tray, box.
    void FalhaDoAbastecimento(const TDadosAbastecimento& dados, const QString& mensagem, bool repassaErro);
    // Whether the database may be used this tick: re-opens a lost connection once the back-off
    // allows; false while it stays unreachable or the back-off runs.
    bool BancoAlcancavel();
    // The concentrator answered or not; one error-log line when a silence starts.
    void AtualizaSilencio(bool estavaMudo);
    void AtualizaAviso();

    TContexto& FContexto;
    TRepositorioParametros& FParametros;
    TRegistroLogs FLogs;
    TGravadorAbastecimentos FGravador;
    TMonitorStatus FMonitor;
    TEsperaBanco FEspera;
    QTimer FLeConcentrador;
    int FIntervaloLeitura = 0;
    bool FEmTick = false;
    bool FFinalizado = false;
    QString FSemResposta;    // the fueling read got no answer: its message
    bool FStatusMudo = false; // the status read got no answer
    QDate FDiaLog;            // the day the pane shows
    QString FAviso;
    QString FTextoStatus = kProcurandoAbastecimentos;
};
