#pragma once
// "Tirar Encerrantes": the operator marks nozzles, reads their totalizers from the concentrator
// and records every nozzle's initial and final totalizer under the open shift. The grid holds the
// rows; TServicoEncerrantes does the reading and the recording.
#include "FormBasico.h"
#include "ServicoEncerrantes.h"

class QFrame;
class QLabel;
class QPushButton;
class QStatusBar;
class QTableWidget;

class TFTirarEncerrantes : public TFrmBasico {
    Q_OBJECT
public:
    // Grid columns; the last two are kept with the row but never shown.
    enum TColuna { ColBico, ColDescricao, ColInicial, ColFinal, ColSaida, ColConcentrador, ColMarca, kColunas };

    explicit TFTirarEncerrantes(TContexto& contexto, QWidget* parent = nullptr);
    ~TFTirarEncerrantes() override;

    // The one open instance, if any: set by the opener, cleared when the dialog closes.
    static TFTirarEncerrantes* FTirarEncerrantes;

    QFrame* Panel1;
    QTableWidget* GridBombas;
    QPushButton* BtMarcar;
    QPushButton* BtEncerrantes;
    QPushButton* BtOk;
    QPushButton* BtCancelar;
    QStatusBar* StRodape;

    TServicoEncerrantes& Servico() { return FServico; }
    QString TextoRodape() const;
    // Grid row r (1 = the first nozzle) as the operator sees it.
    QString Celula(int coluna, int linha) const;
    int QuantidadeLinhas() const; // header row included
    bool Marcada(int linha) const;

    void BtMarcarClick();
    void BtEncerrantesClick();
    void BtOkClick();
    void BtCancelarClick();
    void GridBombasDblClick();
    void GridBombasKeyDown(int tecla);

protected:
    void FormCreate() override;
    void FormClose() override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;

private:
    void CriaComponentes();
    void PreencheGrade();
    void DefineCelula(int linha, int coluna, const QString& texto);
    QList<TLinhaEncerrante> LeGrade() const;
    void AlternaMarca(int linha);
    void HabilitaBotoes(bool habilita);
    void DefineRodape(const QString& texto);
    template <typename F>
    void Protegido(F&& trabalho);

    TServicoEncerrantes FServico;
    QLabel* FPainelRodape;
    // While reading or recording lets messages run, a close waits until the work is done: the
    // dialog must not be freed under its own handler.
    bool FOcupado = false;
    bool FFechaPendente = false;
};
