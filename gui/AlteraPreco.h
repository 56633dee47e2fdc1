#pragma once
// The operator's dialog for changing nozzle prices: one grid row per nozzle with a concentrator
// code; "&OK" writes every price to the database and sends it to the concentrator. The work is
// the service's; the dialog keeps the grid, the keys and the focus.
#include "ServicoAlteraPreco.h"
#include "FormBasico.h"

class QFrame;
class QPushButton;
class QStatusBar;
class QTableWidget;

class TFAlteraPreco : public TFrmBasico {
    Q_OBJECT
public:
    // Fills the grid; a database error while reading raises.
    explicit TFAlteraPreco(TContexto& contexto, QWidget* parent = nullptr);
    ~TFAlteraPreco() override;

    // The one open price dialog: set by its opener, cleared by the dialog when it closes.
    static inline TFAlteraPreco* FAlteraPreco = nullptr;

    // Grid columns.
    enum { kColBico = 0, kColDescricao = 1, kColPreco = 2, kColConcentrador = 3 };

    QFrame* Panel1;
    QTableWidget* GridBombas;
    QPushButton* BtOk;
    QPushButton* BtCancelar;
    QStatusBar* StatusBar1;

    // Rows are the grid's data rows, 0 being the first nozzle (the header is not a row).
    void CarregaPrecos();
    bool ValidaPreco(int Col, int Row);
    // Whether the cell may be edited: the price column only.
    bool GridBombasGetEditText(int ACol, int ARow, QString& Value);
    void GridBombasKeyDown(quint16& Key, Qt::KeyboardModifiers Shift);
    void BtOkClick();
    void BtCancelarClick();

    // One grid row as the service sees it.
    TLinhaPreco Linha(int Row) const;

protected:
    void FormCreate() override;
    void FormClose() override;

private:
    void CriaComponentes();
    QString Celula(int Col, int Row) const;
    void DefineCelula(int Col, int Row, const QString& texto);

    TServicoAlteraPreco FServico;
};
