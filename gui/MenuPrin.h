#pragma once
// The main window: log panes, status bar, tray icon and the toolbar that opens the operator's
// functions. It puts the engine on a thread of its own and starts it there while the window is
// already live; afterwards it only shows what the engine tells it by signals and reaches the engine
// only through its jobs (Motor()).
#include "EstadoServico.h"
#include "Linkor.h"
#include "Motor.h"
#include "OperacoesPosto.h"

#include <QMainWindow>

class QLabel;
class QMessageBox;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QSystemTrayIcon;
class QToolBar;
class QToolButton;
class QAction;

class TMenuPrin : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window, moves `linkor` (no parent, on this thread) onto the engine's thread and
    // queues the whole start-up there; PartidaConcluida tells when it ran through.
    explicit TMenuPrin(TLinkor& linkor, QWidget* parent = nullptr);
    ~TMenuPrin() override;

    // Shows the program as it starts: minimised to the tray, or to the task bar where there is none.
    void ExibeInicial();
    // Brings the window out of the tray: normal state, visible, in front.
    void MostraJanela();

    TLinkor& Linkor() const { return FLinkor; }
    // Where the dialogs queue their database and concentrator steps.
    TMotor& Motor() { return FMotor; }
    TOperacoesPosto& Operacoes() { return FOperacoes; }
    QString TextoPainel(int painel) const;
    // The tray tip: the window's title, or what is wrong while the database or the logs fail; once
    // a fueling is stored, with the day's count and the last one's time, as the service's status.
    QString DicaBandeja() const;
    // The notice shown (not modal) while the database or the logs fail; none when all is well.
    QMessageBox* Aviso() const { return FCaixaAviso; }
    // True once start-up asked for the end of the application.
    bool FimSolicitado() const { return FFimSolicitado; }
    // True once the concentrator's clock was set: the window closed, and the program is to start
    // again by itself so that polling resumes.
    bool ReinicioSolicitado() const { return FReinicio; }
    // True while something is wrong (the concentrator silent, the database waiting or refusing,
    // the logs unwritable): the tray icon shows it until all is well again.
    bool EmFalha() const { return !FFalhas.isEmpty(); }
    // True once start-up ran through; the toolbar waits for it.
    bool Iniciado() const { return FIniciado; }
    // How long the close waits for the engine before leaving it behind ("&Sair" and a stop signal
    // end the program within 3 s even while the engine is stuck in the database or on the line).
    static constexpr int kEsperaMotorMs = 2000;
    // A line of the error log written on this thread, for when the engine cannot write it (it is
    // stopping, or stopped). Raises when the log cannot be written.
    static void GravaLogErroSemMotor(const TContexto& contexto, const QString& mensagem);

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

signals:
    void PartidaConcluida();

protected:
    void showEvent(QShowEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void changeEvent(QEvent* evento) override;

private:
    void CriaComponentes();
    QToolButton* CriaBotao(const QString& nome, const QString& titulo, int icone, void (TMenuPrin::*clique)());
    void LigaMotor();
    void FormCreate();
    struct TPartida;
    void ConcluiPartida(const TPartida& partida, const QString& erro);
    void FormShow();
    void VisualizaLogChange();
    void MostraAviso(const QString& aviso);
    void MostraStatus(const QString& texto);
    void AtualizaPainel0();
    // The close box where there is one: out of sight, polling goes on.
    void EscondeNaBandeja();
    // The log pane stays at its last line until the operator scrolls up, and follows it again
    // once scrolled back down.
    void SegueFimDoLog();

    // Toolbar.
    void SpEncerrantesClick();
    void SpAlteraPrecoClick();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void btnCapAbastClick();
    void btnConfTempoBuscaClick();
    // Runs a click's work; an error it raises goes to the default error box, never into Qt.
    template <typename F>
    void Protegido(F&& trabalho);

    TLinkor& FLinkor;
    TMotor FMotor;
    TOperacoesLocais FOperacoes{FMotor}; // what the dialogs and "Data/Hora" ask of the station
    QLabel* FPainel0;
    QLabel* FPainel1;
    QString FDicaBandeja;
    TEstadoServico FEstado{QString()}; // no health file: the window has no runtime folder of its own
    QString FAviso;
    QString FStatus;
    QString FVersao;
    QMessageBox* FCaixaAviso = nullptr;
    bool FFimSolicitado = false;
    bool FReinicio = false;
    QStringList FFalhas; // the kinds of fault going on now
    bool FIniciado = false;
    bool FEncerrando = false;
    bool FSegueFimLog = true;
};
