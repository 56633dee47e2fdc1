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
    Falhou,           // storing failed; only the tag layout returns it, the plain one raises
};

// Status panel 0 at rest; the poll animation adds up to 13 full stops to it.
inline const QString kProcurandoAbastecimentos = QStringLiteral(" Procurando Abastecimentos");

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
    bool JaGravado(const TDadosAbastecimento& dados, const QString& codBico);

    // The station's three-digit concentrator code for the record's two hexadecimal digits ("44"
    // gives "068"); raises EErroConversao when they are not hexadecimal.
    static QString CodigoConcentrador(const QString& bicoHexa);

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

    // Pump status monitor.
    void AtualizaStatusBicos();
    static QStringList MontaCanais(const QString& Codigo);

signals:
    void CabecalhoLogDefinido(const QStringList& linhas);
    void LogRecarregado(const QStringList& linhas);
    void LinhaLogEscrita(const QString& linha);
    void TextoStatusAlterado(const QString& texto);
    // A fueling could not be stored: the window comes out of the tray before the box.
    void AtencaoSolicitada();

private:
    TResultadoAbastecimento ProcessaDados(const TDadosAbastecimento& dados, bool repassaErro);
    void LeUmAbastecimento();

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
    bool FFalhaStatus = false; // the status read is failing: logged once until it answers again
    QString FBicoConcentrador;
    QString FTextoStatus = kProcurandoAbastecimentos;
};
