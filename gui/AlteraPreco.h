#pragma once
// The operator's dialog for changing nozzle prices: one grid row per nozzle with a concentrator
// code; "&OK" writes every price to the database and sends it to the concentrator. The work is
// the service's; the dialog keeps the grid, the keys and the focus.
#include "FormBasico.h"
#include "Grade.h"
#include "ServicoAlteraPreco.h"
#include "TrabalhoDialogo.h"

class QFrame;
class QPushButton;
class QStatusBar;

class TFAlteraPreco : public TFrmBasico {
    Q_OBJECT
public:
    // The grid is filled by a job: the dialog waits for it (Ocupado) before it can be used; a
    // database error while reading is shown and closes the dialog.
    // With `motor`'s own steps (TOperacoesLocais), or with the steps of `operacoes`.
    explicit TFAlteraPreco(TMotor& motor, QWidget* parent = nullptr);
    TFAlteraPreco(TContexto& contexto, TOperacoesPosto& operacoes, QWidget* parent = nullptr);
    ~TFAlteraPreco() override;

    // The one open price dialog: set by its opener, cleared by the dialog when it closes.
    static inline TFAlteraPreco* FAlteraPreco = nullptr;

    // Grid columns; the last two are kept with the row, never shown.
    enum { kColBico = 0, kColDescricao = 1, kColPreco = 2, kColConcentrador = 3, kColAnterior = 4, kColunas };

    QFrame* Panel1;
    TGradeBicos* GridBombas;
    QPushButton* BtOk;
    QPushButton* BtCancelar;
    QStatusBar* StatusBar1;

    // Rows as the grid counts them: 1 is the first nozzle, the header row 0.
    void CarregaPrecos();
    bool ValidaPreco(int Col, int Row);
    // Whether the cell may be edited: the price column only.
    bool GridBombasGetEditText(int ACol, int ARow, QString& Value);
    void GridBombasKeyDown(quint16& Key, Qt::KeyboardModifiers Shift);
    // Enter, Tab or Shift+Tab in a price being typed: the text goes into the cell, is checked, and
    // the grid keeps the focus on the next price cell (Enter and Tab down, Shift+Tab up). Past
    // the last row Enter goes to "&OK" and Tab to the next control; before the first, Shift+Tab
    // to the previous one. A refused price keeps the cursor on its cell.
    void SaiDaCelula(int tecla);
    void BtOkClick();
    void BtCancelarClick();

    // One grid row as the service sees it.
    TLinhaPreco Linha(int Row) const;
    // True while a job of the dialog runs: its buttons are disabled and it does not close.
    bool Ocupado() const { return FTrabalho.Ocupado(); }

protected:
    void FormCreate() override;
    void FormClose() override;

private:
    void CriaComponentes();
    void PreencheGrade(const QList<TLinhaPreco>& linhas);
    void Informa(const QString& texto);

    TTrabalhoDialogo FTrabalho;
};
