#pragma once
// The nozzle grid of the operator dialogs: the station's colours, one header row, and cells
// addressed one way, (linha, coluna), row 1 being the first nozzle and the header counting as row 0,
// as QuantidadeLinhas does. A grid that marks rows keeps the mark ("*") in a hidden column.
#include <QTableWidget>

class TGradeBicos : public QTableWidget {
    Q_OBJECT
public:
    static inline const QString kMarca = QStringLiteral("*");

    // `titulos`: the shown columns' headers, with their widths; `colunas` counts the hidden ones
    // too. `colunaMarca` is the hidden column of the mark, or -1 for a grid that marks nothing.
    TGradeBicos(const QStringList& titulos, const QList<int>& larguras, int colunas, int colunaMarca,
                QWidget* parent = nullptr);

    QString Celula(int linha, int coluna) const;
    void DefineCelula(int linha, int coluna, const QString& texto);
    // The header row included: a grid with one nozzle has 2.
    int QuantidadeLinhas() const { return rowCount() + 1; }
    // One row per nozzle, or one empty row when there is none; every cell emptied.
    void Esvazia(int nozzles);
    // The grid row of the current cell (1 = the first nozzle; 0 when there is none).
    int LinhaAtual() const { return currentRow() + 1; }

    // Lets the operator edit the cells of one column (the others are only shown); -1 for none.
    void DefineColunaEditavel(int coluna) { FColunaEditavel = coluna; }

    bool Marcada(int linha) const { return FColunaMarca >= 0 && Celula(linha, FColunaMarca) == kMarca; }
    void DefineMarca(int linha, bool marcada);
    // Toggles the mark of a nozzle row, unless it holds no nozzle (an empty first column); the
    // grid is repainted at once.
    void AlternaMarca(int linha);
    // Whether the row of a model index is marked, for the dialogs' drawing.
    bool MarcadaIndice(const QModelIndex& indice) const
    {
        return FColunaMarca >= 0 && indice.siblingAtColumn(FColunaMarca).data().toString() == kMarca;
    }

private:
    int FColunaMarca;
    int FColunaEditavel = -1;
};
