#pragma once
// The nozzles' sale prices (Bombas.PrecoVenda) as the price change lists and writes them.
#include "Conexao.h"

#include <QList>

class TContexto;

// One nozzle with a concentrator code and its current price.
struct TPrecoBico {
    QString CodBico;
    QString Descricao;
    QString CodConcentrador;
    double PrecoVenda = 0; // NULL reads as zero
};

class TRepositorioPrecos {
public:
    explicit TRepositorioPrecos(TContexto& contexto);

    // Every nozzle that has a concentrator code, in CodBico order.
    QList<TPrecoBico> ListaPrecos();
    // Writes one nozzle's sale price; returns the number of rows changed (0: no such nozzle).
    int GravaPrecoVenda(const QString& codBico, double preco);

private:
    TConsulta FBombas;
    TConsulta FAtualizaPreco;
};
