#pragma once
// The poll cycle: on every tick it reads what the concentrator delivers into the journal (durable
// before the library may acknowledge it), forwards the journal's waiting entries to the fueling
// writer in the order read, holds what the station database refuses, runs the pump status monitor,
// and says what is wrong. The window only listens to its signals.
#include "DadosAbastecimento.h"
#include "Diario.h"
#include "EsperaBanco.h"
#include "GravadorAbastecimentos.h"
#include "MonitorStatus.h"
#include "RegistroLogs.h"

#include <QDate>
#include <QDateTime>
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
// Status panel 0 while the journal cannot be written: nothing is read from the concentrator.
inline const QString kStatusDiarioSemGravacao = QStringLiteral(" Diário não pode ser gravado: leitura parada");
// Status panel 0 while entries are held in the journal for a technician.
QString TextoStatusRetidos(qint64 retidos);

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

    // Reading drains the concentrator: at most this many records per tick, each journaled before
    // the next read (which the library may take as the acknowledgement).
    static constexpr int kLeiturasPorTique = 20;
    // Journal entries forwarded to the database per tick, at most.
    static constexpr int kEncaminhadosPorTique = 50;
    // Held entries are tried again at start-up and this often, on a fresh attachment.
    static constexpr int kMinutosEntreRetentativas = 5;
    // Stored entries of these last days are checked against MvAbast at start-up and once a day.
    static constexpr int kDiasConferidos = 7;
    static constexpr int kConferidosPorTique = 200;

    // Opens the station folder's journal (start-up). A damaged one is set aside and said so; one
    // that cannot be opened at all leaves reading stopped, and every tick tries it again.
    void AbreDiario();
    // Journal entries read and not yet stored, and those held for a technician (as of the last tick).
    qint64 AbastecimentosAguardando() const { return FAguardando; }
    qint64 AbastecimentosRetidos() const { return FRetidos; }
    // The journal cannot be written (or opened): nothing is read meanwhile.
    bool DiarioSemGravacao() const { return !FFalhaDiario.isEmpty(); }
    // A record read that the journal could not take is kept here, and the close must not
    // acknowledge it.
    bool RegistroForaDoDiario() const { return FForaDoDiario.has_value(); }
    // A capture by ID: journaled like a polled record and forwarded at once. For a held, waiting or
    // discarded outcome MotivoCaptura says why. Raises EErroDiario when the journal cannot take it.
    TResultadoAbastecimento CapturaPeloDiario(const TAbastecimento& registro);
    const QString& MotivoCaptura() const { return FMotivoCaptura; }

    // The database cannot store now (unreachable, busy, or refusing for a reason of its own).
    bool BancoIndisponivel() const { return FEspera.Ativa(); }
    const TEsperaBanco& Espera() const { return FEspera; }
    bool LogSemGravacao() const { return FLogs.SemGravacao(); }
    // The concentrator got no answer on its last read; until it answers again.
    bool ConcentradorMudo() const { return !FSemResposta.isEmpty() || FStatusMudo; }
    // What is wrong, for the tray tip and the window's notice; empty when all is well.
    const QString& Aviso() const { return FAviso; }
    // The kinds of what is wrong, in the notice's order, for programs: comma-separated words of
    // "diario-sem-gravacao", "banco-inacessivel", "banco-ocupado", "banco-recusa",
    // "concentrador-mudo", "logs-sem-gravacao", "retidos", "diario-afastado"; empty when all is well.
    const QString& TipoAviso() const { return FTipoAviso; }

    // Decoding and storing outside the journal (tests). The plain layout passes a storing failure on;
    // the tag layout does not.
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
    // One record as read, on its way into the journal.
    struct TRegistroLido {
        QByteArray Bruto;
        QString Layout;
        QString Origem;
        TDadosAbastecimento Dados;
        QDateTime LidoEm;
    };
    // What forwarding one entry came to.
    enum class TDesfecho { Gravado, Descartado, Retido, Aguarda };
    struct TEncaminhamento {
        TDesfecho Desfecho = TDesfecho::Aguarda;
        TResultadoAbastecimento Resultado = TResultadoAbastecimento::Falhou;
        QString Motivo;
    };

    TResultadoAbastecimento ProcessaDados(const TDadosAbastecimento& dados, bool repassaErro);
    // Reads while the library delivers fuelings (at most kLeiturasPorTique), each into the journal;
    // false when the journal cannot take them (nothing more is read then).
    bool Drena();
    std::optional<TRegistroLido> LeRegistro();
    // Appends to the journal; on failure says so (once) and returns nothing.
    std::optional<TEntradaDiario> Registra(const TRegistroLido& lido);
    bool DiarioAberto();
    void FalhaDoDiario(const QString& mensagem);
    void ContaDiario();
    // The waiting entries, in the order read, until the database cannot store.
    void EncaminhaAguardando();
    // Held entries again, on a fresh attachment: at start-up and every few minutes.
    void RetentaRetidos();
    // Stored entries of the last days checked against MvAbast, old ones pruned: once a day.
    void ConfereGravados();
    // One entry by the fueling writer's road; the journal is told what became of it.
    TEncaminhamento Encaminha(const TEntradaDiario& entrada);
    TEncaminhamento Retem(const TEntradaDiario& entrada, const TDadosAbastecimento& dados, TResultadoAbastecimento resultado,
                          const QString& motivo);
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
    QString FTipoAviso;
    QString FTextoStatus = kProcurandoAbastecimentos;
    bool FStatusParado = false; // panel 0 says what is wrong (the animation stands still)
    // The journal's road.
    QString FFalhaDiario;                       // why the journal cannot be written; empty when it can
    QString FDiarioAfastado;                    // where a damaged journal was set aside at start-up
    std::optional<TRegistroLido> FForaDoDiario; // read, not journaled: appended before anything new is read
    qint64 FAguardando = 0;
    qint64 FRetidos = 0;
    bool FReconecta = false; // the next attempt starts on a fresh attachment
    QDateTime FProximaRetentativa;
    QDate FDiaConferencia;
    qint64 FUltimoConferido = 0; // the day's check went this far
    QString FMotivoCaptura;
};
