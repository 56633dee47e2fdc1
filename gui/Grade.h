#pragma once
// Cells of the dialogs' nozzle grids, addressed as the station's program addresses them: column
// first or row first as each caller names them, row 1 being the first nozzle (row 0 is the header).
#include <QTableWidget>

inline void DefineCelulaGrade(QTableWidget* grade, int linha, int coluna, const QString& texto)
{
    QTableWidgetItem* item = grade->item(linha - 1, coluna);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        grade->setItem(linha - 1, coluna, item);
    }
    item->setText(texto);
}

inline QString CelulaGrade(const QTableWidget* grade, int coluna, int linha)
{
    const QTableWidgetItem* item = grade->item(linha - 1, coluna);
    return item ? item->text() : QString();
}
