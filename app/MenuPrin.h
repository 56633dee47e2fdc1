#pragma once
// The main window: owns the database connection, the station parameters, the concentrator driver,
// the poll timer, the log panes, the status bar and the tray icon. Its creation runs the start-up.
#include "ClassConcentrador.h"
#include "Conexao.h"
#include "LogArquivos.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QSystemTrayIcon;
class QTimer;
class QToolBar;
class QToolButton;
class QAction;

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

// Status panel 0 at rest; the poll animation adds up to 13 full stops to it.
inline const QString kProcurandoAbastecimentos = QStringLiteral(" Procurando Abastecimentos");

class TMenuPrin : public QMainWindow {
    Q_OBJECT
public:
    using TFabricaConcentrador = std::function<std::unique_ptr<TConcentrador>()>;

    // Builds the window and runs the whole start-up. `fabrica` creates the driver (the CompanyTec
    // driver when empty).
    explicit TMenuPrin(TFabricaConcentrador fabrica = {}, QWidget* parent = nullptr);
    ~TMenuPrin() override;

    // Shows the program as it starts: minimised to the tray, or to the task bar where there is none.
    void ExibeInicial();
    // Brings the window out of the tray: normal state, visible, in front.
    void MostraJanela();

    // Shared members.
    TConexao CnTankora;
    TConsulta* ParaPosto;
    TConsulta* SequenciaAbast;
    TConsulta* Bombas;
    TConsulta* MvAbast;
    std::unique_ptr<TConcentrador> Concentrador;
    QTimer* LeConcentrador;
    QString Versao;
    bool UsaFid = false;
    QString BicoConcentrador;
    bool SequenciaAlterada = false;

    // Components.
    QToolBar* ToolBar1;
    QToolButton* SpEncerrantes;
    QToolButton* SpAlteraPreco;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton1;
    QToolButton* btnConfTempoBusca;
    QPlainTextEdit* CabecalhoLog;
    QPlainTextEdit* VisualizaLog;
    QStatusBar* StatusBar1;
    QSystemTrayIcon* CoolTrayIcon1 = nullptr;
    QMenu* PopupMenu1;
    QAction* Abrir1;
    QAction* Sair1;

    QString TextoPainel(int painel) const;
    void DefineTextoPainel(int painel, const QString& texto);
    QString DicaBandeja() const { return FDicaBandeja; }
    // True once start-up asked for the end of the application.
    bool FimSolicitado() const { return FFimSolicitado; }
    // Poll interval in milliseconds; 0 means no polling at all.
    int IntervaloLeitura() const { return FIntervaloLeitura; }
    void DefineIntervaloLeitura(int milissegundos);

    // Poll cycle.
    void LeConcentradorTimer();
    void AnimaStatus();

    // Decoding, persistence and sequence.
    void ProcessaAbastecimento(const TAbastecimento& Registro);
    void ProcessaAbastecimentoFid(const TAbastecimentoFid& Registro);
    bool LocalizaBico();
    void GravaAbastecimento(QString& PHora, const QString& PData, const QString& PCodBico,
                            const QString& PCombustivel, const QString& PCodProd, const QString& PCodGrade,
                            const QString& PCodFid, double PLitragem, double PValor, double PPrecoUnit,
                            double PDesconto, double PEncerranteFinal, qint32 PId,
                            const QString& CodConcentrador);
    int ReabreParametros();
    void AtualizaSequencia();

    // Logs.
    void EscreveLinhaLog(const QString& Data, const QString& Hora, const QString& Bico, double Litragem,
                         double Valor, double PrecoUnit, const QString& Sequencia, const QString& Id,
                         const QString& CodConcentrador);
    void IniciaLog();
    void GravaLogErro(const QString& Mensagem);
    void VisualizaLogChange();

    // Pump status monitor.
    void AtualizaStatusBicos();
    static QStringList MontaCanais(const QString& Codigo);

    // Toolbar.
    void SpEncerrantesClick();
    void SpAlteraPrecoClick();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void btnCapAbastClick();
    void btnConfTempoBuscaClick();

protected:
    void showEvent(QShowEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void changeEvent(QEvent* evento) override;

private:
    void CriaComponentes();
    QToolButton* CriaBotao(const QString& nome, const QString& titulo, int icone, void (TMenuPrin::*clique)());
    void FormCreate();
    void FormShow();
    void FormClose();
    void HabilitaLeitura();
    void ProcessaDados(const TDadosAbastecimento& dados, bool repassaErro);
    bool ExisteAbastecimento(qint32 Id, const QString& DataComPontos);
    void AbrePlaceholder(const QString& funcao);

    TFabricaConcentrador FFabrica;
    TLogArquivo FLogAbastecimentos;
    TLogArquivo FLogErros;
    QLabel* FPainel0;
    QLabel* FPainel1;
    QString FDicaBandeja;
    int FIntervaloLeitura = 0;
    qint64 FSequenciaLida = 0; // what the sequence dataset holds
    bool FSequenciaNula = false;
    bool FFimSolicitado = false;
};

// The one main window of the run.
extern TMenuPrin* MenuPrin;
